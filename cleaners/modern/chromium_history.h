#pragma once
// The Chromium family's "History": `urls` (one row per address) and `visits` (one per visit),
// with what refers to them (typed search terms, most-visited segments, visited-link records,
// the annotations and clusters of visits) and the downloads list (`downloads` with its URL
// chains).

#include "cleaners/modern/history_database.h"

namespace corvane {

[[nodiscard]] SqliteStatus CheckChromiumHistory(SqliteStore& store);
[[nodiscard]] SqliteStatus ScanChromiumHistory(SqliteStore& store, const HistoryEntrySink& entry);

// A selected address goes with its visits and everything keyed by them; a download goes when
// the host it came from is selected. Chromium keeps bookmarks in a file of their own, so no
// address row needs to stay.
[[nodiscard]] SqliteStatus PlanChromiumHistoryErase(SqliteStore& store,
                                                    const HistoryKeySelected& selected,
                                                    HistoryErasePlan& plan);

}  // namespace corvane
