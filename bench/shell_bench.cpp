// The shell stores the cleaners read, each against a plain reference in the same run:
// - reading 5,000 shortcuts with our link reader against reading their bytes (open, read, close);
//   "ratio" is reader time / plain read time;
// - listing a Trash of 20,000 items and sorting them by the drive they came from, as the recycle
//   bin scan does, against `find -printf '%s'` over the same Trash; "ratio" is scan / find.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "bench/bench_machine.h"
#include "platform/shell/prefix_drives.h"
#include "platform/shell/shell_link.h"
#include "platform/shell/trash.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kShortcuts = 5000;
constexpr int kTrashItems = 20000;

void PutU32(std::string& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A shortcut with link information and a Unicode name, as the shell writes for a document.
std::string Shortcut(const std::string& target) {
  std::string link;
  PutU32(link, 0x4C);
  const std::array<unsigned char, 16> clsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  link.append(reinterpret_cast<const char*>(clsid.data()), clsid.size());
  PutU32(link, 0x2 | 0x4 | 0x80);
  link.resize(0x4C, '\0');
  const std::uint32_t pathAt = 0x1C + 0x11;
  const std::uint32_t suffixAt = pathAt + static_cast<std::uint32_t>(target.size()) + 1;
  for (const std::uint32_t value :
       {suffixAt + 1, 0x1Cu, 0x1u, 0x1Cu, pathAt, 0u, suffixAt, 0x11u, 3u, 0u, 0x10u}) {
    PutU32(link, value);
  }
  link += '\0';
  link += target + '\0' + '\0';
  const std::string name = "Shortcut to a document";
  link += static_cast<char>(name.size());
  link += '\0';
  for (const char c : name) link += std::string{c, '\0'};
  PutU32(link, 0);
  return link;
}

std::size_t ReadBytes(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::array<char, 4096> buffer{};
  std::size_t total = 0;
  ssize_t got = 0;
  while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
    total += static_cast<std::size_t>(got);
  ::close(fd);
  return total;
}

void BM_ReadShortcutsAgainstReadingTheirBytes(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path folder = machine.DriveC("Recent");
  fs::create_directories(folder);
  std::vector<fs::path> files;
  for (int i = 0; i < kShortcuts; ++i) {
    files.push_back(folder / ("document " + std::to_string(i) + ".txt.lnk"));
    std::ofstream(files.back(), std::ios::binary)
        << Shortcut("C:\\users\\ann\\Documents\\document " + std::to_string(i) + ".txt");
  }
  double readerSeconds = 0;
  double plainSeconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    for (const fs::path& file : files) bytes += ReadBytes(file);
    benchmark::DoNotOptimize(bytes);
    plainSeconds += bench::SecondsSince(start);
    start = std::chrono::steady_clock::now();
    std::size_t targets = 0;
    for (const fs::path& file : files) {
      const auto link = ReadShellLink(file);
      targets += link ? link->targetPath.size() : 0;
    }
    benchmark::DoNotOptimize(targets);
    const double seconds = bench::SecondsSince(start);
    readerSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["plain_ms"] = plainSeconds * 1000 / static_cast<double>(state.iterations());
  state.counters["ratio"] = readerSeconds / plainSeconds;
}
BENCHMARK(BM_ReadShortcutsAgainstReadingTheirBytes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_ScanTrashAgainstFind(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path prefix = machine.DriveC("").parent_path().parent_path();
  const fs::path trash = machine.DriveC("").parent_path().parent_path() / "home-trash";
  fs::create_directories(trash / "files");
  fs::create_directories(trash / "info");
  for (int i = 0; i < kTrashItems; ++i) {
    const std::string name = "deleted file " + std::to_string(i) + ".txt";
    std::ofstream(trash / "files" / name) << "x";
    // Half from drive C (as Wine names them), half from the user's home.
    const std::string path =
        i % 2 == 0 ? (prefix / "dosdevices/c:/docs").string() + "/" + name : "/home/ann/" + name;
    std::string encoded;
    for (const char c : path) encoded += c == ' ' ? std::string("%20") : std::string(1, c);
    std::ofstream(trash / "info" / (name + ".trashinfo"))
        << "[Trash Info]\nPath=" << encoded << "\nDeletionDate=2024-01-01T00:00:00\n";
  }
  fs::create_directories(prefix / "drive_c" / "docs");
  double scanSeconds = 0;
  double findSeconds = 0;
  for (auto _ : state) {
    findSeconds += bench::TimeCommand({"find", trash.string(), "-printf", "%s"});
    const auto start = std::chrono::steady_clock::now();
    const Trash bin(trash);
    CleanableDriveFinder drives;
    std::size_t ours = 0;
    for (const TrashItem& item : bin.List()) ours += drives.Find(item.originalPath) ? 1 : 0;
    if (ours != kTrashItems / 2) std::abort();
    const double seconds = bench::SecondsSince(start);
    scanSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["find_ms"] = findSeconds * 1000 / static_cast<double>(state.iterations());
  state.counters["ratio"] = scanSeconds / findSeconds;
}
BENCHMARK(BM_ScanTrashAgainstFind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
