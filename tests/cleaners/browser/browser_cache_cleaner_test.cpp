#include "cleaners/browser/browser_cache_cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "cleaners/ie/ie_url_cache.h"
#include "demo/demo_cache_entries.h"
#include "platform/shell_folders.h"
#include "tests/support/demo_machine_scope.h"
#include "tests/support/plugin_run.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

TEST(BrowserCacheCleanerTest, DemoCachesAreFoundThenErased) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  owner.options.overwrite = true;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserCacheCleaner>(owner);
  auto& cleaner = static_cast<BrowserCacheCleaner&>(*plugin);
  EXPECT_EQ(test::PageHtml(cleaner), "");  // not scanned: no page

  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  // Four domains of Internet Explorer's cache and the Mozilla caches as one; today's Firefox
  // (news.test, cdn.example.com, shop.test) and Chrome (example.com, search.test, its GPU cache).
  ASSERT_EQ(cleaner.Rows().size(), 11u);
  const BrowserScanResult& mozilla = cleaner.Results().at(BrowserCode::Mozilla);
  ASSERT_EQ(mozilla.domains.size(), 1u);
  EXPECT_GT(mozilla.domains.at(kMozillaCacheDomain).itemCount, 0u);
  EXPECT_EQ(mozilla.domains.at(kMozillaCacheDomain).size, mozilla.size);
  for (std::size_t i = 1; i < cleaner.Rows().size(); ++i) {
    EXPECT_GE(cleaner.Rows()[i - 1].size, cleaner.Rows()[i].size);  // largest first
  }
  const std::uint64_t items = cleaner.TracksLeft().at("items");
  EXPECT_EQ(items, 8u + mozilla.items + 3u + 5u);
  EXPECT_EQ(cleaner.TracksLeft().at("domains"), 11u);
  const BrowserScanResult& chrome = cleaner.Results().at(BrowserCode::Chrome);
  EXPECT_EQ(chrome.domains.at("search.test").itemCount, 2u);  // the page and its script
  EXPECT_EQ(chrome.domains.at(kGpuCacheDomain).itemCount, 2u);
  EXPECT_TRUE(cleaner.Results().at(BrowserCode::Firefox).domains.contains("cdn.example.com"));
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find(">Mozilla<"), std::string::npos);
  EXPECT_NE(details.find(">Chrome<"), std::string::npos);
  EXPECT_NE(details.find(">Firefox<"), std::string::npos);
  EXPECT_NE(details.find("shop.test"), std::string::npos);
  EXPECT_NE(details.find("example.com"), std::string::npos);

  test::RunErase(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Erased);
  EXPECT_EQ(cleaner.TracksLeft().at("items"), 0u);
  EXPECT_EQ(cleaner.TracksLeft().at("size"), 0u);
  EXPECT_EQ(cleaner.TracksLeft().at("domains"), 5u);
  for (const DomainRow& row : cleaner.Rows()) EXPECT_EQ(row.status, DomainStatus::Erased);
  BrowserScanResult left;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, left, nullptr), PluginResult::Finished);
  EXPECT_TRUE(left.domains.empty());
  // Cookies and history are other cleaners' business.
  BrowserScanResult cookies;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cookies, cookies, nullptr), PluginResult::Finished);
  EXPECT_EQ(cookies.domains.size(), 4u);
  const std::string report = test::PageHtml(cleaner, true);
  EXPECT_NE(report.find("example.com"), std::string::npos);
}

TEST(BrowserCacheCleanerTest, LaunchersEmbeddedBrowsersAreRowsOfTheirOwn) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  const std::optional<std::string> local =
      SHGetSpecialFolderPathW(CSIDL_LOCAL_APPDATA, FolderCreation::MustExist);
  ASSERT_TRUE(local.has_value());
  const std::filesystem::path steam = *demo.GetMachine().ToHostPath(*local + "\\Steam\\htmlcache");
  ASSERT_TRUE(MakeSimpleCacheEntry(steam / "Cache" / "Cache_Data" / "00000000000000f1_0",
                                   "1/0/_dk_https://store.test https://store.test "
                                   "https://store.test/app/1",
                                   "page"));
  const std::filesystem::path epic =
      *demo.GetMachine().ToHostPath(*local + "\\EpicGamesLauncher\\Saved\\webcache_4147");
  ASSERT_TRUE(MakeSimpleCacheEntry(epic / "Code Cache" / "js" / "00000000000000f2_0",
                                   "_keyhttps://launcher.test/main.js \nhttps://launcher.test/",
                                   "code"));
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserCacheCleaner>(owner);
  auto& cleaner = static_cast<BrowserCacheCleaner&>(*plugin);
  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  const BrowserScanResult& steamResult = cleaner.Results().at(BrowserCode::Steam);
  EXPECT_EQ(steamResult.domains.at("store.test").itemCount, 1u);
  const BrowserScanResult& epicResult = cleaner.Results().at(BrowserCode::EpicGames);
  EXPECT_EQ(epicResult.domains.at("launcher.test").itemCount, 1u);
  const auto row = std::find_if(cleaner.Rows().begin(), cleaner.Rows().end(),
                                [](const DomainRow& r) { return r.name == "launcher.test"; });
  ASSERT_NE(row, cleaner.Rows().end());
  EXPECT_EQ(row->browser, BrowserCode::EpicGames);
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find(">Steam<"), std::string::npos);
  EXPECT_NE(details.find(">Epic Games Launcher<"), std::string::npos);

  test::RunErase(cleaner, cancel);
  for (const DomainRow& row : cleaner.Rows()) EXPECT_EQ(row.status, DomainStatus::Erased);
  EXPECT_FALSE(std::filesystem::exists(steam / "Cache" / "Cache_Data" / "00000000000000f1_0"));
  EXPECT_FALSE(std::filesystem::exists(epic / "Code Cache" / "js" / "00000000000000f2_0"));
}

TEST(BrowserCacheCleanerTest, ACancelledScanLeavesNothing) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  Event cancel(EventReset::Manual, true);
  PluginPtr plugin = MakePlugin<BrowserCacheCleaner>(owner);
  test::RunScan(*plugin, cancel);
  EXPECT_EQ(plugin->GetScanState(), ScanState::NotScanned);
  EXPECT_TRUE(static_cast<BrowserCacheCleaner&>(*plugin).Rows().empty());
}

}  // namespace
}  // namespace corvane
