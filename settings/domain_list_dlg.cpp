#include "settings/domain_list_dlg.h"

#include <variant>

#include "app/erase_app.h"
#include "ui/html_escape.h"
#include "ui/print_html_dlg.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

constexpr std::string_view kDeletePrefix = "btDel";

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The domain a delete button names: its id with every "btDel" taken out.
std::string DomainOfDeleteButton(std::string_view id) {
  std::string domain(id);
  for (std::size_t at = domain.find(kDeletePrefix); at != std::string::npos;
       at = domain.find(kDeletePrefix, at)) {
    domain.erase(at, kDeletePrefix.size());
  }
  return domain;
}

}  // namespace

std::string NormalizeTypedDomain(std::string_view typed) {
  std::string_view domain = TrimBlanks(typed);
  if (domain.starts_with("www.") || domain.starts_with("ftp.")) domain.remove_prefix(4);
  if (!IsHostName(domain)) return {};
  return std::string(domain);
}

CDomainListDlg::CDomainListDlg(Host& host, std::string languageFolder, DomainListView view,
                               CNoScrollHtmlDlg* parent, DomainList& blacklist,
                               DomainList& whitelist)
    : CNoScrollHtmlDlg(host, kDomainListLayout, kDomainListDialogTemplate, parent),
      languageFolder_(std::move(languageFolder)),
      view_(view),
      blacklist_(blacklist),
      whitelist_(whitelist) {}

void CDomainListDlg::OnInitDialog() {
  Window()->SetTitle(kApplicationTitle);
  CNoScrollHtmlDlg::OnInitDialog();
}

std::string CDomainListDlg::Text(std::string_view fileName) const {
  return TemplateStore::Load("html\\" + languageFolder_ + "\\" + std::string(fileName));
}

void CDomainListDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  SetElementHtml("CloseBtn", Text("btn_close.html"));
  SetElementHtml("PrintBtn", Text("btn_stat_print.html"));
  Render();
}

void CDomainListDlg::Render() {
  std::string html;
  if (view_ == DomainListView::Blacklist) {
    if (blacklistHtml_.empty()) {
      std::vector<TemplateStore::Replacements> rows;
      for (const std::string& entry : blacklist_.Entries()) {
        rows.push_back({{"#val#", HtmlEscape(entry)}});
      }
      blacklistHtml_ = TemplateStore::BuildList(Text("domlist_black.html"),
                                                Text("domlist_black_item.html"), "#item#", rows);
    }
    html = blacklistHtml_;
  } else {
    std::vector<TemplateStore::Replacements> rows;
    for (const std::string& entry : whitelist_.Entries()) {
      const std::string escaped = HtmlEscape(entry);
      rows.push_back({{"#id#", std::string(kDeletePrefix) + escaped}, {"#val#", escaped}});
    }
    html = TemplateStore::BuildList(Text("domlist_white.html"), Text("domlist_white_item.html"),
                                    "#item#", rows);
  }
  SetElementHtml("DomListArea", html);
}

void CDomainListDlg::OnClickElement(dom::Element element) {
  // The page keeps handling events while a download runs; it waits for the download to end.
  if (downloading_) return;
  const std::string cid = CommandId(element);
  if (cid == "btn_close") {
    Close();
  } else if (cid == "btn_print") {
    Print();
  } else if (view_ == DomainListView::Blacklist) {
    if (cid == "btn_whitelist") {
      view_ = DomainListView::Whitelist;
      Render();
    } else if (cid == "btn_download") {
      Download();
      Render();
    }
  } else if (cid == "btn_blacklist") {
    view_ = DomainListView::Blacklist;
    Render();
  } else if (cid == "btn_addnew") {
    AddTypedDomain();
  } else if (cid.starts_with(kDeletePrefix)) {
    if (whitelist_.Remove(DomainOfDeleteButton(cid)) != 0) Render();
  }
}

void CDomainListDlg::Close() {
  static_cast<void>(whitelist_.Save());
  EndDialog(IDOK);
}

void CDomainListDlg::OnCancel() {
  static_cast<void>(whitelist_.Save());
  CNoScrollHtmlDlg::OnCancel();
}

void CDomainListDlg::AddTypedDomain() {
  const dom::AttributeValue value = GetElementAttribute("texNewDomain", "value");
  const auto* typed = std::get_if<std::string>(&value);
  if (typed == nullptr) return;
  const std::string domain = NormalizeTypedDomain(*typed);
  if (domain.empty()) return;
  if (whitelist_.Add(domain)) Render();
}

void CDomainListDlg::Download() {
  const std::string url = BlacklistSourceUrl();
  if (url.empty()) {
    GetHost().MessageBox(Window(), Text("download_no_address.html"), Text("error_caption.html"),
                         MB_OK | MB_ICONERROR);
    return;
  }
  downloading_ = true;
  const DomainListDownload outcome = blacklist_.DownloadFrom(url, {}, &GetHost());
  downloading_ = false;
  if (outcome == DomainListDownload::Replaced) {
    blacklistHtml_.clear();
    return;
  }
  GetHost().MessageBox(Window(), Text("download_error.htm"), Text("error_caption.html"),
                       MB_OK | MB_ICONERROR);
}

void CDomainListDlg::Print() {
  const std::vector<std::string> entries =
      view_ == DomainListView::Blacklist ? blacklist_.Entries() : whitelist_.Entries();
  std::string fragment;
  for (const std::string& entry : entries) fragment += HtmlEscape(entry) + "<BR>\r\n";
  CPrintHtmlDlg print(GetHost(), kPrintPage, std::move(fragment), kPrintDialogTemplate, this);
  static_cast<void>(print.DoModal());
}

}  // namespace corvane
