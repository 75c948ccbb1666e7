#pragma once
// "Browsing Cache": the ordinary entries of Internet Explorer's URL cache by domain, with the
// files left in its Temporary Internet Files folder, and the cache folders of the Mozilla
// family's profiles as one pseudo-domain "Mozilla", and the disk caches of today's browsers and
// launchers by domain.

#include "cleaners/browser/browser_cleaner.h"
#include "cleaners/modern/modern_cache.h"
#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"

namespace corvane {

inline constexpr char kMozillaCacheDomain[] = "Mozilla";

class BrowserCacheCleaner final : public BrowserCleaner {
 public:
  explicit BrowserCacheCleaner(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;

 protected:
  [[nodiscard]] PluginResult ScanTracks() override;
  [[nodiscard]] PluginResult EraseTracks() override;

 private:
  [[nodiscard]] PluginResult ScanInternetExplorer(BrowserScanResult& result,
                                                  ProgressReporter& progress);
  [[nodiscard]] PluginResult ScanMozilla(BrowserScanResult& result, ProgressReporter& progress);
  [[nodiscard]] PluginResult EraseInternetExplorer(BrowserScanResult& result,
                                                   ProgressReporter& progress);
  [[nodiscard]] PluginResult EraseMozilla(BrowserScanResult& result, ProgressReporter& progress);
  // What today's browsers' results hold: their domains (failure records left out), entries and
  // bytes, added to the counters.
  void CountModern(TracksLeftMap& counters) const;

  ModernCache modern_;
};

}  // namespace corvane
