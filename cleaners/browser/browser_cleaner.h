#pragma once
// What the four browser cleaners share: the results of the last run by browser and the rows their
// pages show, the progress reporter of a run, the first and last steps of a scan and an erase,
// and the few words of the pages that are not templates.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cleaners/ie/ie_url_cache.h"
#include "engine/browser_scan_result.h"
#include "engine/domain_pages.h"
#include "engine/plugin.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Progress from the back-ends comes per batch of entries; more than a few reports a second
// would only fill the window's queue.
inline constexpr std::chrono::milliseconds kBrowserProgressThrottle{100};

// "Yes" or "No", as the pages show list states.
[[nodiscard]] std::string YesNo(bool yes);

// How many domains of the result have not been erased.
[[nodiscard]] std::uint64_t RemainingDomains(const BrowserScanResult& result);

class BrowserCleaner : public Plugin {
 public:
  int OnCheckbox(std::string_view elementId, dom::Element element) override;

  [[nodiscard]] const std::vector<DomainRow>& Rows() const { return rows_; }
  [[nodiscard]] const BrowserResults& Results() const { return results_; }

 protected:
  BrowserCleaner(PluginId id, std::string constructionName, PluginOwner& owner);

  // A scan starts from nothing: no rows, no results.
  [[nodiscard]] ProgressReporter BeginScan();
  // An erase works on the results of the last scan; Internet Explorer's and the Mozilla
  // family's are there (empty when that scan did not finish), and no rows or tracks are left
  // until it is done.
  [[nodiscard]] ProgressReporter BeginErase();

  // Internet Explorer's URL cache entries of the mode, into a fresh result; a cancel before or
  // after the walk answers Cancelled.
  [[nodiscard]] static PluginResult ScanUrlCache(UrlCacheMode mode, BrowserScanResult& ie,
                                                 ProgressReporter& progress);

  // Publishes what is left and builds the rows from the results, sorted by `column`.
  [[nodiscard]] PluginResult Finish(TracksLeftMap counters, DomainSortColumn column);

  // A details or report page of the rows with `fillRow`; its totals are the row count and, on
  // the details page, the icon.
  int ShowRows(dom::Element& element, DomainPageKind kind, const DomainRowFill& fillRow);

  BrowserResults results_;
  std::vector<DomainRow> rows_;

 private:
  // The reporter of one scan ("Scaning.html") or erase ("Clearing.html").
  [[nodiscard]] ProgressReporter MakeReporter(std::string_view page);
};

}  // namespace corvane
