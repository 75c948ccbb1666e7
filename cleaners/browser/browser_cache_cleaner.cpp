#include "cleaners/browser/browser_cache_cleaner.h"

#include "cleaners/ie/domain_rule.h"
#include "cleaners/ie/ie_url_cache.h"
#include "cleaners/mozilla/netscape_cache.h"
#include "engine/domain_pages.h"
#include "engine/file_set.h"
#include "platform/shell_folders.h"

namespace corvane {

BrowserCacheCleaner::BrowserCacheCleaner(PluginOwner& owner)
    : BrowserCleaner("BrowserCache", "Browsing Cache", owner) {}

PluginResult BrowserCacheCleaner::ScanTracks() {
  ProgressReporter progress = BeginScan();

  BrowserScanResult ie;
  if (const PluginResult answer = ScanInternetExplorer(ie, progress);
      answer != PluginResult::Finished) {
    return answer;
  }
  TracksLeftMap counters{{"domains", ie.domains.size()}, {"items", ie.items}, {"size", ie.size}};

  BrowserScanResult mozilla;
  mozilla.browser = BrowserCode::Mozilla;
  if (const PluginResult answer = ScanMozilla(mozilla, progress);
      answer != PluginResult::Finished) {
    return answer;
  }
  counters["domains"] += mozilla.domains.size();
  counters["items"] += mozilla.items;
  counters["size"] += mozilla.size;

  BrowserResults modern;
  if (!modern_.Scan(modern, progress)) return PluginResult::Cancelled;

  results_ = std::move(modern);
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  CountModern(counters);
  return Finish(std::move(counters), DomainSortColumn::Size);
}

void BrowserCacheCleaner::CountModern(TracksLeftMap& counters) const {
  for (const auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    for (const auto& [key, record] : result.domains) {
      if (!modern_.IsFailure(browser, key) && record.status != DomainStatus::Erased) {
        ++counters["domains"];
      }
    }
    for (const auto& [key, record] : result.domains) {
      if (record.status == DomainStatus::Erased) continue;
      counters["items"] += record.itemCount;
      counters["size"] += record.size;
    }
  }
}

PluginResult BrowserCacheCleaner::ScanInternetExplorer(BrowserScanResult& result,
                                                       ProgressReporter& progress) {
  const PluginResult answer = ScanUrlCache(UrlCacheMode::Cache, result, progress);
  if (answer != PluginResult::Finished) return answer;
  result.Recount();
  return PluginResult::Finished;
}

PluginResult BrowserCacheCleaner::ScanMozilla(BrowserScanResult& result,
                                              ProgressReporter& progress) {
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  const bool scanned = GetNetscapeCache(bytes, files, progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  if (!scanned) return PluginResult::Failed;
  if (files != 0) {
    // One pseudo-domain for every profile's cache, its size the full 64-bit total.
    DomainEntry entry;
    entry.hits = 1;
    static_cast<void>(AddDomainEntry(result, kMozillaCacheDomain, std::move(entry)));
    DomainRecord& record = result.domains.at(kMozillaCacheDomain);
    record.itemCount = files;
    record.size = bytes;
    result.items = files;
    result.size = bytes;
  }
  return PluginResult::Finished;
}

PluginResult BrowserCacheCleaner::EraseTracks() {
  ProgressReporter progress = BeginErase();
  BrowserScanResult& ie = results_[BrowserCode::InternetExplorer];
  BrowserScanResult& mozilla = results_[BrowserCode::Mozilla];
  const CleaningOptions options = Owner().GetCleaningOptions();
  for (BrowserScanResult* result : {&ie, &mozilla}) {
    result->blacklistedOnly = options.blacklistedOnly;
    result->overwrite = options.overwrite;
  }

  if (const PluginResult answer = EraseInternetExplorer(ie, progress);
      answer != PluginResult::Finished) {
    return answer;
  }
  TracksLeftMap counters{{"domains", ie.domains.size()}, {"items", ie.items}, {"size", ie.size}};
  if (const PluginResult answer = EraseMozilla(mozilla, progress);
      answer != PluginResult::Finished) {
    return answer;
  }
  counters["domains"] += mozilla.domains.size();
  counters["items"] += mozilla.items;
  counters["size"] += mozilla.size;

  // Like Internet Explorer's, every domain the scan found goes.
  for (auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    for (auto& [key, record] : result.domains) {
      if (record.status == DomainStatus::Found) record.status = DomainStatus::Selected;
    }
  }
  const Overwrite overwrite = options.overwrite ? Overwrite::On : Overwrite::Off;
  if (!modern_.Erase(results_, overwrite, progress, &Tally())) return PluginResult::Cancelled;
  CountModern(counters);
  return Finish(std::move(counters), DomainSortColumn::Size);
}

PluginResult BrowserCacheCleaner::EraseInternetExplorer(BrowserScanResult& result,
                                                        ProgressReporter& progress) {
  for (auto& [key, record] : result.domains) record.status = DomainStatus::Selected;
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  const PluginResult answer = UpdateIECache(result, result.overwrite, &progress, &Tally());
  if (answer != PluginResult::Finished) return answer;
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  result.items = 0;
  result.size = 0;
  for (const auto& [key, record] : result.domains) {
    if (record.status == DomainStatus::Erased) continue;
    result.items += record.itemCount;
    result.size += record.size;
  }
  // Files of the cache folder that no entry names any more; what cannot go is left alone.
  if (const auto folder =
          SHGetSpecialFolderPathW(CSIDL_INTERNET_CACHE, FolderCreation::MustExist)) {
    static_cast<void>(EraseFileSetTree(*folder, {}, "*", Overwrite::On, WipePattern::WipeOnes,
                                       progress.AsCancelCheck(), &Tally()));
  }
  return PluginResult::Finished;
}

PluginResult BrowserCacheCleaner::EraseMozilla(BrowserScanResult& result,
                                               ProgressReporter& progress) {
  const Overwrite overwrite = result.overwrite ? Overwrite::On : Overwrite::Off;
  if (!DeleteNetscapeCache(overwrite, progress, &Tally())) return PluginResult::Failed;
  result.items = 0;
  result.size = 0;
  if (auto found = result.domains.find(kMozillaCacheDomain); found != result.domains.end()) {
    found->second.status = DomainStatus::Erased;
  }
  return PluginResult::Finished;
}

int BrowserCacheCleaner::ShowDetails(dom::Element element) {
  return ShowDomainPage(*this, element,
                        [this] { return BuildDomainDetails(*this, rows_, &results_); });
}

int BrowserCacheCleaner::ShowReport(dom::Element element) {
  return ShowDomainPage(*this, element, [this] { return BuildDomainReport(*this, rows_); });
}

}  // namespace corvane
