#include "cleaners/modern/modern_cookies.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demo/demo_modern_traces.h"
#include "engine/deletion_tally.h"
#include "tests/support/modern_machine.h"
#include "tests/support/sqlite_files.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::kLocal;
using test::kRoaming;
using test::RunSql;

class ModernCookiesTest : public test::ModernCleanerTest<ModernCookies> {
 protected:
  ModernCookiesTest() {
    firefox_ = test::MakeFirefoxProfile(machine_);
    EXPECT_TRUE(MakeFirefoxCookieStore(firefox_ / "cookies.sqlite",
                                       {".beta.test", "beta.test", "www.beta.test",
                                        "beta.testing.com", ".tracker.test", "keep.test"}));
    chrome_ = test::MakeChromeProfile(machine_);
    EXPECT_TRUE(
        MakeChromiumCookieStore(chrome_ / "Network" / "Cookies", {".beta.test", ".tracker.test"}));
    const fs::path edge =
        machine_.MakeFolder(std::string(kLocal) + "Microsoft\\Edge\\User Data\\Profile 2");
    EXPECT_TRUE(MakeChromiumCookieStore(edge / "Cookies", {"edge-only.test"}));
    // Not a profile: Chromium's own folders beside them.
    machine_.MakeFolder(std::string(kLocal) + "Google\\Chrome\\User Data\\ShaderCache");
  }

  fs::path firefox_;
  fs::path chrome_;
};

TEST_F(ModernCookiesTest, ScanFindsEveryBrowserByHostAndEraseTakesExactlyTheSelectedOnes) {
  BrowserResults results = Scan();
  ASSERT_TRUE(results.contains(BrowserCode::Firefox));
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  ASSERT_TRUE(firefox.domains.contains("beta.test"));
  EXPECT_EQ(firefox.domains.at("beta.test").itemCount, 3u);
  EXPECT_EQ(firefox.domains.at("beta.testing.com").itemCount, 1u);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").itemCount, 1u);
  EXPECT_EQ(results[BrowserCode::Edge].domains.at("edge-only.test").itemCount, 1u);
  EXPECT_FALSE(results.contains(BrowserCode::Brave));

  Select(results, "beta.test");
  Select(results, "tracker.test");
  DeletionAccumulator tally;
  ASSERT_TRUE(cleaner_.Erase(results, progress_, &tally));
  EXPECT_EQ(tally.Erased().items, 6u);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("tracker.test").status, DomainStatus::Erased);

  BrowserResults left = Scan();
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("beta.test"));
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("tracker.test"));
  EXPECT_TRUE(left[BrowserCode::Firefox].domains.contains("beta.testing.com"));
  EXPECT_TRUE(left[BrowserCode::Firefox].domains.contains("keep.test"));
  EXPECT_EQ(left[BrowserCode::Chrome].domains.size(), 0u);
  EXPECT_TRUE(left[BrowserCode::Edge].domains.contains("edge-only.test"));
}

TEST_F(ModernCookiesTest, ALockFileCountsOnlyWhileAWineserverRuns) {
  // Left behind by a browser that has exited: the erase goes ahead.
  machine_.WriteFile(
      std::string(kRoaming) + "Mozilla\\Firefox\\Profiles\\ab12.default-release\\parent.lock", "");
  machine_.WriteFile(std::string(kLocal) + "Google\\Chrome\\User Data\\lockfile", "");
  {
    BrowserResults results = Scan();
    Select(results, "keep.test");
    ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
    EXPECT_EQ(results[BrowserCode::Firefox].domains.at("keep.test").status, DomainStatus::Erased);
  }
  const test::WineServerLockHolder server(machine_.Prefix());
  BrowserResults results = Scan();
  Select(results, "tracker.test");
  Select(results, "edge-only.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("tracker.test").status, DomainStatus::Failed);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("tracker.test").status, DomainStatus::Failed);
  // Edge has no lock file of its own.
  EXPECT_EQ(results[BrowserCode::Edge].domains.at("edge-only.test").status, DomainStatus::Erased);
  const std::string failure = std::string(kRoaming) +
                              "Mozilla\\Firefox\\Profiles\\ab12.default-release\\cookies.sqlite: " +
                              std::string(SqliteStatusText(SqliteStatus::InUse));
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Firefox, failure));
  // Chrome keeps its cookies in "Network\Cookies" only: the older place is no failure.
  EXPECT_FALSE(cleaner_.IsFailure(
      BrowserCode::Chrome, std::string(kLocal) + "Google\\Chrome\\User Data\\Default\\Cookies: " +
                               std::string(SqliteStatusText(SqliteStatus::InUse))));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.size(), 3u);  // and one failure row
  EXPECT_TRUE(Scan()[BrowserCode::Firefox].domains.contains("tracker.test"));
}

