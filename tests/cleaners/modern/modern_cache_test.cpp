#include "cleaners/modern/modern_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/demo_cache_entries.h"
#include "engine/deletion_tally.h"
#include "engine/erase_fault.h"
#include "platform/event.h"
#include "tests/support/modern_machine.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::kLocal;
using test::kRoaming;

constexpr char kSimpleKey[] = "1/0/_dk_https://beta.test https://beta.test ";

void Write(const fs::path& file, std::size_t size) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << std::string(size, 'x');
}

class ModernCacheTest : public test::ModernCleanerTest<ModernCache> {
 protected:
  ModernCacheTest() {
    // Firefox: the roaming profile holds the lock, the local twin the cache.
    test::MakeFirefoxProfile(machine_, "ab12.default");
    cache2_ = machine_.MakeFolder(std::string(kLocal) +
                                  "Mozilla\\Firefox\\Profiles\\ab12.default\\cache2");
    EXPECT_TRUE(MakeFirefoxCacheEntry(cache2_ / "entries" / "A1", "a,:https://www.beta.test/",
                                      std::string(1000, 'd'), 1700000000));
    EXPECT_TRUE(MakeFirefoxCacheEntry(cache2_ / "entries" / "A2",
                                      "O^partitionKey=%28https%2Cbeta.test%29,:https://beta.test/x",
                                      std::string(300000, 'd')));
    EXPECT_TRUE(
        MakeFirefoxCacheEntry(cache2_ / "doomed" / "A3", ":http://beta.testing.com/", "d", 0, 1));
    Write(cache2_ / "entries" / "A4", 3);  // too short for any metadata
    Write(cache2_ / "index", 100);
    Write(cache2_ / "index.log", 10);

    chrome_ = test::MakeChromeProfile(machine_);
    const fs::path data = chrome_ / "Cache" / "Cache_Data";
    EXPECT_TRUE(MakeSimpleCacheEntry(data / "00000000000000b1_0",
                                     std::string(kSimpleKey) + "https://beta.test/img.png",
                                     std::string(500, 'i')));
    Write(data / "00000000000000b1_1", 2000);
    Write(data / "00000000000000b1_s", 3000);
    EXPECT_TRUE(MakeSimpleCacheEntry(data / "00000000000000c1_0",
                                     "1/0/_dk_https://keep.test https://keep.test "
                                     "https://keep.test/",
                                     "k"));
    Write(data / "00000000000000d1_1", 70);  // a companion without its entry
    Write(data / "index", 24);
    Write(data / "index-dir" / "the-real-index", 48);
    EXPECT_TRUE(MakeSimpleCacheEntry(chrome_ / "Code Cache" / "js" / "00000000000000e1_0",
                                     "_keyhttps://www.beta.test/a.js \nhttps://beta.test/", "c"));
    Write(chrome_ / "GPUCache" / "data_0", 8192);
    Write(chrome_ / "GPUCache" / "index", 256);

    // Steam's embedded browser: the user-data folder is the profile.
    steam_ = machine_.MakeFolder(std::string(kLocal) + "Steam\\htmlcache");
    EXPECT_TRUE(MakeSimpleCacheEntry(steam_ / "Cache" / "Cache_Data" / "00000000000000f1_0",
                                     "1/0/_dk_https://store.test https://store.test "
                                     "https://store.test/app",
                                     "s"));
    epic_ = machine_.MakeFolder(std::string(kLocal) + "EpicGamesLauncher\\Saved\\webcache_4430");
    Write(epic_ / "GPUCache" / "data_1", 4096);
  }

  fs::path cache2_;
  fs::path chrome_;
  fs::path steam_;
  fs::path epic_;
};

