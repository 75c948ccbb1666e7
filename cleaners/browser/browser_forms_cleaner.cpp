#include "cleaners/browser/browser_forms_cleaner.h"

#include "cleaners/browser/browser_cleaner_parts.h"
#include "cleaners/ie/ie_autocomplete.h"
#include "cleaners/mozilla/netscape_forms.h"
#include "engine/cleaner_texts.h"
#include "engine/domain_pages.h"
#include "ui/html_escape.h"

namespace corvane {

BrowserFormsCleaner::BrowserFormsCleaner(PluginOwner& owner)
    : Plugin("BrowserForms", "Browsing Forms Data", owner) {
  LoadTracksLeft();
}

PluginResult BrowserFormsCleaner::ScanTracks() {
  ProgressReporter progress = MakeBrowserReporter(Owner(), *this, kScanningPage, CancelEvent());
  rows_.clear();
  results_.clear();

  BrowserScanResult ie;
  ie.browser = BrowserCode::InternetExplorer;
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  ScanAutoComplete(ie, &progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;

  BrowserScanResult mozilla;
  mozilla.browser = BrowserCode::Mozilla;
  const int scanned = GetNetscapeFormStorageData(mozilla, progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  if (scanned != 1) return PluginResult::Failed;

  static_cast<void>(PublishTracksLeft({{"items", ie.domains.size() + mozilla.domains.size()}}));
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  rows_ = BuildDomainRows(results_, DomainSortColumn::ItemCount);
  return PluginResult::Finished;
}

std::uint64_t BrowserFormsCleaner::SettleErase(BrowserScanResult& result, bool erased) {
  if (!erased) return result.domains.size();
  TallyRecord done;
  for (auto& [key, record] : result.domains) {
    record.status = DomainStatus::Erased;
    done.items += record.itemCount;
  }
  Tally().AddDone(done);
  return 0;
}

PluginResult BrowserFormsCleaner::EraseTracks() {
  rows_.clear();
  BrowserScanResult& ie = results_[BrowserCode::InternetExplorer];
  BrowserScanResult& mozilla = results_[BrowserCode::Mozilla];
  ie.browser = BrowserCode::InternetExplorer;
  mozilla.browser = BrowserCode::Mozilla;
  ProgressReporter progress = MakeBrowserReporter(Owner(), *this, kClearingPage, CancelEvent());
  MutableTracksLeft().clear();

  std::uint64_t remaining = SettleErase(ie, EraseAutoComplete(&progress));
  // The stored passwords are always overwritten before they go.
  remaining += SettleErase(mozilla, DeleteNetscapeFormStorageData(Overwrite::On) == 1);
  static_cast<void>(PublishTracksLeft({{"items", remaining}}));
  rows_ = BuildDomainRows(results_, DomainSortColumn::ItemCount);
  return PluginResult::Finished;
}

namespace {

TemplateStore::Replacements FormsRow(const DomainRow& row) {
  return {{"#num#", std::to_string(row.itemCount)},
          {"#browser#", std::string(BrowserName(row.browser))},
          {"#name#", HtmlEscape(row.name)}};
}

}  // namespace

int BrowserFormsCleaner::ShowDetails(dom::Element element) {
  return ShowDomainPage(*this, element, [this] {
    return BuildDomainPage(*this, rows_, DomainPageKind::Details, FormsRow,
                           [](const DomainTotals& totals) {
                             return TemplateStore::Replacements{
                                 {"#num#", std::to_string(totals.rows)},
                                 {"#icon#", totals.anyRow ? LoadNoIcon() : LoadOkIcon()}};
                           });
  });
}

int BrowserFormsCleaner::ShowReport(dom::Element element) {
  return ShowDomainPage(*this, element, [this] {
    return BuildDomainPage(
        *this, rows_, DomainPageKind::Report, FormsRow, [](const DomainTotals& totals) {
          return TemplateStore::Replacements{{"#num#", std::to_string(totals.shownRows)}};
        });
  });
}

int BrowserFormsCleaner::OnCheckbox(std::string_view elementId, dom::Element element) {
  return OnDomainCheckbox(*this, elementId, element);
}

}  // namespace corvane
