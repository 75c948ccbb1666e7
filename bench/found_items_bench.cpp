// The item lists of the details pages, with the shipped templates:
//   scanning a tree of 10,000 files while keeping the list a page shows, then writing the page's
//     collapsed table, against `find -printf "%s %T@"` over the same tree in the same run (which
//     lists names, sizes and times too). "ratio" is (scan + page) / find; "page_ms" is the page
//     alone, which must stay small however many files were found;
//   a browser cleaner's details page of one domain with 100,000 entries, its entries listed,
//     against copying the entries' 100,000 addresses once into one string (the least any page
//     naming them all would cost). "ratio" is page / copy, from the fastest runs of each;
//     "plain_ms" is the same page without entry lists.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/bench_shell_folders.h"
#include "engine/domain_pages.h"
#include "engine/file_set.h"
#include "engine/found_items.h"
#include "platform/program_folder.h"

namespace corvane {
namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

constexpr int kDomainEntries = 100'000;

class CachePage final : public Plugin {
 public:
  explicit CachePage(PluginOwner& owner) : Plugin("BrowserCache", "Browsing Cache", owner) {}

 protected:
  PluginResult ScanTracks() override { return PluginResult::Finished; }
  PluginResult EraseTracks() override { return PluginResult::Finished; }
};

void BM_FoundItemsPageAgainstFind(benchmark::State& state) {
  const bench::BenchMachine machine;
  SetProgramFolder(CORVANE_DATA_DIR);
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

void BM_DomainEntriesPageAgainstCopy(benchmark::State& state) {
  const bench::BenchMachine machine;
  SetProgramFolder(CORVANE_DATA_DIR);
  bench::BenchOwner owner;
  const PluginPtr plugin = MakePlugin<CachePage>(owner);
  BrowserResults results;
  BrowserScanResult& ie = results[BrowserCode::InternetExplorer];
  for (int i = 0; i < kDomainEntries; ++i) {
    ie.AddEntry("www.example.test",
                {"http://www.example.test/images/page" + std::to_string(i) + "/photo.jpg", "",
                 static_cast<std::uint32_t>(1000 + i), 1, 133'000'000'000'000'000ULL + i});
  }
  const std::vector<DomainRow> rows = BuildDomainRows(results, DomainSortColumn::Size);
  double page = 1e9;
  double plain = 1e9;
  double copy = 1e9;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::string text;
    for (const DomainEntry& entry : ie.domains.begin()->second.entries) {
      text += entry.url;
      text += '\n';
    }
    benchmark::DoNotOptimize(text);
    copy = std::min(copy, bench::SecondsSince(start));

    start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(BuildDomainDetails(*plugin, rows, &results));
    const double listed = bench::SecondsSince(start);
    page = std::min(page, listed);
    state.SetIterationTime(listed);

    start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(BuildDomainDetails(*plugin, rows));
    plain = std::min(plain, bench::SecondsSince(start));
  }
  state.counters["page_ms"] = page * 1000;
  state.counters["plain_ms"] = plain * 1000;
  state.counters["copy_ms"] = copy * 1000;
  state.counters["ratio"] = page / copy;
  state.counters["entries"] = kDomainEntries;
}
BENCHMARK(BM_DomainEntriesPageAgainstCopy)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
