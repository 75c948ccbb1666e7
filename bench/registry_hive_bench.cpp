// Loading and saving the wineboot system.reg, each measured against a plain reference in the
// same run: reading the same bytes, and writing the same bytes with the same fsync and rename.
// At the end the ratios are printed; the aim is at most 5x for both.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/ratio_reporter.h"
#include "platform/registry_hive_file.h"

namespace {

namespace fs = std::filesystem;
using corvane::RegistryHive;

fs::path HivePath() {
  if (const char* path = std::getenv("CORVANE_BENCH_HIVE")) return path;
  return fs::path(__FILE__).parent_path().parent_path() / "tests/fixtures/wine/system.reg";
}

std::string ReadWhole(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) std::abort();
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return bytes;
}

// The reference save: the same bytes, written, synced and renamed the same way.
void PlainAtomicWrite(const fs::path& path, const std::string& bytes) {
  const fs::path temp = path.string() + ".plain.tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    std::abort();
  }
  const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || ::fsync(dir) != 0) std::abort();
  ::close(dir);
}

fs::path Scratch() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "hive-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return fs::path(pattern);
  }();
  return dir;
}

void ReadReference(benchmark::State& state) {
  const fs::path path = HivePath();
  for (auto _ : state) benchmark::DoNotOptimize(ReadWhole(path));
}

void Load(benchmark::State& state) {
  const fs::path path = HivePath();
  for (auto _ : state) {
    auto hive = std::make_unique<RegistryHive>();
    if (corvane::LoadHiveFile(path, *hive) != corvane::HiveLoadResult::Loaded) std::abort();
    benchmark::DoNotOptimize(hive->root.subkeys.size());
    state.PauseTiming();  // tearing the tree down again is not part of loading
    hive.reset();
    state.ResumeTiming();
  }
}

void WriteReference(benchmark::State& state) {
  const std::string bytes = ReadWhole(HivePath());
  const fs::path target = Scratch() / "plain.reg";
  for (auto _ : state) PlainAtomicWrite(target, bytes);
}

void Save(benchmark::State& state) {
  RegistryHive hive;
  if (corvane::LoadHiveFile(HivePath(), hive) != corvane::HiveLoadResult::Loaded) std::abort();
  const fs::path target = Scratch() / "system.reg";
  for (auto _ : state) {
    if (!corvane::SaveHiveFile(target, hive)) std::abort();
  }
}

BENCHMARK(ReadReference)->Unit(benchmark::kMillisecond);
BENCHMARK(Load)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  corvane::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("Load", "ReadReference");
  reporter.PrintRatio("Save", "WriteReference");
  std::error_code ec;
  fs::remove_all(Scratch(), ec);
  benchmark::Shutdown();
  return 0;
}
