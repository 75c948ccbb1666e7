#include "cleaners/modern/history_database.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <span>

#include "cleaners/modern/chromium_history.h"
#include "cleaners/modern/firefox_places.h"
#include "cleaners/modern/modern_store.h"

namespace corvane {

namespace {

// 100-ns ticks from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

enum class TimeBase { None, UnixMillis, WindowsMicros };

// A table of a database whose rows each name one address (or origin, or bare host): counted and
// deleted row by row.
struct RowTable {
  const char* table;
  const char* column;
  bool bareHost;       // the column holds a host, not a URL
  const char* detail;  // a column shown after the address, or nullptr
  const char* time;    // the row's time, or nullptr
  TimeBase base;
};

// Firefox keeps, beside the site permissions, the older host table (for a downgrade) and when
// the user last interacted with each origin. Chromium's "Shortcuts" map what was typed into the
// address bar to the address chosen; "Top Sites" lists the most visited.
constexpr RowTable kPermissionTables[] = {
    {"moz_perms", "origin", false, "type", "modificationTime", TimeBase::UnixMillis},
    {"moz_hosts", "host", true, "type", "modificationTime", TimeBase::UnixMillis},
    {"moz_origin_interactions", "origin", false, nullptr, nullptr, TimeBase::None}};
constexpr RowTable kShortcutTables[] = {
    {"omni_box_shortcuts", "url", false, "text", "last_access_time", TimeBase::WindowsMicros}};
constexpr RowTable kTopSiteTables[] = {
    {"top_sites", "url", false, nullptr, nullptr, TimeBase::None}};

std::span<const RowTable> RowTables(HistoryKind kind) {
  switch (kind) {
    case HistoryKind::FirefoxPermissions:
      return kPermissionTables;
    case HistoryKind::ChromiumShortcuts:
      return kShortcutTables;
    case HistoryKind::ChromiumTopSites:
      return kTopSiteTables;
    default:
      return {};
  }
}

std::string RowKey(const RowTable& table, std::string_view value) {
  if (table.bareHost) return HostKey(value);
  // An origin may carry origin attributes after "^" ("https://a.test^userContextId=1").
  return HistoryKey(value.substr(0, value.find('^')));
}

std::string RowQuery(const RowTable& table) {
  return std::string("SELECT rowid, \"") + table.column + "\", " +
         (table.detail != nullptr ? std::string("\"") + table.detail + "\"" : "NULL") + ", " +
         (table.time != nullptr ? std::string("\"") + table.time + "\"" : "NULL") + " FROM \"" +
         table.table + "\"";
}

// The first table of the kind is what makes the database one of its kind; the others are
// looked at when present.
SqliteStatus CheckRowTables(SqliteStore& store, std::span<const RowTable> tables) {
  const RowTable& first = tables.front();
  return first.time != nullptr ? store.CheckColumns(first.table, {first.column, first.time})
                               : store.CheckColumns(first.table, {first.column});
}

bool HasRowTable(SqliteStore& store, const RowTable& table) {
  return HasColumns(store, table.table, {table.column}) &&
         (table.detail == nullptr || HasColumns(store, table.table, {table.detail})) &&
         (table.time == nullptr || HasColumns(store, table.table, {table.time}));
}

SqliteStatus ScanRowTables(SqliteStore& store, std::span<const RowTable> tables,
                           const HistoryEntrySink& sink) {
  for (const RowTable& table : tables) {
    if (!HasRowTable(store, table)) continue;
    bool stopped = false;
    const SqliteStatus status = store.Scan(RowQuery(table), [&](sqlite3_stmt* row) {
      const std::string key = RowKey(table, ColumnText(row, 1));
      if (key.empty()) return true;
      DomainEntry entry;
      entry.url = ColumnText(row, 1);
      if (const std::string_view detail = ColumnText(row, 2); !detail.empty()) {
        entry.url += " (" + std::string(detail) + ")";
      }
      const std::int64_t time = sqlite3_column_int64(row, 3);
      entry.lastAccess = table.base == TimeBase::UnixMillis      ? UnixMicrosToFileTime(time * 1000)
                         : table.base == TimeBase::WindowsMicros ? WindowsMicrosToFileTime(time)
                                                                 : 0;
      stopped = !sink(key, std::move(entry));
      return !stopped;
    });
    if (status != SqliteStatus::Ok || stopped) return status;
  }
  return SqliteStatus::Ok;
}

SqliteStatus PlanRowTablesErase(SqliteStore& store, std::span<const RowTable> tables,
                                const HistoryKeySelected& selected, HistoryErasePlan& plan) {
  for (const RowTable& table : tables) {
    if (!HasRowTable(store, table)) continue;
    SqliteChange change{"DELETE FROM \"" + std::string(table.table) +
                            "\" WHERE rowid IN (SELECT value FROM json_each(?1))",
                        {}};
    const SqliteStatus status = store.Scan(RowQuery(table), [&](sqlite3_stmt* row) {
      const std::string key = RowKey(table, ColumnText(row, 1));
      if (!key.empty() && selected(key)) {
        change.ids.push_back(sqlite3_column_int64(row, 0));
        plan.keys.insert(key);
      }
      return true;
    });
    if (status != SqliteStatus::Ok) return status;
    plan.items += static_cast<std::uint32_t>(change.ids.size());
    plan.changes.push_back(std::move(change));
  }
  return SqliteStatus::Ok;
}

}  // namespace

std::vector<HistoryDatabase> HistoryDatabases(const ModernProfile& profile) {
  if (profile.browser == BrowserCode::Firefox) {
    return {{profile.folder + "places.sqlite", HistoryKind::FirefoxPlaces},
            {profile.folder + "permissions.sqlite", HistoryKind::FirefoxPermissions}};
  }
  return {{profile.folder + "History", HistoryKind::ChromiumHistory},
          {profile.folder + "Shortcuts", HistoryKind::ChromiumShortcuts},
          {profile.folder + "Top Sites", HistoryKind::ChromiumTopSites}};
}

std::string HistoryKey(std::string_view url) {
  std::string key = UrlHostKey(url);
  if (!key.empty()) return key;
  const std::size_t colon = url.find(':');
  if (colon == 0 || colon == std::string_view::npos) return {};
  std::string scheme(url.substr(0, colon));
  const bool valid = std::isalpha(static_cast<unsigned char>(scheme[0])) != 0 &&
                     std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
                       return std::isalnum(c) != 0 || c == '+' || c == '-' || c == '.';
                     });
  if (!valid) return {};
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // A web address without a host ("http:foo") is filed with the scheme too.
  return scheme + ":";
}

