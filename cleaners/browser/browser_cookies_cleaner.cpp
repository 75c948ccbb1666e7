#include "cleaners/browser/browser_cookies_cleaner.h"

#include <algorithm>

#include "cleaners/ie/ie_url_cache.h"
#include "cleaners/mozilla/netscape_cookies.h"
#include "engine/cleaner_texts.h"
#include "engine/domain_pages.h"
#include "ui/html_escape.h"

namespace corvane {

std::uint64_t ClassifyCookieDomains(BrowserScanResult& result, const DomainList& blacklist,
                                    const DomainList& whitelist) {
  std::uint64_t blacklisted = 0;
  for (auto& [key, record] : result.domains) {
    if (blacklist.Contains(key)) {
      record.listState = ListState::Blacklisted;
      ++blacklisted;
    } else if (whitelist.Contains(key)) {
      record.listState = ListState::Whitelisted;
    } else {
      record.listState = ListState::Gray;
    }
  }
  return blacklisted;
}

void SelectCookieDomains(BrowserScanResult& result, const DomainList& whitelist,
                         bool blacklistedOnly) {
  for (auto& [key, record] : result.domains) {
    if (whitelist.Contains(key)) {
      record.status = DomainStatus::Found;
      record.listState = ListState::Whitelisted;
    } else if (record.listState == ListState::Blacklisted) {
      record.status = DomainStatus::Selected;
    } else {
      record.listState = ListState::Gray;
      record.status = blacklistedOnly ? DomainStatus::Found : DomainStatus::Selected;
    }
  }
}

namespace {

std::uint64_t RemainingBlacklisted(const BrowserScanResult& result) {
  return static_cast<std::uint64_t>(
      std::count_if(result.domains.begin(), result.domains.end(), [](const auto& domain) {
        return domain.second.listState == ListState::Blacklisted &&
               domain.second.status != DomainStatus::Erased;
      }));
}

}  // namespace

std::uint64_t BrowserCookiesCleaner::CountDomains(const BrowserScanResult& result,
                                                  BrowserCode browser) const {
  return static_cast<std::uint64_t>(
      std::count_if(result.domains.begin(), result.domains.end(),
                    [&](const auto& domain) { return !modern_.IsFailure(browser, domain.first); }));
}

namespace {

bool IsBlacklisted(const DomainRow& row) {
  return row.listState == ListState::Blacklisted;
}

bool IsReported(const DomainRow& row) {
  return row.status == DomainStatus::Failed || row.status == DomainStatus::Erased;
}

}  // namespace

BrowserCookiesCleaner::BrowserCookiesCleaner(PluginOwner& owner, DomainList* blacklist,
                                             DomainList* whitelist)
    : BrowserCleaner("BrowserCookies", "Cookies", owner),
      blacklist_(blacklist),
      whitelist_(whitelist) {}

DomainList& BrowserCookiesCleaner::Blacklist() const {
  return blacklist_ != nullptr ? *blacklist_ : DomainList::Blacklist();
}

DomainList& BrowserCookiesCleaner::Whitelist() const {
  return whitelist_ != nullptr ? *whitelist_ : DomainList::Whitelist();
}

PluginResult BrowserCookiesCleaner::ScanTracks() {
  ProgressReporter progress = BeginScan();

  BrowserScanResult ie;
  if (const PluginResult answer = ScanUrlCache(UrlCacheMode::Cookies, ie, progress);
      answer != PluginResult::Finished) {
    return answer;
  }

  BrowserScanResult mozilla;
  mozilla.browser = BrowserCode::Mozilla;
  const bool scanned = GetNetscapeCookies(mozilla, progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  if (!scanned) return PluginResult::Failed;

  BrowserResults modern;
  if (!modern_.Scan(modern, progress)) return PluginResult::Cancelled;

  results_ = std::move(modern);
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  std::uint64_t blacklisted = 0;
  std::uint64_t domains = 0;
  for (auto& [browser, result] : results_) {
    blacklisted += ClassifyCookieDomains(result, Blacklist(), Whitelist());
    domains += CountDomains(result, browser);
  }
  return Finish({{"blacklist", blacklisted}, {"domains", domains}}, DomainSortColumn::ItemCount);
}

PluginResult BrowserCookiesCleaner::EraseTracks() {
  ProgressReporter progress = BeginErase();
  BrowserScanResult& ie = results_[BrowserCode::InternetExplorer];
  BrowserScanResult& mozilla = results_[BrowserCode::Mozilla];
  const CleaningOptions options = Owner().GetCleaningOptions();

  std::uint64_t domains = 0;
  std::uint64_t blacklisted = 0;
  for (auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    SelectCookieDomains(result, Whitelist(), options.blacklistedOnly);
  }
  if (!modern_.Erase(results_, progress, &Tally())) return PluginResult::Cancelled;
  for (auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    domains += CountDomains(result, browser) - (result.domains.size() - RemainingDomains(result));
    blacklisted += RemainingBlacklisted(result);
  }
  for (BrowserScanResult* result : {&ie, &mozilla}) {
    result->blacklistedOnly = options.blacklistedOnly;
    result->overwrite = options.overwrite;
    SelectCookieDomains(*result, Whitelist(), options.blacklistedOnly);
    if (progress.IsCancelled()) return PluginResult::Cancelled;
    if (result == &ie) {
      const PluginResult answer = UpdateIECache(ie, options.overwrite, &progress, &Tally());
      if (answer != PluginResult::Finished) return answer;
    } else {
      const Overwrite overwrite = options.overwrite ? Overwrite::On : Overwrite::Off;
      if (UpdateNetscapeCookies(mozilla, overwrite, progress, &Tally()) != 1) {
        return progress.IsCancelled() ? PluginResult::Cancelled : PluginResult::Failed;
      }
    }
    domains += RemainingDomains(*result);
    blacklisted += RemainingBlacklisted(*result);
  }
  return Finish({{"blacklist", blacklisted}, {"domains", domains}}, DomainSortColumn::ItemCount);
}

namespace {

TemplateStore::Replacements CookieRow(const DomainRow& row) {
  return {{"#num#", std::to_string(row.itemCount)},
          {"#browser#", std::string(BrowserName(row.browser))},
          {"#bl#", YesNo(row.listState == ListState::Blacklisted)},
          {"#wl#", YesNo(row.listState == ListState::Whitelisted)},
          {"#name#", HtmlEscapeName(row.name)}};
}

}  // namespace

int BrowserCookiesCleaner::ShowDetails(dom::Element element) {
  return ShowDomainPage(*this, element, [this] {
    // Black-listed rows first, then the others, each group in row order.
    std::vector<DomainRow> ordered;
    ordered.reserve(rows_.size());
    std::copy_if(rows_.begin(), rows_.end(), std::back_inserter(ordered), IsBlacklisted);
    std::copy_if(rows_.begin(), rows_.end(), std::back_inserter(ordered),
                 [](const DomainRow& row) { return !IsBlacklisted(row); });
    const auto blacklisted =
        static_cast<std::size_t>(std::count_if(ordered.begin(), ordered.end(), IsBlacklisted));
    return BuildDomainPage(
        *this, ordered, DomainPageKind::Details, CookieRow,
        [blacklisted](const DomainTotals& totals) {
          return TemplateStore::Replacements{
              {"#num#", std::to_string(totals.rows)},
              {"#graynum#", std::to_string(blacklisted)},
              {"#icon#", totals.anyRow ? LoadNoIcon() : LoadOkIcon()}};
        },
        &results_);
  });
}

int BrowserCookiesCleaner::ShowReport(dom::Element element) {
  return ShowDomainPage(*this, element, [this] {
    const auto blacklisted = static_cast<std::size_t>(
        std::count_if(rows_.begin(), rows_.end(),
                      [](const DomainRow& row) { return IsReported(row) && IsBlacklisted(row); }));
    return BuildDomainPage(
        *this, rows_, DomainPageKind::Report, CookieRow, [blacklisted](const DomainTotals& totals) {
          return TemplateStore::Replacements{{"#num#", std::to_string(totals.shownRows)},
                                             {"#graynum#", std::to_string(blacklisted)}};
        });
  });
}

}  // namespace corvane
