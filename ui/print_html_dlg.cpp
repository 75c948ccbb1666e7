#include "ui/print_html_dlg.h"

namespace corvane {

CPrintHtmlDlg::CPrintHtmlDlg(Host& host, std::string pageName, std::string fragment, int templateId,
                             CNoScrollHtmlDlg* parent)
    : CNoScrollHtmlDlg(host, std::move(pageName), templateId, parent),
      fragment_(std::move(fragment)) {}

void CPrintHtmlDlg::OnInitDialog() {
  Window()->SetTitle("MyDialog");
  CNoScrollHtmlDlg::OnInitDialog();
  completion_.Reset();
}

void CPrintHtmlDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  if (Document() == nullptr) {
    completion_.Set();
    EndDialog(0);
    return;
  }
  SetElementHtml("contentid", fragment_);
  FlushChanges();  // the view must show the fragment before it prints
  // The caller may go on once the page is handed over; the print dialog itself is the user's,
  // and cancelling it there is no failure of this dialog.
  completion_.Set();
  static_cast<void>(Window()->Print());
  EndDialog(1);
}

}  // namespace corvane
