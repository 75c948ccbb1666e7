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
  ModernScan scan(results, failures_, progress);
  for (const ModernProfile& profile : AllModernProfiles()) {
    if (progress.IsCancelled()) return false;
    progress.Report(profile.folder);
    for (const CookieStore& cookies : CookieStores(profile)) {
      SqliteStore store;
      const bool scanned = scan.Store(
          profile.browser, cookies.file,
          [&] { return OpenCookies(store, cookies, SqliteAccess::Read); },
          [&](const ModernEntrySink& sink) {
            return store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
              DomainEntry entry;
              entry.url = ColumnText(row, 1);
              const std::string key = HostKey(entry.url);
              return sink(key, std::move(entry));
            });
          });
      if (!scanned) return false;
    }
  }
  return true;
}

bool ModernCookies::Erase(BrowserResults& results, ProgressReporter& progress,
                          DeletionTally* tally) {
  ModernErase erase(results, failures_, progress, tally);
  for (const ModernProfile& profile : AllModernProfiles()) {
    const BrowserScanResult* result = erase.ResultOf(profile.browser);
    if (result == nullptr) continue;
    for (const CookieStore& cookies : CookieStores(profile)) {
      SqliteStore store;
      const auto open = [&] {
        const SqliteStatus status = OpenCookies(store, cookies, SqliteAccess::Change);
        // Opening changes nothing; a file the browser may hold is then left as it is.
        if (status == SqliteStatus::Ok && IsProfileInUse(profile)) return SqliteStatus::InUse;
        return status;
      };
      const auto change = [&](ModernStoreChange& changed) {
        std::vector<std::int64_t> rowids;
        const SqliteStatus status = store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
          std::string key = HostKey(ColumnText(row, 1));
          if (ModernErase::IsSelected(*result, key)) {
            rowids.push_back(sqlite3_column_int64(row, 0));
            changed.keys.insert(std::move(key));
          }
          return true;
        });
        changed.listed = status == SqliteStatus::Ok;
        if (status != SqliteStatus::Ok) return status;
        changed.items = static_cast<std::uint32_t>(rowids.size());
        return store.DeleteRows(cookies.table, rowids);
      };
      if (!erase.Store(profile.browser, cookies.file, open, change)) return false;
    }
  }
  erase.Settle();
  return true;
}

}  // namespace corvane