TEST_F(ModernCacheTest, ScanFilesEveryEntryUnderItsHostWithAllItsBytes) {
  BrowserResults results = Scan();
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  ASSERT_TRUE(firefox.domains.contains("beta.test"));
  const DomainRecord& beta = firefox.domains.at("beta.test");
  EXPECT_EQ(beta.itemCount, 2u);
  EXPECT_GT(beta.size, 301000u);
  ASSERT_EQ(beta.entries.size(), 2u);
  const auto www =
      std::find_if(beta.entries.begin(), beta.entries.end(),
                   [](const DomainEntry& entry) { return entry.url == "https://www.beta.test/"; });
  ASSERT_NE(www, beta.entries.end());
  EXPECT_EQ(www->lastAccess, (1700000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_NE(www->localFile.find("cache2\\entries\\A1"), std::string::npos);
  EXPECT_EQ(firefox.domains.at("beta.testing.com").itemCount, 1u);
  EXPECT_EQ(firefox.domains.at(kOtherCacheDomain).itemCount, 1u);  // the unreadable one
  EXPECT_EQ(firefox.items, 4u);

  const BrowserScanResult& chrome = results[BrowserCode::Chrome];
  // The HTTP entry with its two companions, and the Code Cache entry filed under its site.
  const DomainRecord& chromeBeta = chrome.domains.at("beta.test");
  EXPECT_EQ(chromeBeta.itemCount, 2u);
  const auto entryBytes = fs::file_size(chrome_ / "Cache" / "Cache_Data" / "00000000000000b1_0");
  EXPECT_EQ(chromeBeta.entries[0].size, entryBytes + 5000);
  EXPECT_EQ(chromeBeta.entries[0].url, "https://beta.test/img.png");
  EXPECT_EQ(chrome.domains.at("keep.test").itemCount, 1u);
  EXPECT_EQ(chrome.domains.at(kOtherCacheDomain).itemCount, 1u);  // the lone companion
  EXPECT_EQ(chrome.domains.at(kGpuCacheDomain).itemCount, 2u);
  EXPECT_EQ(chrome.domains.at(kGpuCacheDomain).size, 8192u + 256u);
  EXPECT_EQ(chrome.items, 6u);

  EXPECT_EQ(results[BrowserCode::Steam].domains.at("store.test").itemCount, 1u);
  EXPECT_EQ(results[BrowserCode::EpicGames].domains.at(kGpuCacheDomain).size, 4096u);
}

TEST_F(ModernCacheTest, AnAbsoluteFirefoxProfileKeepsItsCacheInsideItself) {
  machine_.WriteFile("C:\\Portable\\fx\\prefs.js", "");
  const fs::path portable = machine_.Host("C:\\Portable\\fx");
  EXPECT_TRUE(MakeFirefoxCacheEntry(portable / "cache2" / "entries" / "B1",
                                    "a,:https://portable.test/", "p"));
  machine_.WriteFile(std::string(kRoaming) + "Mozilla\\Firefox\\profiles.ini",
                     "[Profile0]\nIsRelative=1\nPath=Profiles/ab12.default\n"
                     "[Profile1]\nIsRelative=0\nPath=C:\\Portable\\fx\n");
  BrowserResults results = Scan();
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("portable.test").itemCount, 1u);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").itemCount, 2u);  // once
}

TEST_F(ModernCacheTest, EraseTakesTheSelectedHostsFilesAndTheIndexesOfTheirCaches) {
  BrowserResults results = Scan();
  Select(results, "beta.test");
  Select(results, kOtherCacheDomain);
  DeletionAccumulator tally;
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::On, progress_, &tally));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("keep.test").status, DomainStatus::Found);

  const fs::path data = chrome_ / "Cache" / "Cache_Data";
  for (const fs::path& gone :
       {cache2_ / "entries" / "A1", cache2_ / "entries" / "A2", cache2_ / "entries" / "A4",
        cache2_ / "index", cache2_ / "index.log", data / "00000000000000b1_0",
        data / "00000000000000b1_1", data / "00000000000000b1_s", data / "00000000000000d1_1",
        data / "index", data / "index-dir" / "the-real-index",
        chrome_ / "Code Cache" / "js" / "00000000000000e1_0"}) {
    EXPECT_FALSE(fs::exists(gone)) << gone;
  }
  for (const fs::path& kept :
       {cache2_ / "doomed" / "A3", data / "00000000000000c1_0", chrome_ / "GPUCache" / "index"}) {
    EXPECT_TRUE(fs::exists(kept)) << kept;
  }
  // 3 Firefox entry files and its 2 index files; 3 + 1 Chrome files, its 2 index files and the
  // Code Cache entry (whose cache has no index).
  EXPECT_EQ(tally.Erased().items, 3u + 2u + 4u + 2u + 1u);

  BrowserResults left = Scan();
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("beta.test"));
  EXPECT_TRUE(left[BrowserCode::Firefox].domains.contains("beta.testing.com"));
  EXPECT_FALSE(left[BrowserCode::Chrome].domains.contains("beta.test"));
  EXPECT_TRUE(left[BrowserCode::Chrome].domains.contains("keep.test"));
  EXPECT_TRUE(left[BrowserCode::Steam].domains.contains("store.test"));
}

