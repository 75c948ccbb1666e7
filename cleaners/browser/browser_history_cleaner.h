#pragma once
// "Browsing History": the pages Internet Explorer visited (its URL cache's "visited:" entries),
// the addresses typed into its address bar, the URLs of the Mozilla family's "history.dat", and
// the history of today's Firefox and Chromium family (visited pages, downloads list, site
// permissions, address-bar shortcuts), by domain with hit counts and last visits.

#include <cstdint>
#include <string>

#include "cleaners/browser/browser_cleaner.h"
#include "cleaners/modern/modern_history.h"
#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"

namespace corvane {

// A FILETIME as the details page writes it (local time, the locale's date and time), "NA" for
// zero and "Invalid DateTime" for a time the calendar cannot show.
[[nodiscard]] std::string HistoryDetailsDate(std::uint64_t fileTime);
// As the report writes it: "%d-%b-%y %H:%M" of local time, "NA" for zero.
[[nodiscard]] std::string HistoryReportDate(std::uint64_t fileTime);

class BrowserHistoryCleaner final : public BrowserCleaner {
 public:
  explicit BrowserHistoryCleaner(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;

 protected:
  [[nodiscard]] PluginResult ScanTracks() override;
  [[nodiscard]] PluginResult EraseTracks() override;

 private:
  [[nodiscard]] PluginResult EraseInternetExplorer(BrowserScanResult& result,
                                                   ProgressReporter& progress,
                                                   std::uint64_t& remaining);
  [[nodiscard]] std::uint64_t EraseMozilla(BrowserScanResult& result);
  // Today's browsers: every domain goes; answers how many are left (failed). False when
  // cancelled.
  [[nodiscard]] bool EraseModern(ProgressReporter& progress, std::uint64_t& remaining);
  // The domains of today's browsers that are not failure records.
  [[nodiscard]] std::uint64_t CountModernDomains() const;

  ModernHistory modern_;
};

}  // namespace corvane
