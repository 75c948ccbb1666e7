// The URL cache calls against plain file work on the same container, in the same run:
//   enumerating a container of 20,000 cache entries (FindFirst/FindNextUrlCacheEntryW, the file
//     read afresh each time) against reading the file's bytes (aim: at most 3x);
//   deleting 10,000 of its history entries (DeleteUrlCacheEntryW, then FlushUrlCache, which
//     writes the changes in place and syncs them) against copying the file to a new one and
//     syncing that (aim: at most 3x). History entries have no cached files, so this measures the
//     container work alone.
// Each benchmark reports "ratio" = our fastest iteration / the reference's fastest: the machine
// these run on is shared, and the fastest run is the one least disturbed by others.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "bench/bench_shell_folders.h"
#include "platform/registry_store.h"
#include "platform/urlcache/url_cache.h"
#include "platform/urlcache/url_cache_file.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr int kEntries = 20000;
constexpr int kDeleted = 10000;

// A bench machine whose shell folders put the containers at C:\cache, C:\cookies, C:\history.
class UrlCacheBenchMachine {
 public:
  UrlCacheBenchMachine() {
    for (const char* folder : {"cache/Content.IE5", "history/History.IE5"})
      fs::create_directories(machine_.DriveC(folder));
  }

  [[nodiscard]] fs::path CacheIndex() const {
    return machine_.DriveC("cache/Content.IE5/index.dat");
  }
  [[nodiscard]] fs::path HistoryIndex() const {
    return machine_.DriveC("history/History.IE5/index.dat");
  }

 private:
  bench::BenchMachine machine_;
  bench::BenchShellFolders folders_{
      machine_, {{"Cache", "cache"}, {"Cookies", "cookies"}, {"History", "history"}}};
};

void WriteContainer(const fs::path& index, bool history) {
  UrlCacheFile file = UrlCacheFile::Create(
      UrlCacheFile::Signature::Wine,
      history ? std::vector<std::string>{}
              : std::vector<std::string>{"AAAAAAAA", "BBBBBBBB", "CCCCCCCC", "DDDDDDDD"});
  for (int i = 0; i < kEntries; ++i) {
    UrlCacheNewEntry entry;
    const std::string url =
        "http://www.site" + std::to_string(i % 300) + ".example/path/page" + std::to_string(i);
    if (history) {
      entry.url = "Visited: bench@" + url;
      entry.entryType = URLHISTORY_CACHE_ENTRY;
    } else {
      entry.url = url;
      entry.localName = "page" + std::to_string(i) + "[0].htm";
      entry.directory = static_cast<std::uint8_t>(i % 4);
      entry.size = 4096;
    }
    if (!file.Add(entry)) std::abort();
  }
  std::ofstream(index, std::ios::binary | std::ios::trunc) << file.Bytes();
}

// A new modification time, so the next enumeration reads the file again.
void Touch(const fs::path& path) {
  static long nanoseconds = 0;
  const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, ++nanoseconds}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

double ReadWhole(const fs::path& path) {
  const auto start = std::chrono::steady_clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> bytes(static_cast<std::size_t>(fs::file_size(path)));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got <= 0) std::abort();
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  benchmark::DoNotOptimize(bytes.data());
  return bench::SecondsSince(start);
}

double CopySynced(const fs::path& from, const fs::path& to) {
  const auto start = std::chrono::steady_clock::now();
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::vector<char> buffer(1 << 20);
  ssize_t got = 0;
  while ((got = ::read(in, buffer.data(), buffer.size())) > 0) {
    if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got) std::abort();
  }
  if (::fdatasync(out) != 0) std::abort();
  ::close(in);
  ::close(out);
  return bench::SecondsSince(start);
}

// The fastest time seen of each side.
struct Fastest {
  double ours = 1e9;
  double reference = 1e9;
  void Report(benchmark::State& state) const {
    state.counters["ours_ms"] = ours * 1000;
    state.counters["reference_ms"] = reference * 1000;
    state.counters["ratio"] = ours / reference;
  }
};

void BM_EnumerateAgainstRead(benchmark::State& state) {
  const UrlCacheBenchMachine machine;
  WriteContainer(machine.CacheIndex(), false);
  std::vector<std::uint64_t> buffer(8192);
  Fastest fastest;
  for (auto _ : state) {
    fastest.reference = std::min(fastest.reference, ReadWhole(machine.CacheIndex()));
    Touch(machine.CacheIndex());
    const auto start = std::chrono::steady_clock::now();
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size() * 8);
    UrlCacheFindHandle find = FindFirstUrlCacheEntryW("", entry, &size);
    int count = find != nullptr ? 1 : 0;
    while (find != nullptr) {
      size = static_cast<DWORD>(buffer.size() * 8);
      if (!FindNextUrlCacheEntryW(find, entry, &size)) break;
      ++count;
    }
    FindCloseUrlCache(find);
    const double seconds = bench::SecondsSince(start);
    if (count != kEntries) {
      state.SkipWithError("the container was not enumerated whole");
      return;
    }
    fastest.ours = std::min(fastest.ours, seconds);
    state.SetIterationTime(seconds);
  }
  fastest.Report(state);
}
BENCHMARK(BM_EnumerateAgainstRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DeleteAgainstCopy(benchmark::State& state) {
  const UrlCacheBenchMachine machine;
  const fs::path pristine = machine.HistoryIndex().string() + ".pristine";
  WriteContainer(pristine, true);
  Fastest fastest;
  for (auto _ : state) {
    fs::copy_file(pristine, machine.HistoryIndex(), fs::copy_options::overwrite_existing);
    fastest.reference = std::min(fastest.reference,
                                 CopySynced(pristine, machine.HistoryIndex().string() + ".copy"));
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (int i = 0; i < kEntries && ok; i += kEntries / kDeleted) {
      ok = DeleteUrlCacheEntryW("Visited: bench@http://www.site" + std::to_string(i % 300) +
                                ".example/path/page" + std::to_string(i));
    }
    ok = ok && FlushUrlCache();
    const double seconds = bench::SecondsSince(start);
    if (!ok) {
      state.SkipWithError("a deletion failed");
      return;
    }
    fastest.ours = std::min(fastest.ours, seconds);
    state.SetIterationTime(seconds);
  }
  fastest.Report(state);
}
BENCHMARK(BM_DeleteAgainstCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
