#include "settings/about_dlg.h"

#include "app/erase_app.h"
#include "platform/file_version.h"
#include "ui/template_store.h"

namespace corvane {

CAboutDlg::CAboutDlg(Host& host, std::string languageFolder, CNoScrollHtmlDlg* parent)
    : CNoScrollHtmlDlg(host, kAboutLayout, kAboutDialogTemplate, parent),
      languageFolder_(std::move(languageFolder)) {}

void CAboutDlg::OnInitDialog() {
  Window()->SetTitle(kApplicationTitle);
  CNoScrollHtmlDlg::OnInitDialog();
}

void CAboutDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  const std::string folder = "html\\" + languageFolder_ + "\\";
  if (GetElement("AboutInfo")) {
    std::string text = TemplateStore::Load(folder + "about_text.html");
    TemplateStore::Replace(text, "#versionnumber#", GetFileVersionString(OwnExecutablePath()));
    SetElementHtml("AboutInfo", text);
  }
  if (GetElement("PlaceForOk"))
    SetElementHtml("PlaceForOk", TemplateStore::Load(folder + "btn_close.html"));
}

}  // namespace corvane
