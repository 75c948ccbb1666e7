#include "cleaners/modern/modern_cookies.h"

#include <cstdint>
#include <vector>

namespace corvane {

namespace {

struct CookieStore {
  std::string file;  // machine path
  std::string_view table;
  std::string_view hostColumn;
};

// Chromium moved its cookies to "Network\Cookies"; a profile upgraded in place may keep both.
std::vector<CookieStore> CookieStores(const ModernProfile& profile) {
  if (profile.browser == BrowserCode::Firefox) {
    return {{profile.folder + "cookies.sqlite", "moz_cookies", "host"}};
  }
  return {{profile.folder + "Network\\Cookies", "cookies", "host_key"},
          {profile.folder + "Cookies", "cookies", "host_key"}};
}

SqliteStatus OpenCookies(SqliteStore& store, const CookieStore& cookies, SqliteAccess access) {
  const SqliteStatus status = store.Open(cookies.file, access);
  if (status != SqliteStatus::Ok) return status;
  return store.CheckColumns(cookies.table, {cookies.hostColumn});
}

std::string HostQuery(const CookieStore& cookies) {
  return "SELECT rowid, \"" + std::string(cookies.hostColumn) + "\" FROM \"" +
         std::string(cookies.table) + "\"";
}

}  // namespace

bool ModernCookies::Scan(BrowserResults& results, ProgressReporter& progress) {
  failures_.Clear();
  for (const ModernProfile& profile : AllModernProfiles()) {
    if (progress.IsCancelled()) return false;
    progress.Report(profile.folder);
    for (const CookieStore& cookies : CookieStores(profile)) {
      SqliteStore store;
      SqliteStatus status = OpenCookies(store, cookies, SqliteAccess::Read);
      if (status == SqliteStatus::Missing) continue;
      BrowserScanResult scanned;
      if (status == SqliteStatus::Ok) {
        status = store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
          DomainEntry entry;
          entry.url = ColumnText(row, 1);
          const std::string key = HostKey(entry.url);
          scanned.AddEntry(key, std::move(entry));
          return !progress.IsCancelled();
        });
      }
      if (progress.IsCancelled()) return false;
      if (status != SqliteStatus::Ok) {
        // Half a table is no count: the database counts as unread.
        failures_.Add(results, profile.browser, cookies.file, status);
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

bool ModernCookies::Erase(BrowserResults& results, ProgressReporter& progress,
                          DeletionTally* tally) {
  failures_.DropFrom(results);
  std::set<ModernFailures::Key> failed;
  for (const ModernProfile& profile : AllModernProfiles()) {
    const auto found = results.find(profile.browser);
    if (found == results.end()) continue;
    BrowserScanResult& result = found->second;
    for (const CookieStore& cookies : CookieStores(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(cookies.file);
      SqliteStore store;
      SqliteStatus status = OpenCookies(store, cookies, SqliteAccess::Change);
      if (status == SqliteStatus::Missing) continue;
      // Opening changes nothing; a file the browser may hold is then left as it is.
      if (status == SqliteStatus::Ok && IsProfileInUse(profile)) status = SqliteStatus::InUse;
      std::vector<std::int64_t> rowids;
      std::set<std::string> keys;
      bool listed = false;
      if (status == SqliteStatus::Ok) {
        status = store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
          std::string key = HostKey(ColumnText(row, 1));
          const auto record = result.domains.find(key);
          if (record != result.domains.end() && record->second.status == DomainStatus::Selected) {
            rowids.push_back(sqlite3_column_int64(row, 0));
            keys.insert(std::move(key));
          }
          return true;
        });
        listed = status == SqliteStatus::Ok;
      }
      if (status == SqliteStatus::Ok) status = store.DeleteRows(cookies.table, rowids);
      if (status != SqliteStatus::Ok) {
        // Unread, every Selected domain may have rows in it: none of them is known to be gone.
        for (const auto& [key, record] : result.domains) {
          if (record.status == DomainStatus::Selected && (!listed || keys.contains(key))) {
            failed.emplace(profile.browser, key);
          }
        }
        failures_.Add(results, profile.browser, cookies.file, status);
        continue;
      }
      if (tally != nullptr && !rowids.empty()) {
        tally->AddDone({static_cast<std::uint32_t>(rowids.size()), 0});
      }
    }
  }
  SettleModernErase(results, failed);
  return true;
}

}  // namespace corvane
