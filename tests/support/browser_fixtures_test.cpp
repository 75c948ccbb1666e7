// The browser cleaners over the real Firefox and Chromium profiles: the hosts the browsers
// stored are found per browser, and an erase leaves exactly what it should, read back with
// SQLite.

#include "tests/support/browser_fixtures.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cleaners/browser/browser_cache_cleaner.h"
#include "cleaners/browser/browser_cookies_cleaner.h"
#include "cleaners/browser/browser_forms_cleaner.h"
#include "cleaners/browser/browser_history_cleaner.h"
#include "cleaners/modern/modern_cookies.h"
#include "platform/machine.h"
#include "platform/registry_store.h"
#include "settings/domain_list.h"
#include "tests/support/cleaner_fixture.h"
#include "tests/support/live_wine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using Counts = std::map<std::string, std::uint32_t>;

// What the browsers stored while driven over the test site (see the fixtures' README): a
// host-only cookie per host and a domain cookie of alpha.test (twice: from alpha.test and from
// www.alpha.test), beta.test and tracker.test.
const Counts kStored = {{"alpha.test", 4},
                        {"beta.test", 2},
                        {"beta.testing.com", 1},
                        {"keep.test", 1},
                        {"tracker.test", 2}};

// The hosts of a cookie database's rows, sorted; also checks that the database is sound. Opened
// for writing, as a browser does, so that closing it leaves no "-wal" of this reader behind.
std::vector<std::string> StoredHosts(const fs::path& database, const std::string& query) {
  std::vector<std::string> hosts;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK)
      << database;
  sqlite3_stmt* row = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &row, nullptr) == SQLITE_OK &&
      sqlite3_step(row) == SQLITE_ROW) {
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), "ok") << database;
  }
  sqlite3_finalize(row);
  EXPECT_EQ(sqlite3_prepare_v2(db, query.c_str(), -1, &row, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  while (sqlite3_step(row) == SQLITE_ROW) {
    hosts.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
  }
  sqlite3_finalize(row);
  sqlite3_close(db);
  std::sort(hosts.begin(), hosts.end());
  return hosts;
}

std::vector<std::string> FirefoxHosts(const test::PlacedBrowserFixtures& placed) {
  return StoredHosts(placed.firefoxProfile / "cookies.sqlite", "SELECT host FROM moz_cookies");
}
std::vector<std::string> ChromiumHosts(const fs::path& profile) {
  const fs::path network = profile / "Network" / "Cookies";
  return StoredHosts(fs::exists(network) ? network : profile / "Cookies",
                     "SELECT host_key FROM cookies");
}

Counts CountsOf(const BrowserScanResult& result) {
  Counts counts;
  for (const auto& [key, domain] : result.domains) counts[key] = domain.itemCount;
  return counts;
}

class RealBrowserCookiesTest : public test::CleanerTest<BrowserCookiesCleaner> {
 protected:
  BrowserResults ScanModern() {
    BrowserResults results;
    ProgressReporter progress(owner_, "test", "", nullptr);
    EXPECT_TRUE(cookies_.Scan(results, progress));
    return results;
  }
  const DomainRow* Row(const std::string& name, BrowserCode browser) {
    const auto& rows = Plugin().Rows();
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const DomainRow& row) {
      return row.name == name && row.browser == browser;
    });
    return found == rows.end() ? nullptr : &*found;
  }

  TempMachine machine_{test::BrowserFixtureMachineOptions()};
  test::PlacedBrowserFixtures placed_ = test::PlaceBrowserFixtures(machine_);
  ModernCookies cookies_;
  DomainList blacklist_;
  DomainList whitelist_;
};

