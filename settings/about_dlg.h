#pragma once
// The About box ("Common\about_layout.html"): the about text of the current language with the
// program's version filled into "#versionnumber#", and a Close button.

#include <string>

#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr int kAboutDialogTemplate = 141;
inline constexpr char kAboutLayout[] = "Common\\about_layout.html";

class CAboutDlg final : public CNoScrollHtmlDlg {
 public:
  CAboutDlg(Host& host, std::string languageFolder, CNoScrollHtmlDlg* parent);

  void OnDocumentComplete() override;

 protected:
  void OnInitDialog() override;

 private:
  std::string languageFolder_;
};

}  // namespace corvane
