// The form stores against the sqlite3 shell over the same rows, in the same run:
// - scanning a Firefox "formhistory.sqlite" of 100,000 values (one in ten with the page it was
//   typed on) and a Chromium "Web Data" of 100,000 autofill values (open through the folder
//   handles, learn the layout, file every row and count it per field or site) against the
//   sqlite3 shell running the same queries;
// - erasing half of the form history (every row of half the fields, with their sources) with
//   secure deletion and compaction against the same DELETEs and VACUUM in the shell, each on a
//   fresh copy.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/sqlite_reference.h"
#include "cleaners/modern/form_store.h"
#include "demo/demo_modern_forms.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kValues = 100'000;

constexpr char kHistoryQuery[] =
    "SELECT f.id, f.fieldname, f.timesUsed, f.lastUsed, (SELECT s.source FROM "
    "moz_history_to_sources h JOIN moz_sources s ON s.id = h.source_id WHERE h.history_id = f.id "
    "ORDER BY s.id LIMIT 1) FROM moz_formhistory f";
constexpr char kAutofillQuery[] =
    "SELECT rowid, name, count, date_last_used FROM autofill; SELECT id, url FROM keywords WHERE "
    "safe_for_autoreplace = 1 AND prepopulate_id = 0 AND created_by_policy = 0 AND "
    "starter_pack_id = 0 AND id NOT IN (SELECT CAST(value AS INTEGER) FROM meta WHERE key = "
    "'Default Search Provider ID')";

std::vector<DemoFormValue> Values(bool sources) {
  std::vector<DemoFormValue> values;
  values.reserve(kValues);
  for (int i = 0; i < kValues; ++i) {
    const std::string field = std::string(i % 2 == 0 ? "gone" : "kept") + std::to_string(i % 500);
    values.push_back({field, "value " + std::to_string(i),
                      sources && i % 10 == 0 ? "site" + std::to_string(i % 300) + ".test" : ""});
  }
  return values;
}

std::size_t ScanStore(const FormFileName& name) {
  FormStore store;
  if (store.Open(name, SqliteAccess::Read) != SqliteStatus::Ok) std::abort();
  BrowserScanResult result;
  if (store.List([&](FormRow& row) {
        result.AddEntry(row.key, std::move(row.entry));
        return true;
      }) != SqliteStatus::Ok) {
    std::abort();
  }
  return result.domains.size();
}

void Scan(benchmark::State& state, const std::string& file, FormFile kind, const char* query,
          bool (*make)(const fs::path&)) {
  const bench::BenchMachine machine;
  fs::create_directories(machine.DriveC("profile"));
  const fs::path path = machine.DriveC("profile") / file;
  if (!make(path)) std::abort();
  const std::size_t records = bench::ScanAgainstSqlite3(state, path, query, [&] {
    return ScanStore({"C:\\profile\\" + file, kind});
  });
  state.counters["records"] = static_cast<double>(records);
}

bool MakeHistory(const fs::path& path) {
  return MakeFirefoxFormHistory(path, Values(true));
}

bool MakeWebData(const fs::path& path) {
  return MakeChromiumWebData(path, Values(false), {"https://site.test/?q={searchTerms}"});
}

void BM_FormHistoryScanAgainstSqlite3(benchmark::State& state) {
  Scan(state, "formhistory.sqlite", FormFile::FormHistory, kHistoryQuery, MakeHistory);
}
BENCHMARK(BM_FormHistoryScanAgainstSqlite3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_AutofillScanAgainstSqlite3(benchmark::State& state) {
  Scan(state, "Web Data", FormFile::WebData, kAutofillQuery, MakeWebData);
}
BENCHMARK(BM_AutofillScanAgainstSqlite3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_FormHistoryEraseAgainstSqlite3(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path master = machine.DriveC("master.sqlite");
  if (!MakeHistory(master)) std::abort();
  const fs::path profile = machine.DriveC("profile");
  fs::create_directories(profile);
  bench::EraseAgainstSqlite3(
      state, machine, master, profile / "formhistory.sqlite",
      "PRAGMA secure_delete=ON; BEGIN IMMEDIATE; DELETE FROM moz_history_to_sources WHERE "
      "history_id IN (SELECT id FROM moz_formhistory WHERE fieldname LIKE 'gone%'); DELETE FROM "
      "moz_formhistory WHERE fieldname LIKE 'gone%'; DELETE FROM moz_sources WHERE id NOT IN "
      "(SELECT source_id FROM moz_history_to_sources); COMMIT; PRAGMA "
      "wal_checkpoint(TRUNCATE); VACUUM;",
      [] {
        FormStore store;
        if (store.Open({"C:\\profile\\formhistory.sqlite", FormFile::FormHistory},
                       SqliteAccess::Change) != SqliteStatus::Ok) {
          std::abort();
        }
        std::vector<std::pair<std::size_t, std::int64_t>> rows;
        if (store.List([&](FormRow& row) {
              if (row.entry.url.starts_with("gone")) rows.emplace_back(row.table, row.id);
              return true;
            }) != SqliteStatus::Ok ||
            store.Remove(rows) != SqliteStatus::Ok) {
          std::abort();
        }
        return rows.size();
      });
}
BENCHMARK(BM_FormHistoryEraseAgainstSqlite3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
