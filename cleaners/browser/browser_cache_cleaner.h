#pragma once
// "Browsing Cache": the ordinary entries of Internet Explorer's URL cache by domain, with the
// files left in its Temporary Internet Files folder, and the cache folders of the Mozilla
// family's profiles as one pseudo-domain "Mozilla".

#include <vector>

#include "engine/browser_scan_result.h"
#include "engine/plugin.h"
#include "engine/progress_reporter.h"

namespace corvane {

inline constexpr char kMozillaCacheDomain[] = "Mozilla";

class BrowserCacheCleaner final : public Plugin {
 public:
  explicit BrowserCacheCleaner(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;
  int OnCheckbox(std::string_view elementId, dom::Element element) override;

  [[nodiscard]] const std::vector<DomainRow>& Rows() const { return rows_; }
  [[nodiscard]] const BrowserResults& Results() const { return results_; }

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

  BrowserResults results_;
  std::vector<DomainRow> rows_;
};

}  // namespace corvane
