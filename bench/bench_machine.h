#pragma once
// What the file benchmarks share: a minimal prefix whose C: drive holds the trees they walk, the
// trees themselves, and timing a reference command (find, rm, dd) run in the same process.

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine.h"

extern char** environ;

namespace corvane::bench {

// The current machine while it lives; removed with everything on it afterwards.
class BenchMachine {
 public:
  BenchMachine() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    for (const char* hive : {"system.reg", "user.reg"})
      std::ofstream(root_ / hive) << "WINE REGISTRY Version 2\n";
    std::filesystem::create_directories(root_ / "dosdevices");
    std::filesystem::create_directories(root_ / "drive_c");
    std::filesystem::create_symlink("../drive_c", root_ / "dosdevices" / "c:");
    machine_ = Machine::Open(root_, nullptr);
    if (!machine_) std::abort();
    Machine::SetCurrent(machine_.get());
  }
  ~BenchMachine() {
    Machine::SetCurrent(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

  // The host folder of C:\<name>.
  [[nodiscard]] std::filesystem::path DriveC(const std::string& name) const {
    return root_ / "drive_c" / name;
  }

 private:
  std::filesystem::path root_;
  std::unique_ptr<Machine> machine_;
};

// `folders` folders "Folder<n>" of `files` one-byte files "File<n>.dat" each.
inline void MakeTree(const std::filesystem::path& tree, int folders, int files) {
  for (int folder = 0; folder < folders; ++folder) {
    const std::filesystem::path dir = tree / ("Folder" + std::to_string(folder));
    std::filesystem::create_directories(dir);
    for (int file = 0; file < files; ++file)
      std::ofstream(dir / ("File" + std::to_string(file) + ".dat")) << "x";
  }
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the command (found on PATH) with its output thrown away; the seconds it took. Aborts when
// it fails, so a ratio is never taken against a reference that did nothing.
inline double TimeCommand(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::abort();
  }
  const double seconds = SecondsSince(start);
  posix_spawn_file_actions_destroy(&actions);
  return seconds;
}

}  // namespace corvane::bench
