#pragma once
// What the SQLite store benchmarks share: each run of ours is timed against the sqlite3 shell
// doing the same over the same rows in the same process, and reported as "ratio" (ours / the
// shell's) with the shell's mean time per run as "sqlite3_ms".

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "bench/bench_machine.h"

namespace corvane::bench {

inline void ReportAgainstSqlite3(benchmark::State& state, double ours, double shell) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["sqlite3_ms"] = shell * 1000 / runs;
  state.counters["ratio"] = ours / shell;
}

// Each iteration runs `sqlite3 <file> <query>`, then times `scan` over the same file. Answers
// what the last scan answered.
template <typename Scan>
auto ScanAgainstSqlite3(benchmark::State& state, const std::filesystem::path& file,
                        const std::string& query, Scan scan) {
  double ours = 0;
  double shell = 0;
  decltype(scan()) last{};
  for (auto _ : state) {
    shell += TimeCommand({"sqlite3", file.string(), query});
    const auto start = std::chrono::steady_clock::now();
    auto result = scan();
    const double run = SecondsSince(start);
    last = std::move(result);
    ours += run;
    state.SetIterationTime(run);
  }
  ReportAgainstSqlite3(state, ours, shell);
  return last;
}

// Each iteration copies `master` afresh to `file` and to a copy of the shell's, runs `sqlite3
// <copy> <erase>`, then times `ours` over `file` (answering how many it removed: the "removed"
// counter).
template <typename Erase>
void EraseAgainstSqlite3(benchmark::State& state, const BenchMachine& machine,
                         const std::filesystem::path& master, const std::filesystem::path& file,
                         const std::string& erase, Erase ours) {
  namespace fs = std::filesystem;
  const fs::path theirs = machine.DriveC("shell-" + file.filename().string());
  double oursTotal = 0;
  double shell = 0;
  double removed = 0;
  for (auto _ : state) {
    fs::copy_file(master, theirs, fs::copy_options::overwrite_existing);
    fs::copy_file(master, file, fs::copy_options::overwrite_existing);
    shell += TimeCommand({"sqlite3", theirs.string(), erase});
    const auto start = std::chrono::steady_clock::now();
    removed = static_cast<double>(ours());
    const double run = SecondsSince(start);
    oursTotal += run;
    state.SetIterationTime(run);
  }
  ReportAgainstSqlite3(state, oursTotal, shell);
  state.counters["removed"] = removed;
}

}  // namespace corvane::bench
