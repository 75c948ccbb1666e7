#pragma once
// The domain lists' editor ("Common\domlist_layout.html"): the blacklist, shown as it is and
// replaced by a download, and the whitelist, where the user adds and removes domains; either can
// be printed. The whitelist is written when the dialog closes.

#include <string>
#include <string_view>

#include "settings/domain_list.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr int kDomainListDialogTemplate = 142;
inline constexpr int kPrintDialogTemplate = 143;
inline constexpr char kDomainListLayout[] = "Common\\domlist_layout.html";
inline constexpr char kPrintPage[] = "Common\\print.html";

enum class DomainListView { Blacklist, Whitelist };

// A domain as typed into the whitelist's field: blanks at both ends dropped, then one leading
// "www." or else "ftp." (letter case as written); empty when nothing is left or a character is
// not a letter, digit, "-", "." or "_".
[[nodiscard]] std::string NormalizeTypedDomain(std::string_view typed);

class CDomainListDlg final : public CNoScrollHtmlDlg {
 public:
  CDomainListDlg(Host& host, std::string languageFolder, DomainListView view,
                 CNoScrollHtmlDlg* parent, DomainList& blacklist = DomainList::Blacklist(),
                 DomainList& whitelist = DomainList::Whitelist());

  void OnDocumentComplete() override;
  // Escape closes the dialog as its Close button does: the whitelist is written.
  void OnCancel() override;
  [[nodiscard]] DomainListView View() const { return view_; }

 protected:
  void OnInitDialog() override;
  void OnClickElement(dom::Element element) override;

 private:
  [[nodiscard]] std::string Text(std::string_view fileName) const;
  void Render();
  void Download();
  void AddTypedDomain();
  void Print();
  void Close();

  std::string languageFolder_;
  DomainListView view_;
  DomainList& blacklist_;
  DomainList& whitelist_;
  std::string blacklistHtml_;  // built once, until a download replaces the list
  bool downloading_ = false;
};

}  // namespace corvane
