#include "cleaners/modern/modern_history.h"

#include <algorithm>

#include "cleaners/modern/history_database.h"

namespace corvane {

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
  }
  return true;
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
          if (!planned || std::find(plan.keys.begin(), plan.keys.end(), key) != plan.keys.end()) {
            failed.emplace(profile.browser, key);
          }
        }
        failures_.Add(results, profile.browser, database.file, status);
        continue;
      }
      if (tally != nullptr && plan.items > 0) tally->AddDone({plan.items, 0});
    }
  }
  SettleModernErase(results, failed);
  return true;
}

}  // namespace corvane
