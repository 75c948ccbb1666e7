#include "engine/domain_pages.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>
#include <variant>
#include <vector>

#include "engine/cleaner_texts.h"
#include "engine/format_size.h"
#include "engine/found_items.h"
#include "ui/html_escape.h"

namespace corvane {

DomainPageTemplates DomainTemplates(DomainPageKind kind) {
  if (kind == DomainPageKind::Details) {
    return {"details.html", "domaindetails.html", "totaldetails.html", kNoItemsFound};
  }
  return {"report.html", "domainreport.html", "totalreport.html", kNoItemsErased};
}

namespace {

// Seconds since 1970 of a FILETIME; -1 for none (0) or a time before 1970.
std::int64_t UnixSeconds(std::uint64_t fileTime) {
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns steps
  if (fileTime < kUnixEpoch) return -1;
  return static_cast<std::int64_t>((fileTime - kUnixEpoch) / 10000000ULL);
}

// The records of the results by the rows' key: the result's browser and the record's name.
using RecordIndex =
    std::map<std::pair<BrowserCode, std::string_view>, const DomainRecord*, std::less<>>;
RecordIndex IndexRecords(const BrowserResults& results) {
  RecordIndex index;
  for (const auto& [code, result] : results) {
    for (const auto& [key, record] : result.domains)
      index.emplace(std::pair{code, std::string_view(record.name)}, &record);
  }
  return index;
}

}  // namespace

std::string DomainEntriesHtml(std::span<const DomainEntry> entries, std::size_t total,
                              std::string_view languageFolder, std::size_t& pageBudget) {
  if (entries.empty()) return {};
  const std::size_t shown = std::min({entries.size(), kShownDomainEntries, pageBudget});
  pageBudget -= shown;
  std::vector<FoundItem> items;
  items.reserve(shown);
  for (const DomainEntry& entry : entries.first(shown)) {
    items.push_back({entry.url.empty() ? entry.localFile : entry.url, entry.size,
                     UnixSeconds(entry.lastAccess)});
  }
  return ItemListHtml(items, std::max(total, entries.size()), languageFolder, "found_entries.html",
                      true);
}

std::string BuildDomainPage(const Plugin& plugin, std::span<const DomainRow> rows,
                            DomainPageKind kind, const DomainRowFill& fillRow,
                            const DomainTotalsFill& fillTotals, const BrowserResults* entries) {
  const DomainPageTemplates names = DomainTemplates(kind);
  const bool listEntries = entries != nullptr && kind == DomainPageKind::Details;
  const RecordIndex records = listEntries ? IndexRecords(*entries) : RecordIndex{};
  std::size_t entryBudget = kShownPageEntries;
  std::string page = plugin.LoadPluginText(names.page);
  const std::string rowTemplate = plugin.LoadPluginText(names.row);
  std::string totals = plugin.LoadPluginText(names.totals);

  DomainTotals counted;
  std::string rowText;
  for (const DomainRow& row : rows) {
    ++counted.rows;
    counted.items += row.itemCount;
    counted.size += row.size;
    std::string filled = rowTemplate;
    if (kind == DomainPageKind::Report) {
      if (row.status == DomainStatus::Erased && row.itemCount == 0 && row.size == 0) {
        TemplateStore::Replace(filled, "#result#",
                               LoadSharedPluginText(plugin.LanguageFolder(), kNothingToErase));
      } else if (row.status == DomainStatus::Erased) {
        TemplateStore::Replace(filled, "#result#", plugin.ResErasedHtml());
      } else if (row.status == DomainStatus::Failed) {
        TemplateStore::Replace(filled, "#result#", plugin.ResErrorHtml());
      } else {
        continue;  // found or selected: not part of what the erase did
      }
    }
    std::string entryList;
    if (const auto found = records.find(std::pair{row.browser, std::string_view(row.name)});
        found != records.end()) {
      const DomainRecord& record = *found->second;
      entryList =
          DomainEntriesHtml(record.entries, record.itemCount, plugin.LanguageFolder(), entryBudget);
    }
    // The list's names are data with every "#" written as a reference: no later replacement of
    // the row can find a placeholder inside them.
    TemplateStore::Replace(filled, "#entries#", entryList);
    // "#row#" numbers the row's check box ("cbw1", "cbw2", ...) in page order.
    TemplateStore::Replace(filled, "#row#", std::to_string(counted.rows));
    TemplateStore::Fill(filled, fillRow(row));
    rowText += filled;
    ++counted.shownRows;
  }
  counted.anyRow = counted.rows != 0;
  if (!counted.anyRow) rowText = LoadSharedPluginText(plugin.LanguageFolder(), names.empty);

  TemplateStore::Fill(totals, fillTotals(counted));
  TemplateStore::Replace(page, "#total#", totals);
  TemplateStore::Replace(page, "#volumes#", rowText);
  return page;
}

namespace {

TemplateStore::Replacements CacheRow(const DomainRow& row) {
  return {{"#num#", std::to_string(row.itemCount)},
          {"#size#", FormatSize(row.size)},
          {"#browser#", std::string(BrowserName(row.browser))},
          {"#name#", HtmlEscapeName(row.name)}};
}

TemplateStore::Replacements CacheTotals(const DomainTotals& totals) {
  return {{"#numdom#", std::to_string(totals.rows)},
          {"#numit#", std::to_string(totals.items)},
          {"#size#", FormatSize(totals.size)}};
}

}  // namespace

std::string BuildDomainDetails(const Plugin& plugin, std::span<const DomainRow> rows,
                               const BrowserResults* entries) {
  return BuildDomainPage(
      plugin, rows, DomainPageKind::Details, CacheRow,
      [](const DomainTotals& totals) {
        auto replacements = CacheTotals(totals);
        replacements.emplace_back("#icon#", totals.anyRow ? LoadNoIcon() : LoadOkIcon());
        return replacements;
      },
      entries);
}

std::string BuildDomainReport(const Plugin& plugin, std::span<const DomainRow> rows) {
  return BuildDomainPage(plugin, rows, DomainPageKind::Report, CacheRow, CacheTotals);
}

int ShowDomainPage(const Plugin& plugin, dom::Element& element,
                   const std::function<std::string()>& build) {
  if (plugin.GetScanState() == ScanState::NotScanned) return 1;
  element.SetInnerHtml(build());
  return 0;
}

namespace {

// Whether the text reads as a non-zero decimal number the way the C library's atoi reads it:
// leading blanks, a sign, then digits up to the first non-digit.
bool IsNonZeroNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    if (text[at] != '0') return true;
  }
  return false;
}

}  // namespace

int OnDomainCheckbox(const Plugin& plugin, std::string_view elementId,
                     const dom::Element& element) {
  if (plugin.GetScanState() == ScanState::NotScanned || !element) return 1;
  const dom::AttributeValue checked = element.GetAttribute("checked");
  constexpr std::string_view kPrefix = "cbw";
  if (!elementId.starts_with(kPrefix)) return 0;
  if (!IsNonZeroNumber(elementId.substr(kPrefix.size()))) return 0;
  return std::holds_alternative<bool>(checked) ? 0 : 1;
}

}  // namespace corvane
