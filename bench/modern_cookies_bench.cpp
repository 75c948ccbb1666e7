// The SQLite store against the sqlite3 shell over the same Firefox "cookies.sqlite" of 100,000
// cookies, in the same run:
// - the scan (open through the folder handles, check the layout, read every host and count it
//   per domain) against `sqlite3 <file> "SELECT rowid, host FROM moz_cookies"`;
// - erasing a tenth of them (one domain in ten) with secure deletion and compaction against the
//   same DELETE and VACUUM in the shell, each on a fresh copy.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "cleaners/modern/modern_cookies.h"
#include "cleaners/modern/sqlite_store.h"
#include "demo/demo_modern_traces.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kCookies = 100'000;

fs::path MakeMaster(const bench::BenchMachine& machine) {
  std::vector<std::string> hosts;
  hosts.reserve(kCookies);
  for (int i = 0; i < kCookies; ++i) {
    hosts.push_back("." + std::string(i % 10 == 0 ? "gone" : "site") + std::to_string(i % 997) +
                    ".test");
  }
  const fs::path master = machine.DriveC("master.sqlite");
  if (!MakeFirefoxCookieStore(master, hosts)) std::abort();
  return master;
}

// Counts every host of C:\profile\cookies.sqlite per domain, as the cookies scan does.
BrowserScanResult ScanCookies() {
  SqliteStore store;
  if (store.Open("C:\\profile\\cookies.sqlite", SqliteAccess::Read) != SqliteStatus::Ok ||
      store.CheckColumns("moz_cookies", {"host"}) != SqliteStatus::Ok) {
    std::abort();
  }
  BrowserScanResult result;
  const SqliteStatus status =
      store.Scan("SELECT rowid, host FROM moz_cookies", [&](sqlite3_stmt* row) {
        DomainEntry entry;
        entry.url = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
        const std::string key = HostKey(entry.url);
        result.AddEntry(key, std::move(entry));
        return true;
      });
  if (status != SqliteStatus::Ok) std::abort();
  return result;
}

void Report(benchmark::State& state, double ours, double shell) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["sqlite3_ms"] = shell * 1000 / runs;
  state.counters["ratio"] = ours / shell;
}

void BM_ScanAgainstSqlite3(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine);
  fs::create_directories(machine.DriveC("profile"));
  fs::copy_file(master, machine.DriveC("profile") / "cookies.sqlite");
  const std::string file = (machine.DriveC("profile") / "cookies.sqlite").string();
  double ours = 0;
  double shell = 0;
  std::size_t domains = 0;
  for (auto _ : state) {
    shell += bench::TimeCommand({"sqlite3", file, "SELECT rowid, host FROM moz_cookies"});
    const auto start = std::chrono::steady_clock::now();
    domains = ScanCookies().domains.size();
    const double run = bench::SecondsSince(start);
    ours += run;
    state.SetIterationTime(run);
  }
  Report(state, ours, shell);
  state.counters["domains"] = static_cast<double>(domains);
}
BENCHMARK(BM_ScanAgainstSqlite3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_EraseAgainstSqlite3(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine);
  const fs::path profile = machine.DriveC("profile");
  fs::create_directories(profile);
  const fs::path theirs = machine.DriveC("shell.sqlite");
  double ours = 0;
  double shell = 0;
  std::size_t removed = 0;
  for (auto _ : state) {
    fs::copy_file(master, theirs, fs::copy_options::overwrite_existing);
    fs::copy_file(master, profile / "cookies.sqlite", fs::copy_options::overwrite_existing);
    shell += bench::TimeCommand({"sqlite3", theirs.string(),
                                 "PRAGMA secure_delete=ON; DELETE FROM moz_cookies WHERE host "
                                 "LIKE '.gone%'; PRAGMA wal_checkpoint(TRUNCATE); VACUUM;"});
    const auto start = std::chrono::steady_clock::now();
    SqliteStore store;
    if (store.Open("C:\\profile\\cookies.sqlite", SqliteAccess::Change) != SqliteStatus::Ok) {
      std::abort();
    }
    std::vector<std::int64_t> rowids;
    const SqliteStatus scanned =
        store.Scan("SELECT rowid, host FROM moz_cookies", [&](sqlite3_stmt* row) {
          const auto* host = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
          if (HostKey(host).starts_with("gone")) rowids.push_back(sqlite3_column_int64(row, 0));
          return true;
        });
    if (scanned != SqliteStatus::Ok ||
        store.DeleteRows("moz_cookies", rowids) != SqliteStatus::Ok) {
      std::abort();
    }
    store = SqliteStore();
    const double run = bench::SecondsSince(start);
    removed = rowids.size();
    ours += run;
    state.SetIterationTime(run);
  }
  Report(state, ours, shell);
  state.counters["removed"] = static_cast<double>(removed);
}
BENCHMARK(BM_EraseAgainstSqlite3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
