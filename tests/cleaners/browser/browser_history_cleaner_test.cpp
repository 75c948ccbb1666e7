#include "cleaners/browser/browser_history_cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cleaners/ie/ie_typed_urls.h"
#include "cleaners/ie/ie_url_cache.h"
#include "platform/registry.h"
#include "tests/support/demo_machine_scope.h"
#include "tests/support/plugin_run.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

std::size_t CountRows(const BrowserHistoryCleaner& cleaner, BrowserCode browser) {
  return static_cast<std::size_t>(
      std::count_if(cleaner.Rows().begin(), cleaner.Rows().end(),
                    [browser](const DomainRow& row) { return row.browser == browser; }));
}

TEST(BrowserHistoryCleanerTest, ThreeSourcesFoundThenErased) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserHistoryCleaner>(owner);
  auto& cleaner = static_cast<BrowserHistoryCleaner&>(*plugin);

  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  EXPECT_GT(CountRows(cleaner, BrowserCode::InternetExplorer), 0u);
  EXPECT_EQ(CountRows(cleaner, BrowserCode::TypedUrls), 3u);
  EXPECT_GT(CountRows(cleaner, BrowserCode::Mozilla), 0u);
  // Today's browsers: Firefox's pages, a local file and a site permission, Chrome's pages.
  EXPECT_EQ(CountRows(cleaner, BrowserCode::Firefox), 4u);
  EXPECT_EQ(CountRows(cleaner, BrowserCode::Chrome), 3u);
  EXPECT_EQ(cleaner.TracksLeft().at("items"), cleaner.Rows().size());
  for (std::size_t i = 1; i < cleaner.Rows().size(); ++i) {
    EXPECT_GE(cleaner.Rows()[i - 1].hitTotal, cleaner.Rows()[i].hitTotal);
  }
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find("IE URLs"), std::string::npos);
  EXPECT_NE(details.find("news.test"), std::string::npos);
  EXPECT_NE(details.find(">NA<"), std::string::npos);  // Mozilla rows have no hits
  EXPECT_NE(details.find(">Firefox<"), std::string::npos);
  EXPECT_NE(details.find(">Chrome<"), std::string::npos);
  EXPECT_NE(details.find(">file:<"), std::string::npos);

  test::RunErase(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Erased);
  EXPECT_EQ(cleaner.TracksLeft().at("items"), 0u);
  for (const DomainRow& row : cleaner.Rows()) EXPECT_EQ(row.status, DomainStatus::Erased);
  BrowserScanResult history;
  EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::History, history, nullptr), PluginResult::Finished);
  EXPECT_TRUE(history.domains.empty());
  BrowserScanResult typed;
  EXPECT_EQ(ScanTypedUrls(typed), PluginResult::Finished);
  EXPECT_TRUE(typed.domains.empty());
  ModernHistory modern;
  BrowserResults left;
  ProgressReporter progress(owner, "test", "", nullptr);
  ASSERT_TRUE(modern.Scan(left, progress));
  for (const auto& [browser, result] : left) EXPECT_TRUE(result.domains.empty()) << int(browser);
  const std::string report = test::PageHtml(cleaner, true);
  EXPECT_NE(report.find("Address Bar History"), std::string::npos);
}

TEST(BrowserHistoryCleanerTest, WithoutTypedUrlsTheMozillaHistoryIsStillRead) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  ASSERT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, kTypedUrlsKey), ERROR_SUCCESS);
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserHistoryCleaner>(owner);
  auto& cleaner = static_cast<BrowserHistoryCleaner&>(*plugin);
  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  EXPECT_EQ(CountRows(cleaner, BrowserCode::TypedUrls), 0u);
  EXPECT_GT(CountRows(cleaner, BrowserCode::Mozilla), 0u);
}

TEST(BrowserHistoryCleanerTest, DatesAsThePagesWriteThem) {
  EXPECT_EQ(HistoryDetailsDate(0), "NA");
  EXPECT_EQ(HistoryReportDate(0), "NA");
  EXPECT_EQ(HistoryDetailsDate(1), "Invalid DateTime");
  // 2020-01-02 12:00 UTC; the day shows whatever the local zone.
  const std::uint64_t noon = 116444736000000000ULL + 1577966400ULL * 10000000ULL;
  EXPECT_NE(HistoryReportDate(noon).find("-Jan-20 "), std::string::npos);
  EXPECT_NE(HistoryDetailsDate(noon), "NA");
}

}  // namespace
}  // namespace corvane
