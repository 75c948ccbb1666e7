// The item list of a details page: scanning a tree of 10,000 files while keeping the list a page
// shows, then writing the page's collapsed table, against `find -printf "%s %T@"` over the same
// tree in the same run (which lists names, sizes and times too). "ratio" is (scan + page) / find;
// "page_ms" is the page alone, which must stay small however many files were found.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/bench_machine.h"
#include "engine/file_set.h"
#include "engine/found_items.h"

namespace corvane {
namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

void BM_FoundItemsPageAgainstFind(benchmark::State& state) {
  const bench::BenchMachine machine;
  const std::string tree = machine.DriveC("tree").string();
  bench::MakeTree(tree, kFolders, kFilesPerFolder);
  double scanSeconds = 0;
  double pageSeconds = 0;
  double findSeconds = 0;
  for (auto _ : state) {
    findSeconds += bench::TimeCommand({"find", tree, "-printf", "%p %s %T@\n"});
    const auto start = std::chrono::steady_clock::now();
    FoundItems found;
    std::uint32_t items = 0;
    std::uint64_t bytes = 0;
    benchmark::DoNotOptimize(
        CollectFileSetTree("C:\\tree", {}, "*.*", items, bytes, CancelCheck(), &found));
    const double scan = bench::SecondsSince(start);
    const auto pageStart = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(FoundItemsHtml(found, "English", true));
    const double page = bench::SecondsSince(pageStart);
    scanSeconds += scan;
    pageSeconds += page;
    state.SetIterationTime(scan + page);
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["find_ms"] = findSeconds * 1000 / runs;
  state.counters["page_ms"] = pageSeconds * 1000 / runs;
  state.counters["ratio"] = (scanSeconds + pageSeconds) / findSeconds;
  state.counters["files"] = kFolders * kFilesPerFolder;
}
BENCHMARK(BM_FoundItemsPageAgainstFind)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
