#include "cleaners/ie/ie_url_cache.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "app/trace_log.h"
#include "platform/event.h"
#include "platform/urlcache/url_cache.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_plugin_owner.h"
#include "tests/support/url_cache_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The trace log goes to the current directory: a scratch folder of the test's own.
class TraceFolder {
 public:
  TraceFolder() : previous_(fs::current_path()) { fs::current_path(folder_.Path()); }
  ~TraceFolder() { fs::current_path(previous_); }
  [[nodiscard]] std::string Log() const {
    return test::ScratchFolder::Read(folder_ / kTraceLogFileName);
  }

 private:
  test::ScratchFolder folder_;
  fs::path previous_;
};

std::set<std::string> Domains(const BrowserScanResult& result) {
  std::set<std::string> domains;
  for (const auto& [key, record] : result.domains) domains.insert(key);
  return domains;
}

class IeUrlCacheTest : public ::testing::Test {
 protected:
  IeUrlCacheTest() { machine_.InstallWineContainers(); }

  test::UrlCacheMachine machine_;
  TraceFolder trace_;
};

TEST_F(IeUrlCacheTest, EachModeFilesItsEntriesByDomain) {
  BrowserScanResult cache;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, cache, nullptr), PluginResult::Finished);
  EXPECT_EQ(Domains(cache),
            (std::set<std::string>{"example.com", "keep.example.net", "news.example.org"}));
  const DomainRecord& example = cache.domains.at("example.com");
  EXPECT_EQ(example.itemCount, 2u);
  EXPECT_EQ(example.size, 16u);
  ASSERT_EQ(example.entries.size(), 2u);
  EXPECT_TRUE(example.entries[0].localFile.starts_with(
      "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCache\\Content.IE5\\"));
  EXPECT_EQ(cache.items, 4u);

  BrowserScanResult cookies;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cookies, cookies, nullptr), PluginResult::Finished);
  EXPECT_EQ(Domains(cookies), (std::set<std::string>{"example.com", "keep.example.net"}));
  EXPECT_EQ(cookies.domains.at("example.com").entries[0].url, "Cookie:root@www.example.com/");

  BrowserScanResult history;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::History, history, nullptr), PluginResult::Finished);
  EXPECT_EQ(Domains(history), (std::set<std::string>{"example.com", "keep.example.net"}));
  EXPECT_TRUE(history.domains.at("example.com").entries[0].localFile.empty());
}

TEST_F(IeUrlCacheTest, AnEmptyCacheIsDoneWithNothing) {
  fs::remove(machine_.CacheIndex());
  fs::remove(machine_.CookiesIndex());
  fs::remove(machine_.HistoryIndex());
  BrowserScanResult result;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, result, nullptr), PluginResult::Finished);
  EXPECT_TRUE(result.domains.empty());
}

TEST_F(IeUrlCacheTest, ABrokenContainerFailsTheScanAndTheLogNamesIt) {
  std::ofstream(machine_.CacheIndex(), std::ios::binary | std::ios::trunc) << "garbage";
  BrowserScanResult result;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, result, nullptr), PluginResult::Failed);
  const std::string log = trace_.Log();
  EXPECT_NE(log.find("FindFirstUrlCacheEntry: Unnable to open Enumeration"), std::string::npos);
  EXPECT_NE(log.find("Content.IE5\\index.dat"), std::string::npos);
}

TEST_F(IeUrlCacheTest, ErasingSelectedDomainsOverwritesAndDeletesOnlyThem) {
  BrowserScanResult cache;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, cache, nullptr), PluginResult::Finished);
  DomainRecord& example = cache.domains.at("example.com");
  example.status = DomainStatus::Selected;
  const std::vector<DomainEntry> entries = example.entries;
  // One file is already gone: its entry still goes.
  fs::remove(machine_.Temp().Host(entries[1].localFile));

  DeletionAccumulator tally;
  ASSERT_EQ(UpdateIECache(cache, true, nullptr, &tally), PluginResult::Finished);
  EXPECT_EQ(example.status, DomainStatus::Erased);
  EXPECT_TRUE(example.entries.empty());
  EXPECT_EQ(cache.domains.at("keep.example.net").status, DomainStatus::Found);
  EXPECT_EQ(tally.Erased().items, 2u);
  EXPECT_EQ(tally.Erased().bytes, 16u);
  EXPECT_EQ(cache.items, 2u);
  for (const DomainEntry& entry : entries)
    EXPECT_FALSE(fs::exists(machine_.Temp().Host(entry.localFile)));

  BrowserScanResult again;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, again, nullptr), PluginResult::Finished);
  EXPECT_EQ(Domains(again), (std::set<std::string>{"keep.example.net", "news.example.org"}));
}

TEST_F(IeUrlCacheTest, AFailedDeletionMarksTheDomainAndIsTraced) {
  BrowserScanResult cache;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, cache, nullptr), PluginResult::Finished);
  DomainRecord& news = cache.domains.at("news.example.org");
  news.status = DomainStatus::Selected;
  const fs::path file = machine_.Temp().Host(news.entries[0].localFile);
  fs::remove(file);
  fs::create_directory(file);  // cannot be deleted as a file
  DeletionAccumulator tally;
  ASSERT_EQ(UpdateIECache(cache, false, nullptr, &tally), PluginResult::Finished);
  EXPECT_EQ(news.status, DomainStatus::Failed);
  EXPECT_EQ(tally.NotErased().items, 1u);
  EXPECT_NE(
      trace_.Log().find("UpdateIECache:DeleteUrlCacheEntry: AccessDenied file:C:\\users\\root"),
      std::string::npos);
}

