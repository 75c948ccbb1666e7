#include "cleaners/browser/browser_cache_cleaner.h"

#include <gtest/gtest.h>

#include "cleaners/ie/ie_url_cache.h"
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
  // Four domains of Internet Explorer's cache and the Mozilla caches as one.
  ASSERT_EQ(cleaner.Rows().size(), 5u);
  const BrowserScanResult& mozilla = cleaner.Results().at(BrowserCode::Mozilla);
  ASSERT_EQ(mozilla.domains.size(), 1u);
  EXPECT_GT(mozilla.domains.at(kMozillaCacheDomain).itemCount, 0u);
  EXPECT_EQ(mozilla.domains.at(kMozillaCacheDomain).size, mozilla.size);
  for (std::size_t i = 1; i < cleaner.Rows().size(); ++i) {
    EXPECT_GE(cleaner.Rows()[i - 1].size, cleaner.Rows()[i].size);  // largest first
  }
  const std::uint64_t items = cleaner.TracksLeft().at("items");
  EXPECT_EQ(items, 8u + mozilla.items);
  EXPECT_EQ(cleaner.TracksLeft().at("domains"), 5u);
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find(">Mozilla<"), std::string::npos);
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
