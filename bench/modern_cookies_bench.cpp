// The SQLite store against the sqlite3 shell over the same Firefox "cookies.sqlite" of 100,000
// cookies, in the same run:
// - the scan (open through the folder handles, check the layout, read every host and count it
//   per domain) against `sqlite3 <file> "SELECT rowid, host FROM moz_cookies"`;
// - erasing a tenth of them (one domain in ten) with secure deletion and compaction against the
//   same DELETE and VACUUM in the shell, each on a fresh copy.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/sqlite_reference.h"
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

void BM_ScanAgainstSqlite3(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine);
  fs::create_directories(machine.DriveC("profile"));
  const fs::path file = machine.DriveC("profile") / "cookies.sqlite";
  fs::copy_file(master, file);
  const BrowserScanResult last =
      bench::ScanAgainstSqlite3(state, file, "SELECT rowid, host FROM moz_cookies", ScanCookies);
  state.counters["domains"] = static_cast<double>(last.domains.size());
}
BENCHMARK(BM_ScanAgainstSqlite3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_EraseAgainstSqlite3(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path master = MakeMaster(machine);
  const fs::path profile = machine.DriveC("profile");
  fs::create_directories(profile);
  bench::EraseAgainstSqlite3(
      state, machine, master, profile / "cookies.sqlite",
      "PRAGMA secure_delete=ON; DELETE FROM moz_cookies WHERE host LIKE '.gone%'; PRAGMA "
      "wal_checkpoint(TRUNCATE); VACUUM;",
      [] {
        SqliteStore store;
        if (store.Open("C:\\profile\\cookies.sqlite", SqliteAccess::Change) != SqliteStatus::Ok) {
          std::abort();
        }
        std::vector<std::int64_t> rowids;
        const SqliteStatus scanned =
            store.Scan("SELECT rowid, host FROM moz_cookies", [&](sqlite3_stmt* row) {
              const auto* host = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
              if (HostKey(host).starts_with("gone")) {
                rowids.push_back(sqlite3_column_int64(row, 0));
              }
              return true;
            });
        if (scanned != SqliteStatus::Ok ||
            store.DeleteRows("moz_cookies", rowids) != SqliteStatus::Ok) {
          std::abort();
        }
        return rowids.size();
      });
}
BENCHMARK(BM_EraseAgainstSqlite3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