TEST_F(RealBrowserCookiesTest, EveryBrowserShowsItsHostsAndAnErasedHostTakesNoLookalike) {
  // Firefox leaves its lock link and ".parentlock" behind after a clean exit.
  EXPECT_TRUE(fs::is_symlink(placed_.firefoxProfile / "lock"));
  EXPECT_TRUE(fs::exists(placed_.firefoxProfile / ".parentlock"));

  BrowserResults results = ScanModern();
  for (const BrowserCode browser :
       {BrowserCode::Firefox, BrowserCode::Chromium, BrowserCode::Chrome}) {
    ASSERT_TRUE(results.contains(browser)) << static_cast<int>(browser);
    EXPECT_EQ(CountsOf(results[browser]), kStored) << static_cast<int>(browser);
  }
  EXPECT_FALSE(results.contains(BrowserCode::Edge));
  EXPECT_FALSE(results.contains(BrowserCode::Brave));

  // "beta.test" goes from Firefox and Chromium; Chrome's copy is not chosen and keeps it.
  for (const BrowserCode browser : {BrowserCode::Firefox, BrowserCode::Chromium}) {
    results[browser].domains.at("beta.test").status = DomainStatus::Selected;
  }
  ProgressReporter progress(owner_, "test", "", nullptr);
  ASSERT_TRUE(cookies_.Erase(results, progress, nullptr));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chromium].domains.at("beta.test").status, DomainStatus::Erased);

  const std::vector<std::string> rest = {".alpha.test",  ".alpha.test",      ".tracker.test",
                                         "alpha.test",   "beta.testing.com", "keep.test",
                                         "tracker.test", "www.alpha.test"};
  EXPECT_EQ(FirefoxHosts(placed_), rest);
  EXPECT_EQ(ChromiumHosts(placed_.chromiumProfile), rest);
  EXPECT_EQ(ChromiumHosts(placed_.chromeProfile).size(), 10u);

  Counts left = kStored;
  left.erase("beta.test");
  const BrowserResults after = ScanModern();
  EXPECT_EQ(CountsOf(after.at(BrowserCode::Firefox)), left);
  EXPECT_EQ(CountsOf(after.at(BrowserCode::Chromium)), left);
  EXPECT_EQ(CountsOf(after.at(BrowserCode::Chrome)), kStored);
}

