#include "cleaners/modern/firefox_places.h"

#include <set>

#include "cleaners/modern/modern_store.h"

namespace corvane {

SqliteStatus CheckFirefoxPlaces(SqliteStore& store) {
  if (const SqliteStatus status =
          store.CheckColumns("moz_places", {"id", "url", "foreign_count", "visit_count"});
      status != SqliteStatus::Ok) {
    return status;
  }
  return store.CheckColumns("moz_historyvisits", {"id", "place_id", "visit_date"});
}

SqliteStatus ScanFirefoxPlaces(SqliteStore& store, const HistoryEntrySink& sink) {
  // Every visited page, and every page nothing keeps (a page only a bookmark keeps, never
  // visited, is no history).
  return store.Scan(
      "SELECT p.url, count(v.id), max(v.visit_date) FROM moz_places p "
      "LEFT JOIN moz_historyvisits v ON v.place_id = p.id GROUP BY p.id "
      "HAVING count(v.id) > 0 OR p.foreign_count = 0",
      [&](sqlite3_stmt* row) { return SinkVisitedPage(row, UnixMicrosToFileTime, sink); });
}

SqliteStatus PlanFirefoxPlacesErase(SqliteStore& store, const HistoryKeySelected& selected,
                                    HistoryErasePlan& plan) {
  const bool origins =
      HasColumns(store, "moz_places", {"origin_id"}) && HasColumns(store, "moz_origins", {"id"});
  std::vector<std::int64_t> pages;    // every selected page
  std::vector<std::int64_t> deleted;  // those nothing else keeps
  std::vector<std::int64_t> kept;
  std::set<std::int64_t> originIds;
  const SqliteStatus status = store.Scan(
      std::string("SELECT p.id, p.url, p.foreign_count, count(v.id), ") +
          (origins ? "p.origin_id" : "NULL") +
          " FROM moz_places p LEFT JOIN moz_historyvisits v ON v.place_id = p.id GROUP BY p.id",
      [&](sqlite3_stmt* row) {
        const std::string key = HistoryKey(ColumnText(row, 1));
        if (key.empty() || !selected(key)) return true;
        const std::int64_t id = sqlite3_column_int64(row, 0);
        const std::int64_t visits = sqlite3_column_int64(row, 3);
        const bool keep = sqlite3_column_int64(row, 2) > 0;
        if (keep && visits == 0) return true;  // a bookmark, not history
        plan.keys.insert(key);
        plan.items += Clamp32(visits);
        pages.push_back(id);
        if (keep) {
          kept.push_back(id);
        } else {
          deleted.push_back(id);
          if (sqlite3_column_type(row, 4) != SQLITE_NULL) {
            originIds.insert(sqlite3_column_int64(row, 4));
          }
        }
        return true;
      });
  if (status != SqliteStatus::Ok) return status;

  auto add = [&](std::string sql, const std::vector<std::int64_t>& ids) {
    plan.changes.push_back({std::move(sql), ids});
  };
  // Children first: rows keyed by a visit, the visits, then what hangs on a page.
  if (HasColumns(store, "moz_historyvisits_extra", {"visit_id"})) {
    add("DELETE FROM moz_historyvisits_extra WHERE visit_id IN "
        "(SELECT id FROM moz_historyvisits WHERE place_id IN (SELECT value FROM json_each(?1)))",
        pages);
  }
  add("DELETE FROM moz_historyvisits WHERE place_id IN (SELECT value FROM json_each(?1))", pages);
  // What was typed into the address bar to reach the page.
  if (HasColumns(store, "moz_inputhistory", {"place_id"})) {
    add("DELETE FROM moz_inputhistory WHERE place_id IN (SELECT value FROM json_each(?1))", pages);
  }
  if (HasColumns(store, "moz_places_metadata", {"place_id", "referrer_place_id"})) {
    add("DELETE FROM moz_places_metadata WHERE place_id IN (SELECT value FROM json_each(?1)) OR "
        "referrer_place_id IN (SELECT value FROM json_each(?1))",
        pages);
    if (HasColumns(store, "moz_places_metadata", {"search_query_id"}) &&
        HasColumns(store, "moz_places_metadata_search_queries", {"id"})) {
      // Search terms no interaction record refers to any more: run once, after the records.
      plan.changes.push_back(
          {"DELETE FROM moz_places_metadata_search_queries WHERE id NOT IN (SELECT "
           "search_query_id FROM moz_places_metadata WHERE search_query_id IS NOT NULL)",
           {}});
    }
  }
  if (HasColumns(store, "moz_newtab_shortcuts_interaction", {"place_id"})) {
    add("DELETE FROM moz_newtab_shortcuts_interaction WHERE place_id IN (SELECT value FROM "
        "json_each(?1))",
        pages);
  }
  // Page annotations and extra sync data belong to the page: they go with it.
  if (HasColumns(store, "moz_annos", {"place_id"})) {
    add("DELETE FROM moz_annos WHERE place_id IN (SELECT value FROM json_each(?1))", deleted);
  }
  if (HasColumns(store, "moz_places_extra", {"place_id"})) {
    add("DELETE FROM moz_places_extra WHERE place_id IN (SELECT value FROM json_each(?1))",
        deleted);
  }
  add("DELETE FROM moz_places WHERE id IN (SELECT value FROM json_each(?1))", deleted);
  // A kept page shows no sign of its visits; Firefox recomputes its ranking when told to.
  add(HasColumns(store, "moz_places", {"recalc_frecency", "typed", "last_visit_date"})
          ? "UPDATE moz_places SET visit_count = 0, last_visit_date = NULL, typed = 0, "
            "recalc_frecency = 1 WHERE id IN (SELECT value FROM json_each(?1))"
          : "UPDATE moz_places SET visit_count = 0 WHERE id IN (SELECT value FROM json_each(?1))",
      kept);
  // No trigger of the file removes an origin whose last page went.
  if (origins) {
    add("DELETE FROM moz_origins WHERE id IN (SELECT value FROM json_each(?1)) AND NOT EXISTS "
        "(SELECT 1 FROM moz_places WHERE origin_id = moz_origins.id)",
        std::vector<std::int64_t>(originIds.begin(), originIds.end()));
  }
  return SqliteStatus::Ok;
}

}  // namespace corvane
