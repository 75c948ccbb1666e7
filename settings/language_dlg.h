#pragma once
// The language dialog ("Common\hslanguage_layout.html"): one radio button per installed language,
// each named in the current language; Apply makes the chosen one current, Close leaves everything
// as it was. An incomplete language list shows "Error no lang found" and applying changes nothing.

#include <string>
#include <vector>

#include "settings/language_settings.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr int kLanguageDialogTemplate = 140;
inline constexpr char kLanguageLayout[] = "Common\\hslanguage_layout.html";

class CLanguageDlg final : public CNoScrollHtmlDlg {
 public:
  CLanguageDlg(Host& host, std::string languageFolder, LanguageSettings& settings,
               CNoScrollHtmlDlg* parent);

  void OnDocumentComplete() override;
  [[nodiscard]] const std::string& Selection() const { return selection_; }

 protected:
  void OnInitDialog() override;
  void OnClickElement(dom::Element element) override;

 private:
  void Render();
  [[nodiscard]] std::string Text(const std::string& fileName) const;

  std::string languageFolder_;
  LanguageSettings& settings_;
  std::string selection_;
  std::vector<std::string> languages_;
};

}  // namespace corvane
