#pragma once
// The SQLite databases that hold what a user calls the history of today's browsers: Firefox's
// "places.sqlite" (visited pages), "permissions.sqlite" (what each visited site was allowed),
// and the Chromium family's "History" (visited pages, typed search terms, the downloads list),
// "Shortcuts" (address-bar input and the page it led to) and "Top Sites".
// Each is read into domain entries (one per page, with its visits as hits, or per download or
// permission), and an erase of some hosts is planned as one change of the database, run by
// SqliteStore::Change in a single transaction.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cleaners/modern/modern_profiles.h"
#include "cleaners/modern/sqlite_store.h"
#include "engine/browser_scan_result.h"

namespace corvane {

enum class HistoryKind {
  FirefoxPlaces,
  FirefoxPermissions,
  ChromiumHistory,
  ChromiumShortcuts,
  ChromiumTopSites,
};

struct HistoryDatabase {
  std::string file;  // machine path
  HistoryKind kind = HistoryKind::FirefoxPlaces;
};

// The history databases a profile may hold (present or not).
[[nodiscard]] std::vector<HistoryDatabase> HistoryDatabases(const ModernProfile& profile);

// The domain key a stored URL is filed under: its host key for web addresses; for any other
// address with a scheme, the scheme and ":" ("file:", "about:"), so that local files a browser
// opened are history too and never mix with a host. Empty for text that is no URL.
[[nodiscard]] std::string HistoryKey(std::string_view url);

// Microseconds since 1970 (Firefox) or since 1601 (Chromium) as a FILETIME; 0 when unset.
[[nodiscard]] std::uint64_t UnixMicrosToFileTime(std::int64_t micros);
[[nodiscard]] std::uint64_t WindowsMicrosToFileTime(std::int64_t micros);

// A stored count or size as an entry holds it: 0 when negative, at most the largest 32-bit value.
[[nodiscard]] std::uint32_t Clamp32(std::int64_t value);

// Opens the database and checks the tables and columns every scan and erase of its kind needs.
[[nodiscard]] SqliteStatus OpenHistoryDatabase(SqliteStore& store, const HistoryDatabase& database,
                                               SqliteAccess access);

// Hands every entry of the database to `entry` with its key; the answer false stops (cancel).
using HistoryEntrySink = std::function<bool(const std::string& key, DomainEntry entry)>;
[[nodiscard]] SqliteStatus ScanHistoryDatabase(SqliteStore& store, HistoryKind kind,
                                               const HistoryEntrySink& entry);

// Hands a visited page to `entry`: a row of its URL, its visit count and its last visit in
// microseconds (as `toFileTime` reads them). A URL that is no address is passed over (true).
[[nodiscard]] bool SinkVisitedPage(sqlite3_stmt* row,
                                   std::uint64_t (*toFileTime)(std::int64_t micros),
                                   const HistoryEntrySink& entry);

// What an erase of the selected keys changes in one database.
struct HistoryErasePlan {
  std::vector<SqliteChange> changes;
  std::set<std::string, std::less<>> keys;  // the selected keys the database holds
  std::uint32_t items = 0;                  // entries that go (visits, downloads, permissions)
};

using HistoryKeySelected = std::function<bool(const std::string& key)>;
[[nodiscard]] SqliteStatus PlanHistoryErase(SqliteStore& store, HistoryKind kind,
                                            const HistoryKeySelected& selected,
                                            HistoryErasePlan& plan);

// Whether the table has every column named (a missing table has none).
[[nodiscard]] bool HasColumns(SqliteStore& store, std::string_view table,
                              std::initializer_list<std::string_view> columns);

}  // namespace corvane
