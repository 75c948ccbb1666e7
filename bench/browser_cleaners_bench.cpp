// The browser cleaners against what they are built on, in the same run:
//   classifying 50,000 cookie domains against a blacklist of 100,000 entries (and a whitelist)
//     against `sort` of the same 50,000 domain lines (aim: at most 2x);
//   the scans of all four browser cleaners on a prefix with 20,000 cache entries and 10,000
//     cookies (half Internet Explorer's, half in a Firefox "cookies.txt") against the back-ends'
//     enumerations alone, called straight (aim: at most 2x).
// Each benchmark reports "ratio" = our fastest iteration / the reference's fastest: the machine
// these run on is shared, and the fastest run is the one least disturbed by others.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/bench_shell_folders.h"
#include "cleaners/browser/browser_cache_cleaner.h"
#include "cleaners/browser/browser_cookies_cleaner.h"
#include "cleaners/browser/browser_forms_cleaner.h"
#include "cleaners/browser/browser_history_cleaner.h"
#include "cleaners/ie/ie_autocomplete.h"
#include "cleaners/ie/ie_typed_urls.h"
#include "cleaners/ie/ie_url_cache.h"
#include "cleaners/mozilla/netscape_cache.h"
#include "cleaners/mozilla/netscape_cookies.h"
#include "cleaners/mozilla/netscape_forms.h"
#include "cleaners/mozilla/netscape_history.h"
#include "platform/registry_store.h"
#include "platform/urlcache/url_cache_file.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kCookieDomains = 50'000;
constexpr int kBlacklistEntries = 100'000;
constexpr int kCacheEntries = 20'000;
constexpr int kIeCookies = 5'000;
constexpr int kFirefoxCookies = 5'000;

struct Fastest {
  double ours = 1e9;
  double reference = 1e9;
  void Report(benchmark::State& state) const {
    state.counters["ours_ms"] = ours * 1000;
    state.counters["reference_ms"] = reference * 1000;
    state.counters["ratio"] = ours / reference;
  }
};

template <typename Work>
double Time(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return bench::SecondsSince(start);
}

double RunCommand(std::vector<std::string> arguments, const fs::path& output) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::abort();
  }
  posix_spawn_file_actions_destroy(&actions);
  return bench::SecondsSince(start);
}

std::string Domain(int i) {
  return "host" + std::to_string(i * 7919 % 1'000'003) + ".example";
}

void BM_ClassifyAgainstSort(benchmark::State& state) {
  const bench::BenchMachine machine;
  const fs::path lines = machine.DriveC("domains.txt");
  BrowserScanResult result;
  {
    std::ofstream out(lines, std::ios::binary);
    for (int i = 0; i < kCookieDomains; ++i) {
      out << Domain(i) << '\n';
      result.AddEntry(Domain(i), {});
    }
  }
  DomainList blacklist;
  DomainList whitelist;
  std::string text;
  for (int i = 0; i < kBlacklistEntries; ++i) text += Domain(i * 3) + "\n";
  blacklist.Parse(text);
  text.clear();
  for (int i = 0; i < 1000; ++i) text += Domain(i * 5 + 1) + "\n";
  whitelist.Parse(text);

  Fastest fastest;
  std::uint64_t blacklisted = 0;
  for (auto _ : state) {
    fastest.reference =
        std::min(fastest.reference, RunCommand({"sort", lines.string()}, machine.DriveC("out")));
    const double seconds =
        Time([&] { blacklisted = ClassifyCookieDomains(result, blacklist, whitelist); });
    fastest.ours = std::min(fastest.ours, seconds);
    state.SetIterationTime(seconds);
  }
  fastest.Report(state);
  state.counters["blacklisted"] = static_cast<double>(blacklisted);
}
BENCHMARK(BM_ClassifyAgainstSort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// A prefix whose shell folders put the URL cache containers at C:\cache, C:\cookies and
// C:\history and the application data at C:\appdata and C:\localappdata.
class BrowserBenchMachine {
 public:
  BrowserBenchMachine() {
    for (const char* folder : {"cache/Content.IE5", "history/History.IE5"})
      fs::create_directories(machine_.DriveC(folder));

    WriteContainer(CacheIndex(), kCacheEntries, false);
    WriteContainer(CookiesIndex(), kIeCookies, true);
    const fs::path profile = machine_.DriveC("appdata/Mozilla/Firefox/Profiles/b3nch.default");
    fs::create_directories(profile);
    std::ofstream cookies(profile / "cookies.txt", std::ios::binary);
    cookies << "# Netscape HTTP Cookie File\n\n";
    for (int i = 0; i < kFirefoxCookies; ++i) {
      cookies << ".site" << i % 1500 << ".test\tTRUE\t/\tFALSE\t1924905600\tname" << i
              << "\tvalue\n";
    }
  }

  [[nodiscard]] fs::path CacheIndex() const {
    return machine_.DriveC("cache/Content.IE5/index.dat");
  }
  [[nodiscard]] fs::path CookiesIndex() const { return machine_.DriveC("cookies/index.dat"); }
  // New modification times, so the next enumerations read the containers again.
  void Touch() const {
    static long nanoseconds = 0;
    for (const fs::path& path : {CacheIndex(), CookiesIndex()}) {
      const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, ++nanoseconds}};
      ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }

 private:
  static void WriteContainer(const fs::path& index, int entries, bool cookies) {
    UrlCacheFile file = UrlCacheFile::Create(
        UrlCacheFile::Signature::Wine,
        cookies ? std::vector<std::string>{}
                : std::vector<std::string>{"AAAAAAAA", "BBBBBBBB", "CCCCCCCC", "DDDDDDDD"});
    for (int i = 0; i < entries; ++i) {
      UrlCacheNewEntry entry;
      if (cookies) {
        entry.url =
            "Cookie:bench@site" + std::to_string(i % 1500) + ".example/p" + std::to_string(i);
        entry.entryType = COOKIE_CACHE_ENTRY;
      } else {
        entry.url =
            "http://www.site" + std::to_string(i % 300) + ".example/path/page" + std::to_string(i);
        entry.localName = "page" + std::to_string(i) + "[0].htm";
        entry.directory = static_cast<std::uint8_t>(i % 4);
        entry.size = 4096;
      }
      if (!file.Add(entry)) std::abort();
    }
    std::ofstream(index, std::ios::binary | std::ios::trunc) << file.Bytes();
  }

  bench::BenchMachine machine_;
  bench::BenchShellFolders folders_{machine_,
                                    {{"Cache", "cache"},
                                     {"Cookies", "cookies"},
                                     {"History", "history"},
                                     {"AppData", "appdata"},
                                     {"Local AppData", "localappdata"}}};
};