std::uint64_t UnixMicrosToFileTime(std::int64_t micros) {
  if (micros <= 0) return 0;
  return static_cast<std::uint64_t>(micros) * 10 + kUnixEpochTicks;
}

std::uint64_t WindowsMicrosToFileTime(std::int64_t micros) {
  if (micros <= 0) return 0;
  return static_cast<std::uint64_t>(micros) * 10;
}

std::uint32_t Clamp32(std::int64_t value) {
  if (value <= 0) return 0;
  return value > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(value);
}

bool SinkVisitedPage(sqlite3_stmt* row, std::uint64_t (*toFileTime)(std::int64_t micros),
                     const HistoryEntrySink& entry) {
  const std::string key = HistoryKey(ColumnText(row, 0));
  if (key.empty()) return true;
  DomainEntry page;
  page.url = ColumnText(row, 0);
  page.hits = Clamp32(sqlite3_column_int64(row, 1));
  page.lastAccess = toFileTime(sqlite3_column_int64(row, 2));
  return entry(key, std::move(page));
}

bool HasColumns(SqliteStore& store, std::string_view table,
                std::initializer_list<std::string_view> columns) {
  return store.CheckColumns(table, columns) == SqliteStatus::Ok;
}

SqliteStatus OpenHistoryDatabase(SqliteStore& store, const HistoryDatabase& database,
                                 SqliteAccess access) {
  if (const SqliteStatus status = store.Open(database.file, access); status != SqliteStatus::Ok) {
    return status;
  }
  switch (database.kind) {
    case HistoryKind::FirefoxPlaces:
      return CheckFirefoxPlaces(store);
    case HistoryKind::ChromiumHistory:
      return CheckChromiumHistory(store);
    default:
      return CheckRowTables(store, RowTables(database.kind));
  }
  return SqliteStatus::Failed;
}

SqliteStatus ScanHistoryDatabase(SqliteStore& store, HistoryKind kind,
                                 const HistoryEntrySink& entry) {
  switch (kind) {
    case HistoryKind::FirefoxPlaces:
      return ScanFirefoxPlaces(store, entry);
    case HistoryKind::ChromiumHistory:
      return ScanChromiumHistory(store, entry);
    default:
      return ScanRowTables(store, RowTables(kind), entry);
  }
  return SqliteStatus::Failed;
}

SqliteStatus PlanHistoryErase(SqliteStore& store, HistoryKind kind,
                              const HistoryKeySelected& selected, HistoryErasePlan& plan) {
  switch (kind) {
    case HistoryKind::FirefoxPlaces:
      return PlanFirefoxPlacesErase(store, selected, plan);
    case HistoryKind::ChromiumHistory:
      return PlanChromiumHistoryErase(store, selected, plan);
    default:
      return PlanRowTablesErase(store, RowTables(kind), selected, plan);
  }
  return SqliteStatus::Failed;
}

}  // namespace corvane
