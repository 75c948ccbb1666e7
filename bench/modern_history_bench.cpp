// The history store against the sqlite3 shell over the same history of 100,000 visits (20,000
// pages of 1,000 hosts, five visits each), Firefox's "places.sqlite" (argument 0) and
// Chromium's "History" (argument 1), in the same run:
// - the scan (open through the folder handles, check the layout, count every page's visits per
//   host) against the shell listing every visit with its page's URL;
// - erasing half of them (every other host's pages and visits, with secure deletion and
//   compaction) against the same DELETEs and VACUUM in the shell, each on a fresh copy.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
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

void Report(benchmark::State& state, double ours, double shell) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["sqlite3_ms"] = shell * 1000 / runs;
  state.counters["ratio"] = ours / shell;
}

void BM_ScanAgainstSqlite3(benchmark::State& state) {
  const Layout& layout = kLayouts[state.range(0)];
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine, layout);
  fs::create_directories(machine.DriveC("profile"));
  const fs::path file = machine.DriveC("profile") / layout.file;
  fs::copy_file(master, file);
  double ours = 0;
  double shell = 0;
  std::uint64_t visits = 0;
  for (auto _ : state) {
    shell += bench::TimeCommand({"sqlite3", file.string(), layout.listing});
    const auto start = std::chrono::steady_clock::now();
    SqliteStore store;
    BrowserScanResult result;
    if (OpenHistoryDatabase(store, Profile(layout), SqliteAccess::Read) != SqliteStatus::Ok ||
        ScanHistoryDatabase(store, layout.kind, [&](const std::string& key, DomainEntry entry) {
          result.AddEntry(key, std::move(entry));
          return true;
        }) != SqliteStatus::Ok) {
      std::abort();
    }
    const double run = bench::SecondsSince(start);
    visits = 0;
    for (const auto& [key, record] : result.domains) visits += record.hitTotal;
    ours += run;
    state.SetIterationTime(run);
  }
  Report(state, ours, shell);
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
  const fs::path theirs = machine.DriveC(std::string("shell-") + layout.file);
  double ours = 0;
  double shell = 0;
  std::uint32_t removed = 0;
  for (auto _ : state) {
    fs::copy_file(master, theirs, fs::copy_options::overwrite_existing);
    fs::copy_file(master, profile / layout.file, fs::copy_options::overwrite_existing);
    shell += bench::TimeCommand({"sqlite3", theirs.string(), layout.erase});
    const auto start = std::chrono::steady_clock::now();
    SqliteStore store;
    HistoryErasePlan plan;
    if (OpenHistoryDatabase(store, Profile(layout), SqliteAccess::Change) != SqliteStatus::Ok ||
        PlanHistoryErase(
            store, layout.kind, [](const std::string& key) { return key.starts_with("gone"); },
            plan) != SqliteStatus::Ok ||
        store.Change(plan.changes) != SqliteStatus::Ok) {
      std::abort();
    }
    store = SqliteStore();
    const double run = bench::SecondsSince(start);
    removed = plan.items;
    ours += run;
    state.SetIterationTime(run);
  }
  Report(state, ours, shell);
  state.counters["removed"] = static_cast<double>(removed);
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
