// The Mozilla-family back-end's two file passes against grep over the same file in the same run:
// The Mozilla-family back-end's two file passes against grep over the same file in the same run:
// - scanning a "cookies.txt" of 100,000 lines and rewriting it without one domain's cookies
//   (a new file written, synced and renamed over the old one), against `grep -v` of those
//   cookies into a new file;
// - counting the URL hosts of a 50 MB "history.dat", against `grep -c '://'`.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/bench_machine.h"
#include "cleaners/mozilla/cookie_file.h"
#include "cleaners/mozilla/netscape_history.h"
#include "cleaners/mozilla/profile_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kCookieLines = 100'000;
constexpr std::size_t kHistoryBytes = 50u << 20;

// Wall and processor seconds. The processor time (user and system) stays fair on a machine
// busy with other work, where the wall time of a short run is mostly waiting for a core.
struct Timing {
  double wall = 0;
  double cpu = 0;
  Timing& operator+=(const Timing& other) {
    wall += other.wall;
    cpu += other.cpu;
    return *this;
  }
};

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs the command with its output into `output` (grep's exit status 1, "nothing matched", is
// fine).
Timing RunCommand(std::vector<std::string> arguments, const fs::path& output) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  rusage usage{};
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    std::abort();
  }
  Timing timing{bench::SecondsSince(start), Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
  posix_spawn_file_actions_destroy(&actions);
  return timing;
}

// Times one run of `work` in this thread.
template <typename Work>
Timing TimeHere(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  work();
  return {bench::SecondsSince(start), ThreadCpuSeconds() - cpuStart};
}

void Report(benchmark::State& state, const Timing& ours, const Timing& grep) {
  const auto runs = static_cast<double>(state.iterations());
  state.counters["grep_ms"] = grep.wall * 1000 / runs;
  state.counters["grep_cpu_ms"] = grep.cpu * 1000 / runs;
  state.counters["cpu_ms"] = ours.cpu * 1000 / runs;
  state.counters["ratio"] = ours.wall / grep.wall;
  state.counters["ratio_cpu"] = ours.cpu / grep.cpu;
}

std::string CookieFile() {
  std::string text = "# Netscape HTTP Cookie File\n# This is a generated file!  Do not edit.\n\n";
  for (int line = 0; line < kCookieLines; ++line) {
    text += "." + std::string(line % 10 == 0 ? "gone" : "site") + std::to_string(line % 997) +
            ".test\tTRUE\t/\tFALSE\t1924905600\tname" + std::to_string(line) +
            "\tvalue-0123456789abcdef0123456789abcdef\n";
  }
  return text;
}

void BM_CookiesAgainstGrep(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path profile = machine.DriveC("profile");
  fs::create_directories(profile);
  const fs::path master = machine.DriveC("master.txt");
  std::ofstream(master, std::ios::binary) << CookieFile();
  Timing ours;
  Timing grep;
  std::uint32_t removed = 0;
  for (auto _ : state) {
    fs::copy_file(master, profile / "cookies.txt", fs::copy_options::overwrite_existing);
    grep += RunCommand({"grep", "-v", "^\\.gone", master.string()}, machine.DriveC("grep-out.txt"));
    const Timing run = TimeHere([&] {
      std::optional<ProfileFolder> folder = ProfileFolder::Open("C:\\profile");
      BrowserScanResult result;
      FileHandle file = folder->OpenFile("cookies.txt");
      if (!CountCookieFile(file, result)) std::abort();
      for (auto& [name, record] : result.domains) {
        if (name.starts_with("gone")) record.status = DomainStatus::Selected;
      }
      const CookieFileUpdate update = UpdateCookieFile(*folder, result, Overwrite::Off);
      if (!update.ok) std::abort();
      removed = update.removed;
    });
    ours += run;
    state.SetIterationTime(run.wall);
  }
  Report(state, ours, grep);
  state.counters["removed"] = removed;
}
BENCHMARK(BM_CookiesAgainstGrep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_HistoryAgainstGrep(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path history = machine.DriveC("profile") / "history.dat";
  fs::create_directories(history.parent_path());
  {
    // Rows as Firefox writes them: the URL, two dates, a visit count, the page title as UTF-16
    // with "$00" escapes and the host name.
    std::string block = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n";
    for (int row = 0; block.size() < (1u << 20) - 512; ++row) {
      const std::string site = "www.site" + std::to_string(row % 300) + ".test";
      std::string title;
      for (char c : "A page of the site, number " + std::to_string(row)) (title += c) += "$00";
      block +=
          "[-" + std::to_string(row) + "(^83=http://" + site + "/path/page" + std::to_string(row) +
          ".html)(^84=1153401458382000)(^85=1153401458382000)(^86=" + std::to_string(row % 9 + 1) +
          ")(^87=" + title + ")(^88=" + site + ")]\n";
    }
    block.resize(1u << 20, ' ');
    std::ofstream out(history, std::ios::binary);
    for (std::size_t written = 0; written < kHistoryBytes; written += block.size())
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  Timing ours;
  Timing grep;
  std::size_t hosts = 0;
  for (auto _ : state) {
    // Into a file: grep stops at the first match when its output is /dev/null.
    grep += RunCommand({"grep", "-c", "://", history.string()}, machine.DriveC("grep-count.txt"));
    const Timing run = TimeHere([&] {
      std::optional<ProfileFolder> folder = ProfileFolder::Open("C:\\profile");
      FileHandle file = folder->OpenFile("history.dat");
      BrowserScanResult result;
      if (!CountHistoryUrls(file, result)) std::abort();
      hosts = result.domains.size();
    });
    ours += run;
    state.SetIterationTime(run.wall);
  }
  Report(state, ours, grep);
  state.counters["hosts"] = static_cast<double>(hosts);
}
BENCHMARK(BM_HistoryAgainstGrep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
