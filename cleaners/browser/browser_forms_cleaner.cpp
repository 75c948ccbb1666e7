#include "cleaners/browser/browser_forms_cleaner.h"

#include "cleaners/ie/ie_autocomplete.h"
#include "cleaners/mozilla/netscape_forms.h"
#include "engine/domain_pages.h"
#include "ui/html_escape.h"

namespace corvane {

BrowserFormsCleaner::BrowserFormsCleaner(PluginOwner& owner)
    : BrowserCleaner("BrowserForms", "Browsing Forms Data", owner) {}

PluginResult BrowserFormsCleaner::ScanTracks() {
  ProgressReporter progress = BeginScan();

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

  const std::uint64_t items = ie.domains.size() + mozilla.domains.size();
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  return Finish({{"items", items}}, DomainSortColumn::ItemCount);
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
  ProgressReporter progress = BeginErase();
  std::uint64_t remaining =
      SettleErase(results_[BrowserCode::InternetExplorer], EraseAutoComplete(&progress));
  // The stored passwords are always overwritten before they go.
  remaining += SettleErase(results_[BrowserCode::Mozilla],
                           DeleteNetscapeFormStorageData(Overwrite::On) == 1);
  return Finish({{"items", remaining}}, DomainSortColumn::ItemCount);
}

namespace {

TemplateStore::Replacements FormsRow(const DomainRow& row) {
  return {{"#num#", std::to_string(row.itemCount)},
          {"#browser#", std::string(BrowserName(row.browser))},
          {"#name#", HtmlEscape(row.name)}};
}

}  // namespace

int BrowserFormsCleaner::ShowDetails(dom::Element element) {
  return ShowRows(element, DomainPageKind::Details, FormsRow);
}

int BrowserFormsCleaner::ShowReport(dom::Element element) {
  return ShowRows(element, DomainPageKind::Report, FormsRow);
}

}  // namespace corvane