// Every back-end call the four scans make, straight.
std::size_t EnumerateBackEnds(const PluginOwner& owner) {
  ProgressReporter progress(owner, "bench", "", nullptr);
  BrowserScanResult cache, cookies, history, typed, forms, mozillaCookies, mozillaHistory,
      mozillaForms;
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  if (EnumerateUrlCache(UrlCacheMode::Cache, cache, &progress) != PluginResult::Finished ||
      EnumerateUrlCache(UrlCacheMode::Cookies, cookies, &progress) != PluginResult::Finished ||
      EnumerateUrlCache(UrlCacheMode::History, history, &progress) != PluginResult::Finished ||
      !GetNetscapeCache(bytes, files, progress) || !GetNetscapeCookies(mozillaCookies, progress) ||
      GetNetscapeHistory(mozillaHistory, progress) != 1 ||
      GetNetscapeFormStorageData(mozillaForms, progress) != 1) {
    std::abort();
  }
  static_cast<void>(ScanTypedUrls(typed));
  ScanAutoComplete(forms, &progress);
  return cache.domains.size() + cookies.domains.size() + mozillaCookies.domains.size();
}

void BM_FourScansAgainstBackEnds(benchmark::State& state) {
  const BrowserBenchMachine machine;
  bench::BenchOwner owner;
  DomainList blacklist;
  DomainList whitelist;
  std::string text;
  for (int i = 0; i < 300; ++i) text += "site" + std::to_string(i * 5) + ".example\n";
  blacklist.Parse(text);
  whitelist.Parse("site1.test\n");
  std::vector<PluginPtr> cleaners;
  cleaners.push_back(MakePlugin<BrowserHistoryCleaner>(owner));
  cleaners.push_back(MakePlugin<BrowserCookiesCleaner>(owner, &blacklist, &whitelist));
  cleaners.push_back(MakePlugin<BrowserCacheCleaner>(owner));
  cleaners.push_back(MakePlugin<BrowserFormsCleaner>(owner));
  Event cancel(EventReset::Manual, false);

  Fastest fastest;
  std::size_t domains = 0;
  for (auto _ : state) {
    machine.Touch();
    fastest.reference =
        std::min(fastest.reference, Time([&] { domains = EnumerateBackEnds(owner); }));
    machine.Touch();
    const double seconds = Time([&] {
      for (PluginPtr& cleaner : cleaners) {
        cleaner->StartScan(&cancel);
        cleaner->WaitForWorker();
        if (cleaner->GetScanState() != ScanState::Scanned) std::abort();
      }
    });
    fastest.ours = std::min(fastest.ours, seconds);
    state.SetIterationTime(seconds);
  }
  fastest.Report(state);
  state.counters["domains"] = static_cast<double>(domains);
}
BENCHMARK(BM_FourScansAgainstBackEnds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