TEST_F(ModernCacheTest, ACacheInUseOrBehindALinkIsLeftAlone) {
  // A cache folder that is a link to files outside the prefix is refused, never read or erased.
  const fs::path outside = machine_.HostRoot() / "outside-cache";
  EXPECT_TRUE(MakeSimpleCacheEntry(outside / "00000000000000a1_0",
                                   std::string(kSimpleKey) + "https://beta.test/", "o"));
  fs::remove_all(chrome_ / "Code Cache" / "js");
  fs::create_symlink(outside, chrome_ / "Code Cache" / "js");
  machine_.WriteFile(std::string(kLocal) + "Steam\\htmlcache\\lockfile", "");
  const test::WineServerLockHolder server(machine_.Prefix());

  BrowserResults results = Scan();
  const std::string refused =
      std::string(kLocal) + "Google\\Chrome\\User Data\\Default\\Code Cache\\js\\: refused: a link";
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Chrome, refused));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at(refused).status, DomainStatus::Failed);
  Select(results, "beta.test");
  Select(results, "store.test");
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::Off, progress_, nullptr));
  EXPECT_TRUE(fs::exists(outside / "00000000000000a1_0"));
  // Chrome has no lock file, Steam's embedded browser holds its cache: its files stay.
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Steam].domains.at("store.test").status, DomainStatus::Failed);
  EXPECT_TRUE(fs::exists(steam_ / "Cache" / "Cache_Data" / "00000000000000f1_0"));
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Steam,
                                 std::string(kLocal) +
                                     "Steam\\htmlcache\\Cache\\Cache_Data\\: in use by the "
                                     "browser, left alone"));
}

TEST_F(ModernCacheTest, AnUnreadableFolderIsAFailureRowNotAnEmptyCache) {
  const std::string doomed =
      std::string(kLocal) + "Mozilla\\Firefox\\Profiles\\ab12.default\\cache2\\doomed\\";
  const std::string gpu = std::string(kLocal) + "Google\\Chrome\\User Data\\Default\\GPUCache\\";
  const ScopedEraseFault fault([&](EraseStep step, std::string_view path) -> DWORD {
    const bool unreadable = step == EraseStep::ListFolder && (path == doomed || path == gpu);
    return unreadable ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  });
  BrowserResults results = Scan();
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Firefox, doomed + ": cannot be read"));
  EXPECT_FALSE(results[BrowserCode::Firefox].domains.contains("beta.testing.com"));
  EXPECT_TRUE(results[BrowserCode::Firefox].domains.contains("beta.test"));  // the rest counts
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Chrome, gpu + ": cannot be read"));
  EXPECT_FALSE(results[BrowserCode::Chrome].domains.contains(kGpuCacheDomain));
}

