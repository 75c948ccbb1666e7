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
  SetElementHtml("contentid", fragment_);
  FlushChanges();  // the view must show the fragment before it prints
  const bool printing = Window()->Print();
  completion_.Set();
  EndDialog(printing ? 1 : 0);
}

}  // namespace corvane
