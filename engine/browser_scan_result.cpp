#include "engine/browser_scan_result.h"

#include <algorithm>
#include <utility>

namespace corvane {

std::string_view BrowserName(BrowserCode code) {
  switch (code) {
    case BrowserCode::InternetExplorer:
      return "Internet Explorer";
    case BrowserCode::Mozilla:
      return "Mozilla";
    case BrowserCode::Firefox:
      return "Firefox";
    case BrowserCode::Chrome:
      return "Chrome";
    case BrowserCode::Edge:
      return "Edge";
    case BrowserCode::Brave:
      return "Brave";
    case BrowserCode::Chromium:
      return "Chromium";
    case BrowserCode::Steam:
      return "Steam";
    case BrowserCode::EpicGames:
      return "Epic Games Launcher";
    default:
      return "Unknown";
  }
}

void DomainRecord::Add(DomainEntry entry) {
  ++itemCount;
  hitTotal += entry.hits;
  size += entry.size;
  if (entry.lastAccess > lastAccess) lastAccess = entry.lastAccess;
  entries.push_back(std::move(entry));
}

void BrowserScanResult::AddEntry(std::string_view domain, DomainEntry entry) {
  auto found = domains.find(domain);
  if (found == domains.end()) {
    found = domains.emplace(std::string(domain), DomainRecord{}).first;
    found->second.name = std::string(domain);
  }
  ++items;
  size += entry.size;
  found->second.Add(std::move(entry));
}

void BrowserScanResult::Recount() {
  items = 0;
  size = 0;
  for (const auto& [key, record] : domains) {
    items += record.itemCount;
    size += record.size;
  }
}

std::vector<DomainRow> BuildDomainRows(const BrowserResults& results, DomainSortColumn column) {
  std::vector<DomainRow> rows;
  for (const auto& [code, result] : results) {
    for (const auto& [key, record] : result.domains) {
      rows.push_back({record.name, record.itemCount, record.size, record.hitTotal,
                      record.lastAccess, code, record.status, record.listState});
    }
  }
  const auto value = [column](const DomainRow& row) -> std::uint64_t {
    switch (column) {
      case DomainSortColumn::Size:
        return row.size;
      case DomainSortColumn::ItemCount:
        return row.itemCount;
      case DomainSortColumn::HitTotal:
        return row.hitTotal;
    }
    return 0;
  };
  std::sort(rows.begin(), rows.end(),
            [&value](const DomainRow& a, const DomainRow& b) { return value(a) > value(b); });
  return rows;
}

}  // namespace corvane