// A history container of `count` entries over a few domains, written by our own writer.
void WriteLargeHistory(const fs::path& index, int count) {
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {});
  for (int i = 0; i < count; ++i) {
    UrlCacheNewEntry entry;
    entry.url =
        "Visited: root@http://site" + std::to_string(i % 20) + ".example/" + std::to_string(i);
    entry.entryType = URLHISTORY_CACHE_ENTRY;
    ASSERT_TRUE(file.Add(entry));
  }
  std::ofstream(index, std::ios::binary | std::ios::trunc) << file.Bytes();
}

TEST_F(IeUrlCacheTest, ProgressEveryHundredEntriesAndCancellationStopTheRun) {
  WriteLargeHistory(machine_.HistoryIndex(), 450);
  test::TestOwner owner;
  Event cancel;
  ProgressReporter progress(owner, "BrowserHistory", "page", &cancel);
  BrowserScanResult result;
  ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::History, result, &progress), PluginResult::Finished);
  EXPECT_EQ(result.items, 450u);
  EXPECT_EQ(result.domains.size(), 20u);

  cancel.Set();
  BrowserScanResult cancelled;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::History, cancelled, &progress),
            PluginResult::Cancelled);
  EXPECT_EQ(cancelled.items, 101u);

  // The erase asks before the sixth selected domain.
  for (auto& [key, record] : result.domains) record.status = DomainStatus::Selected;
  EXPECT_EQ(UpdateIECache(result, false, &progress, nullptr), PluginResult::Cancelled);
  std::size_t erased = 0;
  for (const auto& [key, record] : result.domains) erased += record.status == DomainStatus::Erased;
  EXPECT_EQ(erased, 5u);
}

bool HasProgram(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Runs a shell command line; its exit status.
int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Wine fills a real prefix through WinInet, we scan it and erase two domains, and Wine's own
// enumeration then lists exactly the rest, with their files intact.
TEST(IeUrlCacheWineTest, WineSeesExactlyWhatTheEraseLeft) {
  if (!HasProgram("wine64") && !HasProgram("wine")) GTEST_SKIP() << "wine is not installed";
  if (!HasProgram("x86_64-w64-mingw32-gcc")) GTEST_SKIP() << "mingw-w64 is not installed";
  test::ScratchFolder work;
  const std::string fixtures = std::string(CORVANE_FIXTURES_DIR) + "/ie";
  const std::string home = work / "home";
  const std::string prefix = work / "prefix";
  fs::create_directories(home);
  fs::create_directories(prefix);
  const std::string tool = work / "urlcache-tool.exe";
  ASSERT_EQ(Shell("x86_64-w64-mingw32-gcc -O2 -o '" + tool + "' '" + fixtures +
                  "/urlcache-tool.c' -lwininet"),
            0);
  const std::string wine = std::string("HOME='") + home + "' WINEPREFIX='" + prefix +
                           "' WINEDEBUG=-all " + (HasProgram("wine64") ? "wine64" : "wine");
  const std::string server = "HOME='" + home + "' WINEPREFIX='" + prefix + "' wineserver";
  struct ServerGone {
    std::string server;
    ~ServerGone() { (void)Shell(server + " -k >/dev/null 2>&1"); }
  } serverGone{server};
  ASSERT_EQ(Shell(wine + " wineboot -i >/dev/null 2>&1"), 0);
  ASSERT_EQ(Shell(wine + " '" + tool + "' fill '" + fixtures + "/fill.txt'"), 0);
  ASSERT_EQ(Shell(server + " -w"), 0);

  std::string error;
  std::unique_ptr<Machine> machine = Machine::Open(prefix, &error);
  ASSERT_TRUE(machine) << error;
  Machine* previousMachine = Machine::Current();
  Machine::SetCurrent(machine.get());
  RegistryStore* previousRegistry = RegistryStore::Current();
  {
    RegistryStore registry(prefix);
    RegistryStore::SetCurrent(&registry);
    TraceFolder trace;

    BrowserScanResult cache, cookies, history;
    ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, cache, nullptr), PluginResult::Finished);
    ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::Cookies, cookies, nullptr), PluginResult::Finished);
    ASSERT_EQ(EnumerateUrlCache(UrlCacheMode::History, history, nullptr), PluginResult::Finished);
    EXPECT_EQ(cache.items + cookies.items + history.items, 8u);
    for (BrowserScanResult* result : {&cache, &cookies, &history})
      result->domains.at("example.com").status = DomainStatus::Selected;
    cache.domains.at("news.example.org").status = DomainStatus::Selected;
    for (BrowserScanResult* result : {&cache, &cookies, &history})
      ASSERT_EQ(UpdateIECache(*result, true, nullptr, nullptr), PluginResult::Finished);
    for (BrowserScanResult* result : {&cache, &cookies, &history})
      EXPECT_EQ(result->domains.at("example.com").status, DomainStatus::Erased);
    RegistryStore::SetCurrent(previousRegistry);
  }
  Machine::SetCurrent(previousMachine);

  const std::string listed = work / "listed.txt";
  ASSERT_EQ(Shell(wine + " '" + tool + "' list > '" + listed + "'"), 0);
  const std::vector<test::ListedEntry> left =
      test::ParseListedEntries(test::ScratchFolder::Read(listed));
  std::set<std::string> urls;
  for (const test::ListedEntry& entry : left) {
    urls.insert(entry.url);
    if (!entry.localFile.empty()) {
      EXPECT_EQ(entry.state, "ok") << entry.url;
    }
  }
  const std::string user =
      left.empty() ? "" : left.front().url.substr(7, left.front().url.find('@') - 7);
  EXPECT_EQ(urls, (std::set<std::string>{"Cookie:" + user + "@keep.example.net/",
                                         "Visited: " + user + "@http://keep.example.net/index.html",
                                         "http://keep.example.net/index.html"}));
}

}  // namespace
}  // namespace corvane
