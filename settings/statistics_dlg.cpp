#include "settings/statistics_dlg.h"

#include <cstdio>

#include "engine/format_size.h"
#include "settings/statistics_store.h"
#include "ui/print_html_dlg.h"
#include "ui/sortable_table.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

constexpr char kPrintPageName[] = "Common\\print.html";
constexpr int kPrintDialogTemplate = 141;

// "%d-%b-%y %H:%M" in the C locale's month names: the page's own words are English.
std::string ShownCleanupDate(const OleDate& date) {
  const std::optional<LocalDateTime> local = LocalFromOleDate(date);
  if (!local) return {};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%s-%02d %02d:%02d", local->day, kMonths[local->month - 1],
                local->year % 100, local->hour, local->minute);
  return text;
}

}  // namespace

CStatisticsDlg::CStatisticsDlg(Host& host, CNoScrollHtmlDlg* parent, std::string languageFolder,
                               bool enabled, std::vector<std::string> names,
                               std::vector<PluginCounters> counters, const OleDate& lastCleanup)
    : CNoScrollHtmlDlg(host, kStatisticsPageName, kStatisticsDialogTemplate, parent),
      languageFolder_(std::move(languageFolder)),
      enabled_(enabled),
      names_(std::move(names)),
      counters_(std::move(counters)),
      lastCleanup_(lastCleanup) {}

std::string CStatisticsDlg::LanguageText(std::string_view fileName) const {
  return TemplateStore::Load("html/" + languageFolder_ + "/" + std::string(fileName));
}

std::string CStatisticsDlg::RenderContent() const {
  std::string content = LanguageText("stat_content.html");
  const std::string itemTemplate = LanguageText("stat_item.html");
  std::string total = LanguageText("stat_total.html");

  const std::optional<LocalDateTime> last = LocalFromOleDate(lastCleanup_);
  const std::string lastText = !last || last->year < 2000 ? LanguageText("stat_NoCleanup.html")
                                                          : ShownCleanupDate(lastCleanup_);
  TemplateStore::Fill(content, {{"#lastcleantime#", lastText}});

  const std::string separator = LanguageText("thousands_separator.txt");
  std::string rows;
  StatisticsTotals totals;
  for (std::size_t i = 0; i < names_.size() && i < counters_.size(); ++i) {
    const PluginCounters& c = counters_[i];
    std::string row = itemTemplate;
    TemplateStore::Fill(row, {
                                 {"#name#", names_[i]},
                                 {"#asize#", FormatSizeOrDash(c.erasedTotal.bytes)},
                                 {"#anum#", FormatCount(c.erasedTotal.items, separator)},
                                 {"#dsize#", FormatSizeOrDash(c.erasedToday.bytes)},
                                 {"#dnum#", FormatCount(c.erasedToday.items, separator)},
                                 {"#clsize#", FormatSizeOrDash(c.current.bytes)},
                                 {"#clnum#", FormatCount(c.current.items, separator)},
                             });
    rows += row;
    totals.Add(c);
  }
  TemplateStore::Fill(total, {
                                 {"#asize#", FormatSizeOrDash(totals.allBytes)},
                                 {"#anum#", FormatCount(totals.allItems, separator)},
                                 {"#dsize#", FormatSizeOrDash(totals.todayBytes)},
                                 {"#dnum#", FormatCount(totals.todayItems, separator)},
                                 {"#clsize#", FormatSizeOrDash(totals.lastBytes)},
                                 {"#clnum#", FormatCount(totals.lastItems, separator)},
                             });
  TemplateStore::Fill(content, {{"#rows#", rows}});
  TemplateStore::Fill(content, {{"#total#", total}});
  return content;
}

void CStatisticsDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  static constexpr std::pair<const char*, const char*> kButtons[] = {
      {"CloseBtn", "btn_close.html"},
      {"ClearBtn", "btn_stat_clear.htm"},
      {"PrintBtn", "btn_stat_print.htm"},
      {"StatTitle", "stat_title.html"},
  };
  for (const auto& [id, file] : kButtons) {
    if (GetElement(id)) SetElementHtml(id, LanguageText(file));
  }
  // The check box shows the flag the page was opened with.
  std::string box = LanguageText("stat_enabled.html");
  TemplateStore::Fill(box, {{"#checked#", enabled_ ? "checked" : ""}});
  if (GetElement("StatEnabled")) SetElementHtml("StatEnabled", box);
  SetElementHtml("StatArea", RenderContent());
}

void CStatisticsDlg::OnClickElement(dom::Element element) {
  if (Document() != nullptr && OnSortedColumnClick(*Document(), element)) return;
  const std::string cid = CommandId(element);
  if (cid == "cbStatEnabled") {
    enabled_ = !enabled_;
  } else if (cid == "btn_clean") {
    for (PluginCounters& counters : counters_) counters = {};
    cleared_ = true;
    SetElementHtml("StatArea", RenderContent());
  } else if (cid == "btn_print") {
    CPrintHtmlDlg print(GetHost(), kPrintPageName, RenderContent(), kPrintDialogTemplate, this);
    static_cast<void>(print.DoModal());
  } else if (cid == "btn_close") {
    EndDialog(0);
  }
}

}  // namespace corvane