TEST_F(ModernCookiesTest, BadDatabasesBecomeFailureRowsAndStayUntouched) {
  // A link to a database outside the prefix, and a Chromium store of an unknown layout.
  const fs::path outside = machine_.HostRoot() / "outside.sqlite";
  EXPECT_TRUE(MakeFirefoxCookieStore(outside, {"outside.test"}));
  fs::remove(firefox_ / "cookies.sqlite");
  fs::create_symlink(outside, firefox_ / "cookies.sqlite");
  fs::remove(chrome_ / "Network" / "Cookies");
  RunSql(chrome_ / "Network" / "Cookies", "CREATE TABLE cookies (creation_utc INTEGER);");

  BrowserResults results = Scan();
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  ASSERT_EQ(firefox.domains.size(), 1u);
  EXPECT_EQ(firefox.domains.begin()->second.status, DomainStatus::Failed);
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Firefox, firefox.domains.begin()->first));
  EXPECT_NE(firefox.domains.begin()->first.find("refused"), std::string::npos);
  const BrowserScanResult& chrome = results[BrowserCode::Chrome];
  ASSERT_EQ(chrome.domains.size(), 1u);
  EXPECT_NE(chrome.domains.begin()->first.find("layout"), std::string::npos);

  Select(results, "outside.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(outside.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM moz_cookies", -1, &row, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(row, 0), 1);
  sqlite3_finalize(row);
  sqlite3_close(db);
}

TEST_F(ModernCookiesTest, AProfileOnTheLinuxSideIsNoBrowserProfile) {
  // Z: is the Linux root: a profile named there (a native browser's) is never read or changed.
  const fs::path native = machine_.HostRoot() / "home" / "ann" / ".mozilla" / "x1";
  fs::create_directories(native);
  EXPECT_TRUE(MakeFirefoxCookieStore(native / "cookies.sqlite", {"native.test"}));
  machine_.WriteFile(std::string(kRoaming) + "Mozilla\\Firefox\\profiles.ini",
                     "[Profile0]\nIsRelative=0\nPath=Z:\\home\\ann\\.mozilla\\x1\n"
                     "[Profile1]\nIsRelative=1\nPath=Profiles/ab12.default-release\n");
  BrowserResults results = Scan();
  EXPECT_FALSE(results[BrowserCode::Firefox].domains.contains("native.test"));
  EXPECT_TRUE(results[BrowserCode::Firefox].domains.contains("keep.test"));
}

TEST_F(ModernCookiesTest, LaunchersEmbeddedBrowsersHaveCookiesOfTheirOwn) {
  const fs::path steam = machine_.MakeFolder(std::string(kLocal) + "Steam\\htmlcache");
  EXPECT_TRUE(MakeChromiumCookieStore(steam / "Network" / "Cookies", {".store.test"}));
  const fs::path epic =
      machine_.MakeFolder(std::string(kLocal) + "EpicGamesLauncher\\Saved\\webcache_4430");
  EXPECT_TRUE(MakeChromiumCookieStore(epic / "Default" / "Cookies", {"launcher.test"}));
  // Not a launcher's: a folder that merely starts like one.
  const fs::path other = machine_.MakeFolder(std::string(kLocal) + "Steam\\htmlcache2");
  EXPECT_TRUE(MakeChromiumCookieStore(other / "Cookies", {"stray.test"}));

  BrowserResults results = Scan();
  EXPECT_EQ(results[BrowserCode::Steam].domains.at("store.test").itemCount, 1u);
  EXPECT_EQ(results[BrowserCode::EpicGames].domains.at("launcher.test").itemCount, 1u);
  for (const auto& [browser, result] : results) {
    EXPECT_FALSE(result.domains.contains("stray.test")) << BrowserName(browser);
  }
  Select(results, "store.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_FALSE(Scan()[BrowserCode::Steam].domains.contains("store.test"));
}

TEST(ProfilesIniTest, RelativeAndAbsoluteProfilesButNothingThatLeavesItsFolder) {
  const std::string ini =
      "[General]\r\nStartWithLastProfile=1\r\n[Profile1]\r\nName=b\r\nIsRelative=0\r\n"
      "Path=D:\\Profiles\\b\r\n[Profile0]\r\nName=a\r\nIsRelative=1\r\n"
      "Path=Profiles/a.default/\r\n[Profile2]\r\nIsRelative=1\r\nPath=../../escape\r\n"
      "[Install308046B0AF4A39CB]\r\nDefault=Profiles/x\r\n[Profile3]\r\nPath=Profiles/c\r\n";
  EXPECT_EQ(ParseProfilesIni(ini, "C:\\F\\"),
            (std::vector<std::string>{"D:\\Profiles\\b\\", "C:\\F\\Profiles\\a.default\\",
                                      "C:\\F\\Profiles\\c\\"}));
  EXPECT_TRUE(
      ParseProfilesIni("[Profile0]\nIsRelative=0\nPath=/home/ann/.mozilla\n", "C:\\F\\").empty());
}

}  // namespace
}  // namespace corvane
