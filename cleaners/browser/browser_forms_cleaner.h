#pragma once
// "Browsing Forms Data": Internet Explorer's AutoComplete data and the Mozilla family's signon
// and wallet files, shown by form field or domain, erased all or nothing per browser; and the
// form entries and saved-login sites of today's Firefox and Chromium family, by field name or
// site, the saved logins of a site on rows of their own.

#include <cstdint>

#include "cleaners/browser/browser_cleaner.h"
#include "cleaners/modern/modern_forms.h"
#include "engine/browser_scan_result.h"
#include "settings/domain_list.h"

namespace corvane {

// Chooses what an erase of today's browsers removes: every form entry, but saved logins, which
// a user may not get back, only where the cookie lists would let the site's cookies go: never
// for a white-listed site, and only for a black-listed one when only those are to go.
void SelectFormRecords(BrowserScanResult& result, const DomainList& blacklist,
                       const DomainList& whitelist, bool blacklistedOnly);

class BrowserFormsCleaner final : public BrowserCleaner {
 public:
  // The lists default to the program's own; tests hand in theirs.
  explicit BrowserFormsCleaner(PluginOwner& owner, DomainList* blacklist = nullptr,
                               DomainList* whitelist = nullptr);

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
  // The records of today's browsers that are not failure records and, with `remaining`, not
  // erased.
  [[nodiscard]] std::uint64_t CountModern(bool remaining) const;

  DomainList* blacklist_;
  DomainList* whitelist_;
  ModernForms modern_;
};

}  // namespace corvane