TEST_F(RealBrowserCookiesTest, TheCleanerErasesAllButTheWhitelistInEveryBrowser) {
  whitelist_.Parse("beta.test\nkeep.test\n");
  blacklist_.Parse("tracker.test\n");
  plugin_ = MakePlugin<BrowserCookiesCleaner>(owner_, &blacklist_, &whitelist_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  for (const BrowserCode browser :
       {BrowserCode::Firefox, BrowserCode::Chromium, BrowserCode::Chrome}) {
    ASSERT_NE(Row("beta.test", browser), nullptr);
    EXPECT_EQ(Row("beta.test", browser)->listState, ListState::Whitelisted);
    // A whitelisted name is no prefix of another host.
    EXPECT_EQ(Row("beta.testing.com", browser)->listState, ListState::Gray);
    EXPECT_EQ(Row("tracker.test", browser)->listState, ListState::Blacklisted);
    EXPECT_EQ(Row("alpha.test", browser)->itemCount, 4u);
  }
  EXPECT_EQ(Plugin().Rows().size(), 15u);

  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_EQ(Row("beta.testing.com", BrowserCode::Chrome)->status, DomainStatus::Erased);
  EXPECT_EQ(Row("keep.test", BrowserCode::Firefox)->status, DomainStatus::Found);
  const std::vector<std::string> kept = {".beta.test", "beta.test", "keep.test"};
  EXPECT_EQ(FirefoxHosts(placed_), kept);
  EXPECT_EQ(ChromiumHosts(placed_.chromiumProfile), kept);
  EXPECT_EQ(ChromiumHosts(placed_.chromeProfile), kept);
  // The other files of the profiles are left as the browsers wrote them.
  EXPECT_TRUE(fs::is_symlink(placed_.firefoxProfile / "lock"));
  EXPECT_TRUE(fs::exists(placed_.firefoxCache / "cache2" / "entries"));

  // CORVANE_KEEP_ERASED_PROFILES=<folder> keeps the erased profiles, for opening them in the
  // real browsers (tests/fixtures/modern/check-browsers-open.sh).
  if (const char* keep = std::getenv("CORVANE_KEEP_ERASED_PROFILES")) {
    const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    fs::create_directories(fs::path(keep) / "firefox");
    fs::copy(placed_.firefoxProfile, fs::path(keep) / "firefox", options);
    fs::create_directories(fs::path(keep) / "chromium");
    fs::copy(placed_.chromiumProfile.parent_path(), fs::path(keep) / "chromium", options);
  }
}

// The other three cleaners over the same real profiles: what the browsers wrote is found per
// browser, and an erase leaves the databases sound with exactly what should stay.
template <typename Cleaner>
class RealBrowserProfilesTest : public test::CleanerTest<Cleaner> {
 protected:
  bool HasRow(const std::string& name, BrowserCode browser) {
    const auto& rows = this->Plugin().Rows();
    return std::any_of(rows.begin(), rows.end(), [&](const DomainRow& row) {
      return row.name == name && row.browser == browser;
    });
  }
  std::string Count(const fs::path& database, const std::string& table) {
    const std::vector<std::string> count =
        StoredHosts(database, "SELECT CAST(count(*) AS TEXT) FROM " + table);
    return count.empty() ? std::string() : count.front();
  }

  TempMachine machine_{test::BrowserFixtureMachineOptions()};
  test::PlacedBrowserFixtures placed_ = test::PlaceBrowserFixtures(machine_);
};

using RealBrowserHistoryTest = RealBrowserProfilesTest<BrowserHistoryCleaner>;
using RealBrowserFormsTest = RealBrowserProfilesTest<BrowserFormsCleaner>;
using RealBrowserCacheTest = RealBrowserProfilesTest<BrowserCacheCleaner>;

constexpr BrowserCode kFixtureBrowsers[] = {BrowserCode::Firefox, BrowserCode::Chromium,
                                            BrowserCode::Chrome};

TEST_F(RealBrowserHistoryTest, EveryVisitGoesAndTheBookmarkStays) {
  plugin_ = MakePlugin<BrowserHistoryCleaner>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  for (const BrowserCode browser : kFixtureBrowsers) {
    for (const char* host : {"alpha.test", "beta.test", "beta.testing.com", "keep.test"}) {
      EXPECT_TRUE(HasRow(host, browser)) << host << " " << static_cast<int>(browser);
    }
  }
  ASSERT_EQ(Run(false), PluginResult::Finished);

  const fs::path places = placed_.firefoxProfile / "places.sqlite";
  // The toolbar bookmark of alpha.test and Firefox's own bookmarks stay, without visits.
  EXPECT_EQ(StoredHosts(places,
                        "SELECT url || ' ' || visit_count FROM moz_places WHERE url "
                        "LIKE '%.test%'"),
            std::vector<std::string>{"http://alpha.test/ 0"});
  EXPECT_EQ(Count(places, "moz_places"), "5");
  EXPECT_EQ(Count(places, "moz_historyvisits"), "0");
  EXPECT_EQ(StoredHosts(places, "SELECT title FROM moz_bookmarks WHERE title = 'Alpha home'"),
            std::vector<std::string>{"Alpha home"});
  // Every host the session named went: the session file with it.
  EXPECT_FALSE(fs::exists(placed_.firefoxProfile / "sessionstore.jsonlz4"));
  for (const fs::path& profile : {placed_.chromiumProfile, placed_.chromeProfile}) {
    for (const char* table : {"urls", "visits", "downloads", "keyword_search_terms"}) {
      EXPECT_EQ(Count(profile / "History", table), "0") << profile << " " << table;
    }
  }
}

TEST_F(RealBrowserFormsTest, TypedValuesGoAndAWhitelistedSiteKeepsItsLogin) {
  DomainList blacklist;
  DomainList whitelist;
  whitelist.Parse("keep.test\n");
  plugin_ = MakePlugin<BrowserFormsCleaner>(owner_, &blacklist, &whitelist);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  for (const BrowserCode browser : kFixtureBrowsers) {
    EXPECT_TRUE(HasRow("q", browser)) << static_cast<int>(browser);
    EXPECT_TRUE(HasRow("city", browser)) << static_cast<int>(browser);
    EXPECT_TRUE(HasRow("saved logins: keep.test", browser)) << static_cast<int>(browser);
  }
  ASSERT_EQ(Run(false), PluginResult::Finished);

  EXPECT_EQ(Count(placed_.firefoxProfile / "formhistory.sqlite", "moz_formhistory"), "0");
  std::ifstream logins(placed_.firefoxProfile / "logins.json");
  const std::string json((std::istreambuf_iterator<char>(logins)), {});
  EXPECT_NE(json.find("\"http://keep.test\""), std::string::npos);
  for (const fs::path& profile : {placed_.chromiumProfile, placed_.chromeProfile}) {
    EXPECT_EQ(Count(profile / "Web Data", "autofill"), "0") << profile;
    EXPECT_EQ(Count(profile / "Login Data", "logins"), "1") << profile;
  }
}

TEST_F(RealBrowserCacheTest, EveryEntryOfTheChosenCachesGoes) {
  plugin_ = MakePlugin<BrowserCacheCleaner>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  for (const BrowserCode browser : kFixtureBrowsers) {
    EXPECT_TRUE(HasRow("alpha.test", browser)) << static_cast<int>(browser);
    EXPECT_TRUE(HasRow("beta.testing.com", browser)) << static_cast<int>(browser);
  }
  ASSERT_EQ(Run(false), PluginResult::Finished);
  // Entry files (Firefox's are all of "entries"; Chromium's end in "_0", "_1" or "_s"). An index
  // of a cache that lost nothing (Code Cache's empty "wasm") stays as it was.
  const auto entries = [](const fs::path& folder) {
    std::size_t count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         it != fs::recursive_directory_iterator(); ++it) {
      const std::string name = it->path().filename().string();
      const bool entry = folder.filename() == "entries" || name.ends_with("_0") ||
                         name.ends_with("_1") || name.ends_with("_s");
      count += it->is_regular_file() && entry ? 1 : 0;
    }
    return count;
  };
  EXPECT_EQ(entries(placed_.firefoxCache / "cache2" / "entries"), 0u);
  for (const fs::path& profile : {placed_.chromiumProfile, placed_.chromeProfile}) {
    EXPECT_EQ(entries(profile / "Cache"), 0u) << profile;
    EXPECT_EQ(entries(profile / "Code Cache"), 0u) << profile;
  }
  // Only the caches: the browsers' databases stay.
  EXPECT_TRUE(fs::exists(placed_.firefoxProfile / "places.sqlite"));
  EXPECT_TRUE(fs::exists(placed_.chromiumProfile / "History"));
}

