#include "cleaners/browser/browser_forms_cleaner.h"

#include <optional>
#include <string_view>

#include "cleaners/ie/ie_autocomplete.h"
#include "cleaners/modern/form_store.h"
#include "cleaners/mozilla/netscape_forms.h"
#include "engine/domain_pages.h"
#include "ui/html_escape.h"

namespace corvane {

void SelectFormRecords(BrowserScanResult& result, const DomainList& blacklist,
                       const DomainList& whitelist, bool blacklistedOnly) {
  for (auto& [key, record] : result.domains) {
    record.status = DomainStatus::Selected;
    const std::optional<std::string_view> host = SavedLoginsHost(key);
    if (!host) continue;
    // As the cookies cleaner's erase judges a site: the whitelist first.
    if (whitelist.Contains(*host) || (blacklistedOnly && !blacklist.Contains(*host))) {
      record.status = DomainStatus::Found;
    }
  }
}

BrowserFormsCleaner::BrowserFormsCleaner(PluginOwner& owner, DomainList* blacklist,
                                         DomainList* whitelist)
    : BrowserCleaner("BrowserForms", "Browsing Forms Data", owner),
      blacklist_(blacklist),
      whitelist_(whitelist) {}

std::uint64_t BrowserFormsCleaner::CountModern(bool remaining) const {
  std::uint64_t count = 0;
  for (const auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    for (const auto& [key, record] : result.domains) {
      if (modern_.IsFailure(browser, key)) continue;
      if (!remaining || record.status != DomainStatus::Erased) ++count;
    }
  }
  return count;
}

PluginResult BrowserFormsCleaner::ScanTracks() {
  ProgressReporter progress = BeginScan();

  BrowserScanResult ie;
  ie.browser = BrowserCode::InternetExplorer;
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  ScanAutoComplete(ie, &progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;

  BrowserScanResult mozilla;
  mozilla.browser = BrowserCode::Mozilla;
  const int scanned = GetNetscapeFormStorageData(mozilla, progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  if (scanned != 1) return PluginResult::Failed;

  BrowserResults modern;
  if (!modern_.Scan(modern, progress)) return PluginResult::Cancelled;

  const std::uint64_t items = ie.domains.size() + mozilla.domains.size();
  results_ = std::move(modern);
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  return Finish({{"items", items + CountModern(false)}}, DomainSortColumn::ItemCount);
}

std::uint64_t BrowserFormsCleaner::SettleErase(BrowserScanResult& result, bool erased) {
  if (!erased) return result.domains.size();
  TallyRecord done;
  for (auto& [key, record] : result.domains) {
    record.status = DomainStatus::Erased;
    done.items += record.itemCount;
  }
  Tally().AddDone(done);
  return 0;
}

PluginResult BrowserFormsCleaner::EraseTracks() {
  ProgressReporter progress = BeginErase();
  std::uint64_t remaining =
      SettleErase(results_[BrowserCode::InternetExplorer], EraseAutoComplete(&progress));
  // The stored passwords are always overwritten before they go.
  remaining += SettleErase(results_[BrowserCode::Mozilla],
                           DeleteNetscapeFormStorageData(Overwrite::On) == 1);

  const CleaningOptions options = Owner().GetCleaningOptions();
  DomainList& blacklist = blacklist_ != nullptr ? *blacklist_ : DomainList::Blacklist();
  DomainList& whitelist = whitelist_ != nullptr ? *whitelist_ : DomainList::Whitelist();
  for (auto& [browser, result] : results_) {
    if (browser >= BrowserCode::Firefox) {
      SelectFormRecords(result, blacklist, whitelist, options.blacklistedOnly);
    }
  }
  if (!modern_.Erase(results_, progress, &Tally())) return PluginResult::Cancelled;
  remaining += CountModern(true);
  return Finish({{"items", remaining}}, DomainSortColumn::ItemCount);
}

namespace {

TemplateStore::Replacements FormsRow(const DomainRow& row) {
  return {{"#num#", std::to_string(row.itemCount)},
          {"#browser#", std::string(BrowserName(row.browser))},
          {"#name#", HtmlEscapeName(row.name)}};
}

}  // namespace

int BrowserFormsCleaner::ShowDetails(dom::Element element) {
  return ShowRows(element, DomainPageKind::Details, FormsRow);
}

int BrowserFormsCleaner::ShowReport(dom::Element element) {
  return ShowRows(element, DomainPageKind::Report, FormsRow);
}

}  // namespace corvane
