// Walking a tree of 50,000 files with FindFirstFileW / FindNextFileW through machine paths,
// against `find` over the same tree in the same run. "ratio" is walk time / plain `find` time
// (names only); "ratio_stat" is against `find -printf "%s %T@"`, which reads the size and time a
// listing must also give, as the walk does.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/bench_machine.h"
#include "platform/file_find.h"
#include "platform/file_status.h"

namespace corvane {
namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;

// Lists a folder and every real sub-folder below it, as the erase walks do.
std::size_t Walk(const std::string& folder) {
  std::size_t files = 0;
  FindData data;
  FindHandlePtr handle = FindFirstFileW(folder + "\\*.*", &data);
  if (!handle) return 0;
  do {
    if (data.name == "." || data.name == "..") continue;
    if (data.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      files += Walk(folder + "\\" + data.name);
    } else {
      ++files;
    }
  } while (FindNextFileW(*handle, &data));
  return files;
}

void BM_WalkAgainstFind(benchmark::State& state) {
  const bench::BenchMachine machine;
  const std::string tree = machine.DriveC("tree").string();
  bench::MakeTree(tree, kFolders, kFilesPerFolder);
  double walkSeconds = 0;
  double findSeconds = 0;
  double findStatSeconds = 0;
  for (auto _ : state) {
    findSeconds += bench::TimeCommand({"find", tree});
    findStatSeconds += bench::TimeCommand({"find", tree, "-printf", "%s %T@\n"});
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Walk("C:\\tree"));
    const double seconds = bench::SecondsSince(start);
    walkSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["find_ms"] = findSeconds * 1000 / static_cast<double>(state.iterations());
  state.counters["ratio"] = walkSeconds / findSeconds;
  state.counters["ratio_stat"] = walkSeconds / findStatSeconds;
  state.counters["files"] = kFolders * kFilesPerFolder;
}
BENCHMARK(BM_WalkAgainstFind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
