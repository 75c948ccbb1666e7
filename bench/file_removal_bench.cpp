// The file-removal toolkit against the system's own tools over the same files, in the same run:
//   counting a tree of 50,000 files in 1,000 folders (CollectFileSetTree, as a custom plug-in's
//     tree item scans it) against `find -printf '%s'`, which reads the same sizes (aim: at most
//     1.1x: one listing per folder and one status call per entry, as find makes);
//   erasing such a tree without overwriting (EraseFileSetTree) against `rm -rf` of an identical
//     tree, both still in the cache and both already on the disk (aim: at most 1.5x);
//   overwriting 256 MiB with the random pattern (WaipFile) against
//     `dd conv=notrunc,fdatasync` over the same file (aim: at most 1.5x).
// Each benchmark reports "ratio" = toolkit time / reference time. The order of the two
// alternates between iterations so neither always meets a warmer cache.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "engine/file_set.h"
#include "engine/waip_file.h"

namespace corvane {
namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;
constexpr int kScanFolders = 1'000;
constexpr int kScanFilesPerFolder = 50;
constexpr std::int64_t kWipeBytes = 256 << 20;

const CancelCheck kNeverCancelled = [] { return false; };

void Report(benchmark::State& state, double toolkitSeconds, double referenceSeconds) {
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["toolkit_ms"] = toolkitSeconds * 1000 / iterations;
  state.counters["reference_ms"] = referenceSeconds * 1000 / iterations;
  state.counters["ratio"] = toolkitSeconds / referenceSeconds;
}

void BM_CollectFileSetTreeAgainstFind(benchmark::State& state) {
  const bench::BenchMachine machine;
  const std::string tree = machine.DriveC("tree").string();
  bench::MakeTree(tree, kScanFolders, kScanFilesPerFolder);
  double toolkitSeconds = 0;
  double referenceSeconds = 0;
  bool referenceFirst = true;
  for (auto _ : state) {
    if (referenceFirst) referenceSeconds += bench::TimeCommand({"find", tree, "-printf", "%s\n"});
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t items = 0;
    std::uint64_t bytes = 0;
    if (!CollectFileSetTree("C:\\tree", {}, "*", items, bytes, kNeverCancelled) ||
        items != kScanFolders * kScanFilesPerFolder) {
      state.SkipWithError("the tree was not counted whole");
      return;
    }
    const double seconds = bench::SecondsSince(start);
    if (!referenceFirst) referenceSeconds += bench::TimeCommand({"find", tree, "-printf", "%s\n"});
    toolkitSeconds += seconds;
    state.SetIterationTime(seconds);
    referenceFirst = !referenceFirst;
  }
  Report(state, toolkitSeconds, referenceSeconds);
}
BENCHMARK(BM_CollectFileSetTreeAgainstFind)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_EraseFileSetTreeAgainstRmRf(benchmark::State& state) {
  const bench::BenchMachine machine;
  double toolkitSeconds = 0;
  double referenceSeconds = 0;
  bool referenceFirst = true;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string ours = machine.DriveC("ours").string();
    const std::string theirs = machine.DriveC("theirs").string();
    bench::MakeTree(ours, kFolders, kFilesPerFolder);
    bench::MakeTree(theirs, kFolders, kFilesPerFolder);
    // synced:1 deletes trees already on the disk (the journal's work shows); synced:0 trees still
    // in the cache (the walk's own work shows).
    if (state.range(0) != 0) ::sync();
    state.ResumeTiming();
    if (referenceFirst) referenceSeconds += bench::TimeCommand({"rm", "-rf", theirs});
    const auto start = std::chrono::steady_clock::now();
    const bool erased = EraseFileSetTree("C:\\ours", {}, "*", Overwrite::Off,
                                         WipePattern::WipeRandom, kNeverCancelled, nullptr);
    const double seconds = bench::SecondsSince(start);
    if (!referenceFirst) referenceSeconds += bench::TimeCommand({"rm", "-rf", theirs});
    if (!erased || !std::filesystem::is_empty(ours)) {
      state.SkipWithError("the tree was not erased whole");
      return;
    }
    toolkitSeconds += seconds;
    state.SetIterationTime(seconds);
    referenceFirst = !referenceFirst;
  }
  Report(state, toolkitSeconds, referenceSeconds);
}
BENCHMARK(BM_EraseFileSetTreeAgainstRmRf)
    ->ArgName("synced")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

void BM_WaipFileAgainstDd(benchmark::State& state) {
  const bench::BenchMachine machine;
  const std::string file = machine.DriveC("big.bin").string();
  bench::TimeCommand({"dd", "if=/dev/zero", "of=" + file, "bs=1M",
                      "count=" + std::to_string(kWipeBytes >> 20), "conv=fdatasync",
                      "status=none"});
  const std::vector<std::string> dd = {"dd",
                                       "if=/dev/zero",
                                       "of=" + file,
                                       "bs=1M",
                                       "count=" + std::to_string(kWipeBytes >> 20),
                                       "conv=notrunc,fdatasync",
                                       "status=none"};
  double toolkitSeconds = 0;
  double referenceSeconds = 0;
  bool referenceFirst = true;
  for (auto _ : state) {
    if (referenceFirst) referenceSeconds += bench::TimeCommand(dd);
    const auto start = std::chrono::steady_clock::now();
    if (WaipFile("C:\\big.bin", WipePattern::WipeRandom, kNeverCancelled) != kWipeBytes + 1) {
      state.SkipWithError("the file was not overwritten");
      return;
    }
    const double seconds = bench::SecondsSince(start);
    if (!referenceFirst) referenceSeconds += bench::TimeCommand(dd);
    toolkitSeconds += seconds;
    state.SetIterationTime(seconds);
    referenceFirst = !referenceFirst;
  }
  state.SetBytesProcessed(state.iterations() * kWipeBytes);
  Report(state, toolkitSeconds, referenceSeconds);
}
BENCHMARK(BM_WaipFileAgainstDd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
