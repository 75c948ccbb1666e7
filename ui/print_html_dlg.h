#pragma once
// Prints an HTML fragment: a dialog that is never shown loads the print page, puts the fragment
// into its "contentid" element and hands the page to the platform's print dialog. Callers wait on
// the completion event, which is signalled just before the page goes to the print dialog, or when
// there is no page to print. The dialog ends with 1 once the print dialog has been shown, whatever
// the user chose there, and with 0 when there was nothing to print.

#include <string>

#include "platform/event.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

class CPrintHtmlDlg final : public CNoScrollHtmlDlg {
 public:
  // `pageName` is the print page ("Common\print.html").
  CPrintHtmlDlg(Host& host, std::string pageName, std::string fragment, int templateId,
                CNoScrollHtmlDlg* parent);

  [[nodiscard]] Event& Completion() { return completion_; }

  void OnDocumentComplete() override;

 protected:
  void OnInitDialog() override;
  [[nodiscard]] bool ShowWhenModal() const override { return false; }

 private:
  std::string fragment_;
  Event completion_{EventReset::Manual};
};

}  // namespace corvane
