#pragma once
// "Browsing Forms Data": Internet Explorer's AutoComplete data and the Mozilla family's signon
// and wallet files, shown by form field or domain, erased all or nothing per browser.

#include "cleaners/browser/browser_cleaner.h"
#include "engine/browser_scan_result.h"

namespace corvane {

class BrowserFormsCleaner final : public BrowserCleaner {
 public:
  explicit BrowserFormsCleaner(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;
  // Only a cleaner that found something has a page among the results.
  [[nodiscard]] bool HasItems() const override { return !rows_.empty(); }

 protected:
  [[nodiscard]] PluginResult ScanTracks() override;
  [[nodiscard]] PluginResult EraseTracks() override;

 private:
  // After a browser's erase: every record erased (and counted done) when it went, else all left.
  // Answers how many records remain.
  std::uint64_t SettleErase(BrowserScanResult& result, bool erased);
};

}  // namespace corvane
