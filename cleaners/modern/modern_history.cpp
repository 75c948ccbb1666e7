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
  failures_.Clear();
  for (const ModernProfile& profile : AllModernProfiles()) {
    for (const HistoryDatabase& database : HistoryDatabases(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(database.file);
      SqliteStore store;
      SqliteStatus status = OpenHistoryDatabase(store, database, SqliteAccess::Read);
      if (status == SqliteStatus::Missing) continue;
      BrowserScanResult scanned;
      if (status == SqliteStatus::Ok) {
        status = ScanHistoryDatabase(store, database.kind,
                                     [&](const std::string& key, DomainEntry entry) {
                                       scanned.AddEntry(key, std::move(entry));
                                       return !progress.IsCancelled();
                                     });
      }
      if (progress.IsCancelled()) return false;
      if (status != SqliteStatus::Ok) {
        // Half a database is no count: it counts as unread.
        failures_.Add(results, profile.browser, database.file, status);
        continue;
      }
      BrowserScanResult& result = results[profile.browser];
      result.browser = profile.browser;
      for (auto& [key, record] : scanned.domains) {
        for (DomainEntry& entry : record.entries) result.AddEntry(key, std::move(entry));
      }
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
void ModernHistory::EraseSessions(const ModernProfile& profile, BrowserScanResult& result,
                                  BrowserResults& results, ProgressReporter& progress,
                                  DeletionTally* tally, std::set<ModernFailures::Key>& failed) {
  const bool inUse = IsProfileInUse(profile);
  for (const SessionFile& session : SessionFiles(profile)) {
    if (progress.IsCancelled()) return;
    progress.Report(session.file);
    std::vector<std::string> urls;
    const SqliteStatus status = ReadSessionUrls(session, urls);
    if (status == SqliteStatus::Missing) continue;
    std::set<std::string> keys;
    for (const std::string& url : urls) keys.insert(UrlHostKey(url));
    const auto isSelected = [&](const std::string& key) {
      const auto record = result.domains.find(key);
      return record != result.domains.end() && record->second.status == DomainStatus::Selected;
    };
    const auto failSelected = [&](std::string_view why, bool unread) {
      for (const auto& [key, record] : result.domains) {
        if (record.status == DomainStatus::Selected && (unread || keys.contains(key))) {
          failed.emplace(profile.browser, key);
        }
      }
      failures_.Add(results, profile.browser, session.file, why);
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
  failures_.DropFrom(results);
  std::set<ModernFailures::Key> failed;
  for (const ModernProfile& profile : AllModernProfiles()) {
    const auto found = results.find(profile.browser);
    if (found == results.end()) continue;
    BrowserScanResult& result = found->second;
    const auto selected = [&](const std::string& key) {
      const auto record = result.domains.find(key);
      return record != result.domains.end() && record->second.status == DomainStatus::Selected;
    };
    for (const HistoryDatabase& database : HistoryDatabases(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(database.file);
      SqliteStore store;
      SqliteStatus status = IsProfileInUse(profile)
                                ? SqliteStatus::InUse
                                : OpenHistoryDatabase(store, database, SqliteAccess::Change);
      if (status == SqliteStatus::Missing) continue;
      HistoryErasePlan plan;
      bool planned = false;
      if (status == SqliteStatus::Ok) {
        status = PlanHistoryErase(store, database.kind, selected, plan);
        planned = status == SqliteStatus::Ok;
      }
      if (status == SqliteStatus::Ok) status = store.Change(plan.changes);
      if (status != SqliteStatus::Ok) {
        // Unread, every Selected host may have entries in it: none is known to be gone.
        for (const auto& [key, record] : result.domains) {
          if (record.status != DomainStatus::Selected) continue;
          if (!planned || plan.keys.contains(key)) {
            failed.emplace(profile.browser, key);
          }
        }
        failures_.Add(results, profile.browser, database.file, status);
        continue;
      }
      if (tally != nullptr && plan.items > 0) tally->AddDone({plan.items, 0});
    }
    EraseSessions(profile, result, results, progress, tally, failed);
    if (progress.IsCancelled()) return false;
    if (profile.browser != BrowserCode::Firefox) NoteSiteSettings(profile, results);
  }
  SettleModernErase(results, failed);
  return true;
}

}  // namespace corvane
