#include "cleaners/browser/browser_cleaner.h"

#include <algorithm>
#include <utility>

#include "engine/cleaner_texts.h"

namespace corvane {

std::string YesNo(bool yes) {
  return yes ? "Yes" : "No";
}

std::uint64_t RemainingDomains(const BrowserScanResult& result) {
  return static_cast<std::uint64_t>(std::count_if(
      result.domains.begin(), result.domains.end(),
      [](const auto& domain) { return domain.second.status != DomainStatus::Erased; }));
}

BrowserCleaner::BrowserCleaner(PluginId id, std::string constructionName, PluginOwner& owner)
    : Plugin(std::move(id), std::move(constructionName), owner) {
  LoadTracksLeft();
}

int BrowserCleaner::OnCheckbox(std::string_view elementId, dom::Element element) {
  return OnDomainCheckbox(*this, elementId, element);
}

ProgressReporter BrowserCleaner::MakeReporter(std::string_view page) {
  return ProgressReporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), page),
                          CancelEvent(), kBrowserProgressThrottle);
}

ProgressReporter BrowserCleaner::BeginScan() {
  rows_.clear();
  results_.clear();
  return MakeReporter(kScanningPage);
}

ProgressReporter BrowserCleaner::BeginErase() {
  rows_.clear();
  results_[BrowserCode::InternetExplorer].browser = BrowserCode::InternetExplorer;
  results_[BrowserCode::Mozilla].browser = BrowserCode::Mozilla;
  MutableTracksLeft().clear();
  return MakeReporter(kClearingPage);
}

PluginResult BrowserCleaner::ScanUrlCache(UrlCacheMode mode, BrowserScanResult& ie,
                                          ProgressReporter& progress) {
  ie.browser = BrowserCode::InternetExplorer;
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  const PluginResult answer = EnumerateUrlCache(mode, ie, &progress);
  if (answer != PluginResult::Finished) return answer;
  return progress.IsCancelled() ? PluginResult::Cancelled : PluginResult::Finished;
}

PluginResult BrowserCleaner::Finish(TracksLeftMap counters, DomainSortColumn column) {
  static_cast<void>(PublishTracksLeft(std::move(counters)));
  rows_ = BuildDomainRows(results_, column);
  return PluginResult::Finished;
}

int BrowserCleaner::ShowRows(dom::Element& element, DomainPageKind kind,
                             const DomainRowFill& fillRow) {
  return ShowDomainPage(*this, element, [this, kind, &fillRow] {
    return BuildDomainPage(
        *this, rows_, kind, fillRow,
        [kind](const DomainTotals& totals) {
          if (kind == DomainPageKind::Report) {
            return TemplateStore::Replacements{{"#num#", std::to_string(totals.shownRows)}};
          }
          return TemplateStore::Replacements{
              {"#num#", std::to_string(totals.rows)},
              {"#icon#", totals.anyRow ? LoadNoIcon() : LoadOkIcon()}};
        },
        &results_);
  });
}

}  // namespace corvane
