// The history store against the sqlite3 shell over the same history of 100,000 visits (20,000
// pages of 1,000 hosts, five visits each), Firefox's "places.sqlite" (argument 0) and
// Chromium's "History" (argument 1), in the same run:
// - the scan (open through the folder handles, check the layout, count every page's visits per
//   host) against the shell listing every visit with its page's URL;
// - erasing half of them (every other host's pages and visits, with secure deletion and
//   compaction) against the same DELETEs and VACUUM in the shell, each on a fresh copy.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/sqlite_reference.h"
#include "cleaners/modern/history_database.h"
#include "demo/demo_modern_history.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kPages = 20'000;
constexpr int kVisitsPerPage = 5;

struct Layout {
  HistoryKind kind;
  const char* file;
  const char* listing;  // the shell's query over the same rows
  const char* erase;    // the shell's delete of the "gone" hosts
};

const Layout kLayouts[] = {
    {HistoryKind::FirefoxPlaces, "places.sqlite",
     "SELECT p.url, v.visit_date FROM moz_places p JOIN moz_historyvisits v ON v.place_id = p.id",
     "PRAGMA secure_delete=ON; BEGIN; DELETE FROM moz_historyvisits WHERE place_id IN (SELECT "
     "id FROM moz_places WHERE url LIKE 'https://gone%'); DELETE FROM moz_places WHERE url LIKE "
     "'https://gone%'; COMMIT; PRAGMA wal_checkpoint(TRUNCATE); VACUUM;"},
    {HistoryKind::ChromiumHistory, "History",
     "SELECT u.url, v.visit_time FROM urls u JOIN visits v ON v.url = u.id",
     "PRAGMA secure_delete=ON; BEGIN; DELETE FROM visits WHERE url IN (SELECT id FROM urls "
     "WHERE url LIKE 'https://gone%'); DELETE FROM urls WHERE url LIKE 'https://gone%'; COMMIT; "
     "PRAGMA wal_checkpoint(TRUNCATE); VACUUM;"},
};

fs::path MakeMaster(const bench::BenchMachine& machine, const Layout& layout) {
  std::vector<std::string> visits;
  visits.reserve(kPages * kVisitsPerPage);
  for (int round = 0; round < kVisitsPerPage; ++round) {
    for (int page = 0; page < kPages; ++page) {
      const int host = page % 1000;
      visits.push_back("https://" + std::string(host % 2 == 0 ? "gone" : "site") +
                       std::to_string(host) + ".test/page" + std::to_string(page));
    }
  }
  const fs::path master = machine.DriveC(std::string("master-") + layout.file);
  const bool made = layout.kind == HistoryKind::FirefoxPlaces ? MakeFirefoxPlaces(master, visits)
                                                              : MakeChromiumHistory(master, visits);
  if (!made) std::abort();
  return master;
}

HistoryDatabase Profile(const Layout& layout) {
  return {std::string("C:\\profile\\") + layout.file, layout.kind};
}

void BM_ScanAgainstSqlite3(benchmark::State& state) {
  const Layout& layout = kLayouts[state.range(0)];
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine, layout);
  fs::create_directories(machine.DriveC("profile"));
  const fs::path file = machine.DriveC("profile") / layout.file;
  fs::copy_file(master, file);
  const BrowserScanResult last = bench::ScanAgainstSqlite3(state, file, layout.listing, [&] {
    SqliteStore store;
    BrowserScanResult result;
    if (OpenHistoryDatabase(store, Profile(layout), SqliteAccess::Read) != SqliteStatus::Ok ||
        ScanHistoryDatabase(store, layout.kind, [&](const std::string& key, DomainEntry entry) {
          result.AddEntry(key, std::move(entry));
          return true;
        }) != SqliteStatus::Ok) {
      std::abort();
    }
    return result;
  });
  std::uint64_t visits = 0;
  for (const auto& [key, record] : last.domains) visits += record.hitTotal;
  state.counters["visits"] = static_cast<double>(visits);
}
BENCHMARK(BM_ScanAgainstSqlite3)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_EraseAgainstSqlite3(benchmark::State& state) {
  const Layout& layout = kLayouts[state.range(0)];
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine, layout);
  const fs::path profile = machine.DriveC("profile");
  fs::create_directories(profile);
  bench::EraseAgainstSqlite3(state, machine, master, profile / layout.file, layout.erase, [&] {
    SqliteStore store;
    HistoryErasePlan plan;
    if (OpenHistoryDatabase(store, Profile(layout), SqliteAccess::Change) != SqliteStatus::Ok ||
        PlanHistoryErase(
            store, layout.kind, [](const std::string& key) { return key.starts_with("gone"); },
            plan) != SqliteStatus::Ok ||
        store.Change(plan.changes) != SqliteStatus::Ok) {
      std::abort();
    }
    return plan.items;
  });
}
BENCHMARK(BM_EraseAgainstSqlite3)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
