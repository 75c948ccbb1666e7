// Deleting 100,000 matching values of one key, the way a cleaner erases them (a fresh registry
// store, DeleteMatchingValues, the save), against loading and saving the same hive in the same
// run. The ratio is printed at the end; the aim is at most 3x.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/registry_patterns.h"
#include "bench/ratio_reporter.h"
#include "platform/registry_hive_file.h"
#include "platform/registry_store.h"

namespace {

namespace fs = std::filesystem;

constexpr int kValues = 100000;

// A prefix whose user.reg holds one key with kValues matching values among others that stay.
class BenchPrefix {
 public:
  BenchPrefix() {
    std::string pattern = (fs::temp_directory_path() / "corvane-delete-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    std::ofstream(root_ / "system.reg") << "WINE REGISTRY Version 2\n;; All keys relative to "
                                           "\\\\Machine\n\n#arch=win64\n";
    std::ostringstream user;
    user << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
            "#arch=win64\n\n[Software\\\\Bench] 1700000000\n#time=1d9ffffffffffff\n"
            "\"Keep\"=\"stays\"\n";
    char name[32];
    for (int i = 0; i < kValues; ++i) {
      std::snprintf(name, sizeof name, "MRU%06d", i);
      user << '"' << name << ".lnk\"=\"C:\\\\users\\\\ann\\\\Documents\\\\file" << i << ".txt\"\n";
      // Every tenth is followed by one that stays, so the walk steps over kept values too.
      if (i % 10 == 9) user << '"' << name << ".txt\"=dword:00000001\n";
    }
    user << "\"Other\"=dword:00000001\n\n[Software\\\\Bench\\\\Sub] 1700000000\n\"x\"=\"y\"\n";
    original_ = user.str();
    Restore();
  }
  ~BenchPrefix() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  BenchPrefix(const BenchPrefix&) = delete;
  BenchPrefix& operator=(const BenchPrefix&) = delete;

  // Puts the full user.reg back after a run deleted its values.
  void Restore() const {
    std::ofstream(UserHive(), std::ios::binary | std::ios::trunc) << original_;
  }
  [[nodiscard]] const fs::path& Root() const { return root_; }
  [[nodiscard]] fs::path UserHive() const { return root_ / "user.reg"; }

 private:
  fs::path root_;
  std::string original_;
};

BenchPrefix& Prefix() {
  static BenchPrefix prefix;
  return prefix;
}

// The reference: the same hive read, parsed, written and renamed into place.
void LoadAndSave(benchmark::State& state) {
  const fs::path path = Prefix().UserHive();
  for (auto _ : state) {
    auto hive = std::make_unique<corvane::RegistryHive>();
    if (corvane::LoadHiveFile(path, *hive) != corvane::HiveLoadResult::Loaded) std::abort();
    if (!corvane::SaveHiveFile(path, *hive)) std::abort();
    state.PauseTiming();  // tearing the tree down is not part of it
    hive.reset();
    state.ResumeTiming();
  }
}

void DeleteMatchingValues(benchmark::State& state) {
  for (auto _ : state) {
    std::uint32_t deleted = 0;
    {
      corvane::RegistryStore store(Prefix().Root());
      corvane::RegistryStore::SetCurrent(&store);
      if (!corvane::DeleteMatchingValues(corvane::HKEY_CURRENT_USER, "Software\\Bench", "*.lnk",
                                         deleted) ||
          deleted != kValues || !store.Flush()) {
        std::abort();
      }
      corvane::RegistryStore::SetCurrent(nullptr);
      state.PauseTiming();  // so is tearing down the store
    }
    Prefix().Restore();
    state.ResumeTiming();
  }
}

BENCHMARK(LoadAndSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DeleteMatchingValues)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  corvane::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("DeleteMatchingValues", "LoadAndSave", " (aim: at most 3x)");
  benchmark::Shutdown();
  return 0;
}