TEST_F(ModernCacheTest, AFileThatWillNotGoLeavesItsDomainFailed) {
  BrowserResults results = Scan();
  const ScopedEraseFault fault([](EraseStep step, std::string_view path) -> DWORD {
    const bool stuck = step == EraseStep::Delete && path.ends_with("00000000000000b1_s");
    return stuck ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  });
  Select(results, "beta.test");
  Select(results, "keep.test");
  DeletionAccumulator tally;
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::Off, progress_, &tally));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Failed);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("keep.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_TRUE(fs::exists(chrome_ / "Cache" / "Cache_Data" / "00000000000000b1_s"));
  EXPECT_FALSE(fs::exists(chrome_ / "Cache" / "Cache_Data" / "00000000000000c1_0"));
}

TEST_F(ModernCacheTest, TheFirefoxCacheIsInUseWhileItsRoamingProfileIsLocked) {
  machine_.WriteFile(std::string(kRoaming) + "Mozilla\\Firefox\\Profiles\\ab12.default\\lock", "");
  const test::WineServerLockHolder server(machine_.Prefix());
  BrowserResults results = Scan();
  Select(results, "beta.test");
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::Off, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Failed);
  EXPECT_TRUE(fs::exists(cache2_ / "entries" / "A1"));
  EXPECT_TRUE(fs::exists(cache2_ / "index"));
}

TEST_F(ModernCacheTest, ACancelledRunStopsAndSaysSo) {
  BrowserResults results = Scan();
  Select(results, "beta.test");
  Event cancel(EventReset::Manual, true);
  ProgressReporter cancelled(owner_, "test", "", &cancel);
  BrowserResults scanned;
  EXPECT_FALSE(cleaner_.Scan(scanned, cancelled));
  EXPECT_FALSE(cleaner_.Erase(results, Overwrite::Off, cancelled, nullptr));
  EXPECT_TRUE(fs::exists(cache2_ / "entries" / "A1"));
  EXPECT_TRUE(fs::exists(chrome_ / "Cache" / "Cache_Data" / "00000000000000b1_0"));
}

TEST_F(ModernCacheTest, AnEntryGoneSinceTheScanIsNoFailure) {
  BrowserResults results = Scan();
  fs::remove(chrome_ / "Cache" / "Cache_Data" / "00000000000000c1_0");
  Select(results, "keep.test");
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::Off, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("keep.test").status, DomainStatus::Erased);
}

TEST_F(ModernCacheTest, EntriesWrittenByTheBrowsersThemselves) {
  const fs::path fixtures = fs::path(CORVANE_FIXTURES_DIR) / "cache";
  fs::remove_all(cache2_);
  fs::create_directories(cache2_ / "entries");
  fs::copy(fixtures / "firefox", cache2_ / "entries");
  const fs::path data = chrome_ / "Cache" / "Cache_Data";
  fs::remove_all(data);
  fs::copy(fixtures / "chromium", data, fs::copy_options::recursive);

  BrowserResults results = Scan();
  for (const BrowserCode browser : {BrowserCode::Firefox, BrowserCode::Chrome}) {
    const BrowserScanResult& result = results[browser];
    ASSERT_TRUE(result.domains.contains("beta.test")) << BrowserName(browser);
    const DomainRecord& beta = result.domains.at("beta.test");
    std::vector<std::string> urls;
    for (const DomainEntry& entry : beta.entries) urls.push_back(entry.url);
    std::sort(urls.begin(), urls.end());
    // Chrome's Code Cache entry of the fixture's site is the third.
    EXPECT_EQ(urls[0], "http://beta.test:8765/");
    EXPECT_EQ(urls[1], "http://beta.test:8765/app.js");
    EXPECT_FALSE(result.domains.contains(kOtherCacheDomain)) << BrowserName(browser);
  }
  Select(results, "beta.test");
  ASSERT_TRUE(cleaner_.Erase(results, Overwrite::Off, progress_, nullptr));
  EXPECT_TRUE(fs::is_empty(cache2_ / "entries"));
  EXPECT_FALSE(fs::exists(data / "index"));
  EXPECT_TRUE(fs::is_empty(data / "index-dir"));
}

}  // namespace
}  // namespace corvane
