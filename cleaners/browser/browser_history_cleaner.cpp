#include "cleaners/browser/browser_history_cleaner.h"

#include <ctime>

#include "cleaners/ie/ie_typed_urls.h"
#include "cleaners/ie/ie_url_cache.h"
#include "cleaners/mozilla/netscape_history.h"
#include "engine/domain_pages.h"
#include "engine/file_set.h"
#include "platform/shell_folders.h"
#include "ui/html_escape.h"

namespace corvane {

namespace {

// 100-ns ticks from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

// The local time of a FILETIME; false when the calendar cannot show it.
bool LocalTime(std::uint64_t fileTime, std::tm& local) {
  if (fileTime < kUnixEpochTicks) return false;
  const auto seconds = static_cast<std::time_t>((fileTime - kUnixEpochTicks) / kTicksPerSecond);
  return localtime_r(&seconds, &local) != nullptr;
}

std::string Format(const std::tm& local, const char* format) {
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

// The page names of a result's key: the typed-URL list is named apart.
std::string DetailsBrowser(BrowserCode code) {
  return code == BrowserCode::TypedUrls ? "IE URLs" : std::string(BrowserName(code));
}

std::string ReportBrowser(BrowserCode code) {
  return code == BrowserCode::TypedUrls ? "Address Bar History" : std::string(BrowserName(code));
}

std::string Hits(const DomainRow& row) {
  return row.hitTotal == 0 ? "NA" : std::to_string(row.hitTotal);
}

}  // namespace

std::string HistoryDetailsDate(std::uint64_t fileTime) {
  if (fileTime == 0) return "NA";
  std::tm local{};
  if (!LocalTime(fileTime, local)) return "Invalid DateTime";
  return Format(local, "%x %X");
}

std::string HistoryReportDate(std::uint64_t fileTime) {
  if (fileTime == 0) return "NA";
  std::tm local{};
  if (!LocalTime(fileTime, local)) return "NA";
  return Format(local, "%d-%b-%y %H:%M");
}

BrowserHistoryCleaner::BrowserHistoryCleaner(PluginOwner& owner)
    : BrowserCleaner("BrowserHistory", "Browsing History", owner) {}

PluginResult BrowserHistoryCleaner::ScanTracks() {
  ProgressReporter progress = BeginScan();

  BrowserScanResult ie;
  if (const PluginResult answer = ScanUrlCache(UrlCacheMode::History, ie, progress);
      answer != PluginResult::Finished) {
    return answer;
  }

  // Without the typed-URL key nothing was typed (most prefixes never ran Internet Explorer):
  // the scan goes on to the Mozilla history.
  BrowserScanResult typed;
  typed.browser = BrowserCode::TypedUrls;
  if (ScanTypedUrls(typed) != PluginResult::Finished) typed.domains.clear();
  typed.browser = BrowserCode::TypedUrls;
  if (progress.IsCancelled()) return PluginResult::Cancelled;

  BrowserScanResult mozilla;
  mozilla.browser = BrowserCode::Mozilla;
  const int scanned = GetNetscapeHistory(mozilla, progress);
  if (progress.IsCancelled()) return PluginResult::Cancelled;
  if (scanned != 1) return PluginResult::Failed;

  BrowserResults modern;
  if (!modern_.Scan(modern, progress)) return PluginResult::Cancelled;

  results_ = std::move(modern);
  results_[BrowserCode::InternetExplorer] = std::move(ie);
  results_[BrowserCode::Mozilla] = std::move(mozilla);
  results_[BrowserCode::TypedUrls] = std::move(typed);
  const std::uint64_t items = results_[BrowserCode::InternetExplorer].domains.size() +
                              results_[BrowserCode::Mozilla].domains.size() +
                              results_[BrowserCode::TypedUrls].domains.size() +
                              CountModernDomains();
  return Finish({{"items", items}}, DomainSortColumn::HitTotal);
}

PluginResult BrowserHistoryCleaner::EraseInternetExplorer(BrowserScanResult& result,
                                                          ProgressReporter& progress,
                                                          std::uint64_t& remaining) {
  for (auto& [key, record] : result.domains) record.status = DomainStatus::Selected;
  const PluginResult answer = UpdateIECache(result, false, &progress, &Tally());
  if (answer != PluginResult::Finished) return answer;
  remaining = RemainingDomains(result);
  // The daily and weekly history files that no entry names any more.
  if (const auto folder = SHGetSpecialFolderPathW(CSIDL_HISTORY, FolderCreation::MustExist)) {
    static_cast<void>(EraseFileSetTree(*folder, {}, "*", Overwrite::On, WipePattern::WipeOnes,
                                       progress.AsCancelCheck(), &Tally()));
  }
  return PluginResult::Finished;
}

std::uint64_t BrowserHistoryCleaner::EraseMozilla(BrowserScanResult& result) {
  std::uint64_t bytes = 0;
  const bool erased = DeleteNetscapeHistory(bytes) == 1;
  TallyRecord done{0, bytes};
  for (auto& [key, record] : result.domains) {
    record.status = erased ? DomainStatus::Erased : DomainStatus::Failed;
    done.items += record.itemCount;
  }
  if (!erased) return result.domains.size();
  Tally().AddDone(done);
  return 0;
}

std::uint64_t BrowserHistoryCleaner::CountModernDomains() const {
  std::uint64_t domains = 0;
  for (const auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    for (const auto& [key, record] : result.domains) {
      if (!modern_.IsFailure(browser, key) && record.status != DomainStatus::Erased) ++domains;
    }
  }
  return domains;
}

bool BrowserHistoryCleaner::EraseModern(ProgressReporter& progress, std::uint64_t& remaining) {
  for (auto& [browser, result] : results_) {
    if (browser < BrowserCode::Firefox) continue;
    for (auto& [key, record] : result.domains) {
      if (!modern_.IsFailure(browser, key)) record.status = DomainStatus::Selected;
    }
  }
  if (!modern_.Erase(results_, progress, &Tally())) return false;
  remaining += CountModernDomains();
  return true;
}

PluginResult BrowserHistoryCleaner::EraseTracks() {
  ProgressReporter progress = BeginErase();
  BrowserScanResult& typed = results_[BrowserCode::TypedUrls];
  typed.browser = BrowserCode::TypedUrls;

  std::uint64_t remaining = 0;
  if (const PluginResult answer =
          EraseInternetExplorer(results_[BrowserCode::InternetExplorer], progress, remaining);
      answer != PluginResult::Finished) {
    return answer;
  }
  static_cast<void>(EraseTypedUrls(typed));
  remaining += RemainingDomains(typed);
  remaining += EraseMozilla(results_[BrowserCode::Mozilla]);
  if (!EraseModern(progress, remaining)) return PluginResult::Cancelled;
  return Finish({{"items", remaining}}, DomainSortColumn::HitTotal);
}

int BrowserHistoryCleaner::ShowDetails(dom::Element element) {
  return ShowRows(element, DomainPageKind::Details, [](const DomainRow& row) {
    return TemplateStore::Replacements{{"#hitr#", Hits(row)},
                                       {"#browser#", DetailsBrowser(row.browser)},
                                       {"#date#", HistoryDetailsDate(row.lastAccess)},
                                       {"#name#", HtmlEscapeName(row.name)}};
  });
}

int BrowserHistoryCleaner::ShowReport(dom::Element element) {
  return ShowRows(element, DomainPageKind::Report, [](const DomainRow& row) {
    return TemplateStore::Replacements{{"#hitr#", Hits(row)},
                                       {"#browser#", ReportBrowser(row.browser)},
                                       {"#date#", HistoryReportDate(row.lastAccess)},
                                       {"#name#", HtmlEscapeName(row.name)}};
  });
}

}  // namespace corvane
