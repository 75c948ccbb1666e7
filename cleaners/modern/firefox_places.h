#pragma once
// Firefox's "places.sqlite": `moz_places` (one row per address, bookmarked or visited) and
// `moz_historyvisits` (one row per visit). Firefox keeps its bookkeeping triggers (visit counts,
// origins) as temporary triggers of its own connection, so none fire here: an erase updates
// and deletes every dependent row itself, children first.

#include "cleaners/modern/history_database.h"

namespace corvane {

[[nodiscard]] SqliteStatus CheckFirefoxPlaces(SqliteStore& store);
[[nodiscard]] SqliteStatus ScanFirefoxPlaces(SqliteStore& store, const HistoryEntrySink& entry);

// A selected page loses its visits, typed input and interaction data; the page itself goes
// unless something else keeps it (`foreign_count` > 0: a bookmark or keyword), in which case
// only its visit counters are reset. Origins no page uses any more go too.
[[nodiscard]] SqliteStatus PlanFirefoxPlacesErase(SqliteStore& store,
                                                  const HistoryKeySelected& selected,
                                                  HistoryErasePlan& plan);

}  // namespace corvane
