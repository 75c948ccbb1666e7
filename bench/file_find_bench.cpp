// Walking a tree of 50,000 files with FindFirstFileW / FindNextFileW through machine paths,
// against `find` over the same tree in the same run. "ratio" is walk time / plain `find` time
// (names only); "ratio_stat" is against `find -printf "%s %T@"`, which reads the size and time a
// listing must also give, as the walk does.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_find.h"
#include "platform/file_status.h"
#include "platform/machine.h"

extern char** environ;

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;

// A minimal prefix whose C: drive holds the tree; removed when the benchmark ends.
class BenchMachine {
 public:
  BenchMachine() {
    std::string pattern = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    for (const char* hive : {"system.reg", "user.reg"})
      std::ofstream(root_ / hive) << "WINE REGISTRY Version 2\n";
    fs::create_directories(root_ / "dosdevices");
    fs::create_symlink("../drive_c", root_ / "dosdevices" / "c:");
    for (int folder = 0; folder < kFolders; ++folder) {
      const fs::path dir = root_ / "drive_c" / "tree" / ("Folder" + std::to_string(folder));
      fs::create_directories(dir);
      for (int file = 0; file < kFilesPerFolder; ++file)
        std::ofstream(dir / ("File" + std::to_string(file) + ".dat")) << "x";
    }
    machine_ = Machine::Open(root_, nullptr);
    Machine::SetCurrent(machine_.get());
  }
  ~BenchMachine() {
    Machine::SetCurrent(nullptr);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  [[nodiscard]] fs::path Tree() const { return root_ / "drive_c" / "tree"; }

 private:
  fs::path root_;
  std::unique_ptr<Machine> machine_;
};

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

enum class FindOutput { Names, SizesAndTimes };

double RunFind(const fs::path& tree, FindOutput output) {
  const auto start = std::chrono::steady_clock::now();
  std::string program = "find";
  std::string path = tree.string();
  std::string printf = "-printf";
  std::string format = "%s %T@\n";
  char* names[] = {program.data(), path.data(), nullptr};
  char* sizes[] = {program.data(), path.data(), printf.data(), format.data(), nullptr};
  char** argv = output == FindOutput::Names ? names : sizes;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) == 0) ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WalkAgainstFind(benchmark::State& state) {
  const BenchMachine machine;
  double walkSeconds = 0;
  double findSeconds = 0;
  double findStatSeconds = 0;
  for (auto _ : state) {
    findSeconds += RunFind(machine.Tree(), FindOutput::Names);
    findStatSeconds += RunFind(machine.Tree(), FindOutput::SizesAndTimes);
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Walk("C:\\tree"));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