TEST(RealBrowserPrefixTest, APrefixWineMadeFindsTheProfilesThroughItsOwnShellFolders) {
  test::WinePrefix wine;
  if (!wine.Ready()) CORVANE_SKIP_LIVE_WINE(wine.Why());
  const test::PlacedBrowserFixtures placed = test::PlaceBrowserFixtures(wine);
  ASSERT_FALSE(placed.firefoxProfile.empty());
  ASSERT_TRUE(fs::exists(placed.chromeProfile / "Network" / "Cookies"));

  std::unique_ptr<Machine> machine = Machine::Open(wine.Prefix(), nullptr);
  ASSERT_TRUE(machine);
  Machine* previousMachine = Machine::Current();
  RegistryStore* previousRegistry = RegistryStore::Current();
  Machine::SetCurrent(machine.get());
  RegistryStore registry(wine.Prefix());
  RegistryStore::SetCurrent(&registry);
  test::TestOwner owner;
  ProgressReporter progress(owner, "test", "", nullptr);
  BrowserResults results;
  ModernCookies cookies;
  EXPECT_TRUE(cookies.Scan(results, progress));
  RegistryStore::SetCurrent(previousRegistry);
  Machine::SetCurrent(previousMachine);

  for (const BrowserCode browser :
       {BrowserCode::Firefox, BrowserCode::Chromium, BrowserCode::Chrome}) {
    ASSERT_TRUE(results.contains(browser)) << static_cast<int>(browser);
    EXPECT_EQ(CountsOf(results[browser]), kStored) << static_cast<int>(browser);
  }
}

}  // namespace
}  // namespace corvane
