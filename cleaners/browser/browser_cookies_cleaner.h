#pragma once
// "Cookies": the cookies of Internet Explorer (the "cookie:" entries of its URL cache), of the
// Mozilla family ("cookies.txt") and of today's Firefox and Chromium family (their SQLite
// databases), by domain, each domain marked black-listed, white-listed or
// neither by the domain lists. White-listed domains are never erased; with "DeleteBlListOnly"
// only black-listed ones are.

#include <cstdint>

#include "cleaners/browser/browser_cleaner.h"
#include "cleaners/modern/modern_cookies.h"
#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"
#include "settings/domain_list.h"

namespace corvane {

// Marks each domain of the result: black-listed when the blacklist holds it (even when the
// whitelist holds it too), else white-listed when the whitelist does, else gray. Answers how many
// are black-listed.
std::uint64_t ClassifyCookieDomains(BrowserScanResult& result, const DomainList& blacklist,
                                    const DomainList& whitelist);

// Chooses what an erase removes: a white-listed domain (by the whitelist as it is now) is left
// and marked white-listed; a black-listed one is Selected; a gray one is Selected unless only
// black-listed domains are to go.
void SelectCookieDomains(BrowserScanResult& result, const DomainList& whitelist,
                         bool blacklistedOnly);

class BrowserCookiesCleaner final : public BrowserCleaner {
 public:
  // The lists default to the program's own; tests hand in theirs.
  explicit BrowserCookiesCleaner(PluginOwner& owner, DomainList* blacklist = nullptr,
                                 DomainList* whitelist = nullptr);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;

 protected:
  [[nodiscard]] PluginResult ScanTracks() override;
  [[nodiscard]] PluginResult EraseTracks() override;

 private:
  [[nodiscard]] DomainList& Blacklist() const;
  [[nodiscard]] DomainList& Whitelist() const;

  // The domains of the result that are not failure records.
  [[nodiscard]] std::uint64_t CountDomains(const BrowserScanResult& result,
                                           BrowserCode browser) const;

  DomainList* blacklist_;
  DomainList* whitelist_;
  ModernCookies modern_;
};

}  // namespace corvane
