#include "settings/language_dlg.h"

#include <charconv>

#include "app/erase_app.h"
#include "ui/template_store.h"

namespace corvane {

namespace {
constexpr char kNoLanguages[] = "Error no lang found";
}  // namespace

CLanguageDlg::CLanguageDlg(Host& host, std::string languageFolder, LanguageSettings& settings,
                           CNoScrollHtmlDlg* parent)
    : CNoScrollHtmlDlg(host, kLanguageLayout, kLanguageDialogTemplate, parent),
      languageFolder_(std::move(languageFolder)),
      settings_(settings),
      selection_(settings.GetCurrent()),
      languages_(settings.GetLanguages()) {
  // No language chosen yet: the one on show (the locale's) is what Apply keeps.
  if (selection_ == kLanguageNotSet) selection_ = languageFolder_;
}

void CLanguageDlg::OnInitDialog() {
  Window()->SetTitle(kApplicationTitle);
  CNoScrollHtmlDlg::OnInitDialog();
}

std::string CLanguageDlg::Text(const std::string& fileName) const {
  return TemplateStore::Load("html\\" + languageFolder_ + "\\" + fileName);
}

void CLanguageDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  // The buttons never change; only the list is drawn again when the choice changes.
  SetElementHtml("BtnCancel", Text("btn_close.html"));
  SetElementHtml("BtnApply", Text("btn_apply.html"));
  Render();
}

void CLanguageDlg::Render() {
  std::string content = Text("hsLanguage_content.html");
  std::string rows;
  if (languages_.empty()) {
    rows = kNoLanguages;
  } else {
    const std::string row = Text("hsLanguage_checkbox.html");
    for (std::size_t i = 0; i < languages_.size(); ++i) {
      std::string text = row;
      TemplateStore::Fill(text, {{"#id#", std::to_string(i)},
                                 {"#checked#", languages_[i] == selection_ ? "checked=" : ""},
                                 {"#name#", Text("Languages\\" + languages_[i] + ".html")}});
      rows += text;
    }
  }
  TemplateStore::Replace(content, "#rows#", rows);
  SetElementHtml("LanguagesArea", content);
}

void CLanguageDlg::OnClickElement(dom::Element element) {
  const std::string cid = CommandId(element);
  if (cid.starts_with("rbLang")) {
    const std::string_view digits = std::string_view(cid).substr(6);
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error == std::errc() && end == digits.data() + digits.size() && index < languages_.size()) {
      selection_ = languages_[index];
      Render();
    }
  } else if (cid == "btn_close") {
    EndDialog(IDCANCEL);
  } else if (cid == "btn_apply") {
    static_cast<void>(settings_.SetCurrent(selection_));
    EndDialog(IDOK);
  }
}

}  // namespace corvane
