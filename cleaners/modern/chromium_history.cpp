#include "cleaners/modern/chromium_history.h"

#include <algorithm>

#include "cleaners/modern/modern_store.h"

namespace corvane {

namespace {

// A download is filed under the address it was asked for (the first of its chain of
// redirects), or the page it started from when it has no chain.
constexpr char kDownloadQuery[] =
    "SELECT d.id, coalesce((SELECT c.url FROM downloads_url_chains c WHERE c.id = d.id "
    "ORDER BY c.chain_index LIMIT 1), d.tab_url), d.start_time, d.received_bytes "
    "FROM downloads d";

// Whether the table holds a row: the tables keyed by visits are often empty, and a delete from
// one that is not still looks up every visit of the addresses.
bool HasRows(SqliteStore& store, std::string_view table) {
  bool found = false;
  const SqliteStatus status =
      store.Scan("SELECT 1 FROM \"" + std::string(table) + "\" LIMIT 1", [&](sqlite3_stmt*) {
        found = true;
        return false;
      });
  return status != SqliteStatus::Ok || found;
}

bool HasDownloads(SqliteStore& store) {
  return HasColumns(store, "downloads", {"id", "tab_url", "start_time", "received_bytes"}) &&
         HasColumns(store, "downloads_url_chains", {"id", "chain_index", "url"});
}

}  // namespace

SqliteStatus CheckChromiumHistory(SqliteStore& store) {
  if (const SqliteStatus status = store.CheckColumns("urls", {"id", "url", "last_visit_time"});
      status != SqliteStatus::Ok) {
    return status;
  }
  return store.CheckColumns("visits", {"id", "url", "visit_time"});
}

SqliteStatus ScanChromiumHistory(SqliteStore& store, const HistoryEntrySink& sink) {
  SqliteStatus status = store.Scan(
      // The visits are counted through their address index alone; the last visit time is the
      // one Chromium keeps on the address.
      "SELECT u.url, count(v.id), u.last_visit_time FROM urls u "
      "LEFT JOIN visits v ON v.url = u.id GROUP BY u.id",
      [&](sqlite3_stmt* row) { return SinkVisitedPage(row, WindowsMicrosToFileTime, sink); });
  if (status != SqliteStatus::Ok || !HasDownloads(store)) return status;
  return store.Scan(kDownloadQuery, [&](sqlite3_stmt* row) {
    const std::string key = HistoryKey(ColumnText(row, 1));
    if (key.empty()) return true;
    DomainEntry entry;
    entry.url = ColumnText(row, 1);
    entry.lastAccess = WindowsMicrosToFileTime(sqlite3_column_int64(row, 2));
    entry.size = Clamp32(sqlite3_column_int64(row, 3));
    return sink(key, std::move(entry));
  });
}

SqliteStatus PlanChromiumHistoryErase(SqliteStore& store, const HistoryKeySelected& selected,
                                      HistoryErasePlan& plan) {
  std::vector<std::int64_t> urls;
  SqliteStatus status = store.Scan(
      "SELECT u.id, u.url, count(v.id) FROM urls u LEFT JOIN visits v ON v.url = u.id "
      "GROUP BY u.id",
      [&](sqlite3_stmt* row) {
        const std::string key = HistoryKey(ColumnText(row, 1));
        if (key.empty() || !selected(key)) return true;
        urls.push_back(sqlite3_column_int64(row, 0));
        plan.items += std::max<std::uint32_t>(1, Clamp32(sqlite3_column_int64(row, 2)));
        plan.keys.insert(key);
        return true;
      });
  if (status != SqliteStatus::Ok) return status;

  // Visited-link records of a selected address, and those made while on a selected site.
  std::vector<std::int64_t> links;
  const bool hasLinks = HasColumns(store, "visited_links", {"id", "link_url_id", "top_level_url"});
  if (hasLinks) {
    status = store.Scan("SELECT id, top_level_url FROM visited_links", [&](sqlite3_stmt* row) {
      const std::string key = HistoryKey(ColumnText(row, 1));
      if (!key.empty() && selected(key)) links.push_back(sqlite3_column_int64(row, 0));
      return true;
    });
    if (status != SqliteStatus::Ok) return status;
  }
  std::vector<std::int64_t> downloads;
  const bool hasDownloads = HasDownloads(store);
  if (hasDownloads) {
    status = store.Scan(kDownloadQuery, [&](sqlite3_stmt* row) {
      const std::string key = HistoryKey(ColumnText(row, 1));
      if (key.empty() || !selected(key)) return true;
      downloads.push_back(sqlite3_column_int64(row, 0));
      ++plan.items;
      plan.keys.insert(key);
      return true;
    });
    if (status != SqliteStatus::Ok) return status;
  }

  auto add = [&](std::string sql, const std::vector<std::int64_t>& ids) {
    plan.changes.push_back({std::move(sql), ids});
  };
  // Rows keyed by a visit of the address, before the visits themselves.
  constexpr std::string_view kVisitsOf =
      " IN (SELECT id FROM visits WHERE url IN (SELECT value FROM json_each(?1)))";
  for (const auto& [table, column] : {std::pair{"visit_source", "id"},
                                      {"content_annotations", "visit_id"},
                                      {"context_annotations", "visit_id"},
                                      {"clusters_and_visits", "visit_id"},
                                      {"cluster_visit_duplicates", "visit_id"},
                                      {"cluster_visit_duplicates", "duplicate_visit_id"}}) {
    if (HasColumns(store, table, {column}) && HasRows(store, table)) {
      add("DELETE FROM " + std::string(table) + " WHERE " + column + std::string(kVisitsOf), urls);
    }
  }
  if (HasColumns(store, "journey_history_entries", {"visit_timestamp_micros"}) &&
      HasRows(store, "journey_history_entries")) {
    add("DELETE FROM journey_history_entries WHERE visit_timestamp_micros IN "
        "(SELECT visit_time FROM visits WHERE url IN (SELECT value FROM json_each(?1)))",
        urls);
  }
  add("DELETE FROM visits WHERE url IN (SELECT value FROM json_each(?1))", urls);
  if (HasColumns(store, "keyword_search_terms", {"url_id"})) {
    add("DELETE FROM keyword_search_terms WHERE url_id IN (SELECT value FROM json_each(?1))", urls);
  }
  if (HasColumns(store, "segments", {"id", "url_id"})) {
    if (HasColumns(store, "segment_usage", {"segment_id"})) {
      add("DELETE FROM segment_usage WHERE segment_id IN "
          "(SELECT id FROM segments WHERE url_id IN (SELECT value FROM json_each(?1)))",
          urls);
    }
    add("DELETE FROM segments WHERE url_id IN (SELECT value FROM json_each(?1))", urls);
  }
  if (hasLinks) {
    add("DELETE FROM visited_links WHERE link_url_id IN (SELECT value FROM json_each(?1))", urls);
    add("DELETE FROM visited_links WHERE id IN (SELECT value FROM json_each(?1))", links);
  }
  add("DELETE FROM urls WHERE id IN (SELECT value FROM json_each(?1))", urls);
  // Clusters left without a visit are empty groupings of what went.
  if (HasColumns(store, "clusters", {"cluster_id"}) &&
      HasColumns(store, "clusters_and_visits", {"cluster_id"})) {
    plan.changes.push_back(
        {"DELETE FROM clusters WHERE cluster_id NOT IN "
         "(SELECT cluster_id FROM clusters_and_visits)",
         {}});
    if (HasColumns(store, "cluster_keywords", {"cluster_id"})) {
      plan.changes.push_back(
          {"DELETE FROM cluster_keywords WHERE cluster_id NOT IN "
           "(SELECT cluster_id FROM clusters)",
           {}});
    }
  }
  if (hasDownloads) {
    add("DELETE FROM downloads_url_chains WHERE id IN (SELECT value FROM json_each(?1))",
        downloads);
    if (HasColumns(store, "downloads_slices", {"download_id"})) {
      add("DELETE FROM downloads_slices WHERE download_id IN (SELECT value FROM json_each(?1))",
          downloads);
    }
    add("DELETE FROM downloads WHERE id IN (SELECT value FROM json_each(?1))", downloads);
  }
  return SqliteStatus::Ok;
}

}  // namespace corvane
