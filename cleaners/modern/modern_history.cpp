#include "cleaners/modern/modern_history.h"

#include <algorithm>

#include "cleaners/modern/history_database.h"
#include "cleaners/modern/session_file.h"
#include "engine/erase_file.h"

namespace corvane {

namespace {

std::string_view SessionStatusText(SqliteStatus status) {
  switch (status) {
    case SqliteStatus::Corrupt:
      return "damaged or unknown session file, left alone";
    case SqliteStatus::InUse:
      return "session in use by the browser, left alone";
    default:
      return SqliteStatusText(status);
  }
}

constexpr std::string_view kSessionKept = "session names hosts that stay, left whole";

}  // namespace

bool ModernHistory::Scan(BrowserResults& results, ProgressReporter& progress) {
  ModernScan scan(results, failures_, progress);
  for (const ModernProfile& profile : AllModernProfiles()) {
    for (const HistoryDatabase& database : HistoryDatabases(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(database.file);
      SqliteStore store;
      const bool scanned = scan.Store(
          profile.browser, database.file,
          [&] { return OpenHistoryDatabase(store, database, SqliteAccess::Read); },
          [&](const ModernEntrySink& sink) {
            return ScanHistoryDatabase(store, database.kind, sink);
          });
      if (!scanned) return false;
    }
    if (!ScanSessions(profile, results, progress)) return false;
    if (profile.browser != BrowserCode::Firefox) NoteSiteSettings(profile, results);
  }
  return true;
}

// Chromium rewrites "Preferences" whenever it runs, and part of it is signed: an edit from
// outside risks the user's settings. Its site settings name every site visited lately (site
// engagement, zoom, permissions), so they are told, on a row of their own, and left alone.
void ModernHistory::NoteSiteSettings(const ModernProfile& profile, BrowserResults& results) {
  std::vector<std::string> hosts;
  const std::string file = profile.folder + "Preferences";
  const SqliteStatus status = ReadSiteSettingHosts(profile, hosts);
  if (status == SqliteStatus::Missing || (status == SqliteStatus::Ok && hosts.empty())) return;
  if (status != SqliteStatus::Ok) {
    failures_.Add(results, profile.browser, file, "could not be read, left alone");
    return;
  }
  failures_.Add(results, profile.browser, file,
                "site settings of " + std::to_string(hosts.size()) +
                    " sites, left alone (clear them in the browser)");
}

bool ModernHistory::ScanSessions(const ModernProfile& profile, BrowserResults& results,
                                 ProgressReporter& progress) {
  for (const SessionFile& session : SessionFiles(profile)) {
    if (progress.IsCancelled()) return false;
    progress.Report(session.file);
    std::vector<std::string> urls;
    const SqliteStatus status = ReadSessionUrls(session, urls);
    if (status == SqliteStatus::Missing) continue;
    if (status != SqliteStatus::Ok) {
      failures_.Add(results, profile.browser, session.file, SessionStatusText(status));
      continue;
    }
    BrowserScanResult& result = results[profile.browser];
    result.browser = profile.browser;
    for (std::string& url : urls) {
      DomainEntry entry;
      entry.localFile = session.file;
      const std::string key = UrlHostKey(url);
      entry.url = std::move(url);
      result.AddEntry(key, std::move(entry));
    }
  }
  return true;
}

// A session file cannot be edited without its browser: it goes whole, overwritten, when every
// host it names is to go, and stays whole otherwise (its Selected hosts then stay too, Failed).
// One that names no web host is left alone: it holds nothing of anyone's history.
void ModernHistory::EraseSessions(const ModernProfile& profile, const BrowserScanResult& result,
                                  ModernErase& erase, ProgressReporter& progress,
                                  DeletionTally* tally) {
  const bool inUse = IsProfileInUse(profile);
  for (const SessionFile& session : SessionFiles(profile)) {
    if (progress.IsCancelled()) return;
    progress.Report(session.file);
    std::vector<std::string> urls;
    const SqliteStatus status = ReadSessionUrls(session, urls);
    if (status == SqliteStatus::Missing) continue;
    std::set<std::string, std::less<>> keys;
    for (const std::string& url : urls) keys.insert(UrlHostKey(url));
    const auto isSelected = [&](const std::string& key) {
      return ModernErase::IsSelected(result, key);
    };
    const auto failSelected = [&](std::string_view why, bool unread) {
      erase.Fail(profile.browser, session.file, why, unread, keys);
    };
    if (status != SqliteStatus::Ok) {
      failSelected(SessionStatusText(status), true);
      continue;
    }
    if (keys.empty() || std::none_of(keys.begin(), keys.end(), isSelected)) continue;
    if (!std::all_of(keys.begin(), keys.end(), isSelected)) {
      failSelected(kSessionKept, false);
      continue;
    }
    if (inUse) {
      failSelected(SessionStatusText(SqliteStatus::InUse), false);
      continue;
    }
    const EraseResult erased =
        EraseFile(session.file, Overwrite::On, WipePattern::WipeOnes, progress.AsCancelCheck());
    if (erased <= 0) {
      // Not deleted now (a failure, or only scheduled for the next start): not done.
      failSelected("could not be removed, left alone", false);
      continue;
    }
    if (tally != nullptr) {
      tally->AddDone({static_cast<std::uint32_t>(urls.size()), ErasedBytes(erased)});
    }
  }
}

bool ModernHistory::Erase(BrowserResults& results, ProgressReporter& progress,
                          DeletionTally* tally) {
  ModernErase erase(results, failures_, progress, tally);
  for (const ModernProfile& profile : AllModernProfiles()) {
    const BrowserScanResult* result = erase.ResultOf(profile.browser);
    if (result == nullptr) continue;
    const auto selected = [&](const std::string& key) {
      return ModernErase::IsSelected(*result, key);
    };
    for (const HistoryDatabase& database : HistoryDatabases(profile)) {
      SqliteStore store;
      const auto open = [&] {
        return IsProfileInUse(profile) ? SqliteStatus::InUse
                                       : OpenHistoryDatabase(store, database, SqliteAccess::Change);
      };
      const auto change = [&](ModernStoreChange& changed) {
        HistoryErasePlan plan;
        const SqliteStatus status = PlanHistoryErase(store, database.kind, selected, plan);
        changed.keys = std::move(plan.keys);
        changed.listed = status == SqliteStatus::Ok;
        if (status != SqliteStatus::Ok) return status;
        changed.items = plan.items;
        return store.Change(plan.changes);
      };
      if (!erase.Store(profile.browser, database.file, open, change)) return false;
    }
    EraseSessions(profile, *result, erase, progress, tally);
    if (progress.IsCancelled()) return false;
    if (profile.browser != BrowserCode::Firefox) NoteSiteSettings(profile, results);
  }
  erase.Settle();
  return true;
}

}  // namespace corvane
