// The cache scan of today's browsers against what it must at least do, in the same run: 20,000
// cache entries (10,000 Firefox "cache2" entries, 10,000 Chromium simple cache entries with a few
// companions) scanned by host, against
//   `find <caches> -type f -printf '%s\n'` (listing every file and its size), and
//   `find <caches> -type f -exec cat {} +` (reading every byte of them).
// Each benchmark reports "ratio" = our fastest iteration / the reference's fastest: the machine
// these run on is shared, and the fastest run is the one least disturbed by others.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/bench_shell_folders.h"
#include "cleaners/modern/modern_cache.h"
#include "demo/demo_cache_entries.h"
#include "engine/plugin_owner.h"
#include "platform/registry_store.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kEntriesPerBrowser = 10'000;

// A prefix whose local application data folder (C:\localappdata) holds one Firefox and one Chrome
// profile with their caches.
class CacheBenchMachine {
 public:
  CacheBenchMachine() {
    const fs::path firefox =
        Caches() / "Mozilla" / "Firefox" / "Profiles" / "b3nch.default" / "cache2" / "entries";
    const fs::path chrome =
        Caches() / "Google" / "Chrome" / "User Data" / "Default" / "Cache" / "Cache_Data";
    for (int i = 0; i < kEntriesPerBrowser; ++i) {
      const std::string host = "site" + std::to_string(i % 500) + ".test";
      const std::string data(1024 + (i % 7) * 512, 'd');
      char name[20];
      std::snprintf(name, sizeof name, "%016x_0", i);
      if (!MakeFirefoxCacheEntry(firefox / ("F" + std::to_string(i)),
                                 "O^partitionKey=%28https%2C" + host + "%29,a,:https://" + host +
                                     "/page/" + std::to_string(i),
                                 data, 1700000000) ||
          !MakeSimpleCacheEntry(chrome / name,
                                "1/0/_dk_https://" + host + " https://" + host + " https://" +
                                    host + "/img/" + std::to_string(i) + ".png",
                                data)) {
        std::abort();
      }
      if (i % 10 == 0) {
        std::string companion = name;
        companion.back() = '1';
        std::ofstream(chrome / companion, std::ios::binary) << data;
      }
    }
  }

  [[nodiscard]] fs::path Caches() const { return machine_.DriveC("localappdata"); }

 private:
  bench::BenchMachine machine_;
  bench::BenchShellFolders folders_{machine_,
                                    {{"AppData", "appdata"}, {"Local AppData", "localappdata"}}};
};

enum class Reference { ListSizes, ReadBytes };

void Compare(benchmark::State& state, Reference kind) {
  const CacheBenchMachine machine;
  const std::string root = machine.Caches().string();
  const std::vector<std::string> reference =
      kind == Reference::ListSizes
          ? std::vector<std::string>{"find", root, "-type", "f", "-printf", "%s\n"}
          : std::vector<std::string>{"find", root, "-type", "f", "-exec", "cat", "{}", "+"};
  bench::BenchOwner owner;
  double ours = std::numeric_limits<double>::max();
  double theirs = std::numeric_limits<double>::max();
  std::uint64_t items = 0;
  for (auto _ : state) {
    theirs = std::min(theirs, bench::TimeCommand(reference));
    ProgressReporter progress(owner, "bench", "", nullptr);
    ModernCache cache;
    BrowserResults results;
    const auto start = std::chrono::steady_clock::now();
    if (!cache.Scan(results, progress)) std::abort();
    const double run = bench::SecondsSince(start);
    ours = std::min(ours, run);
    state.SetIterationTime(run);
    items = 0;
    for (const auto& [browser, result] : results) items += result.items;
  }
  if (items != 2 * kEntriesPerBrowser) std::abort();
  state.counters["reference_ms"] = theirs * 1000;
  state.counters["ratio"] = ours / theirs;
  state.counters["entries"] = static_cast<double>(items);
}

void BM_ScanAgainstFindSizes(benchmark::State& state) {
  Compare(state, Reference::ListSizes);
}
BENCHMARK(BM_ScanAgainstFindSizes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_ScanAgainstReadingTheFiles(benchmark::State& state) {
  Compare(state, Reference::ReadBytes);
}
BENCHMARK(BM_ScanAgainstReadingTheFiles)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(8);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
