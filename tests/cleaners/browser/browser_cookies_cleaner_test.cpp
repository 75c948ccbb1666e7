#include "cleaners/browser/browser_cookies_cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cleaners/ie/ie_url_cache.h"
#include "cleaners/mozilla/netscape_cookies.h"
#include "platform/dom/document.h"
#include "platform/event.h"
#include "tests/support/demo_machine_scope.h"
#include "tests/support/plugin_run.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

// On the demo machine: Internet Explorer's cookies of example.com, shop.example.org,
// news.example.net and ads.example.biz; the Mozilla family's of example.com (3), news.test (2),
// shop.test, video.test, bank.test and portal.test; Firefox's SQLite store's of example.com (2),
// news.test, shop.test, tracker.example.net and forum.test; Chrome's of example.com,
// ads.example.biz and search.test (2).
class BrowserCookiesCleanerTest : public ::testing::Test {
 protected:
  BrowserCookiesCleanerTest() {
    blacklist_.Parse("ads.example.biz\nvideo.test\n");
    whitelist_.Parse("shop.example.org\nshop.test\n");
  }

  BrowserCookiesCleaner& Cleaner() {
    if (!cleaner_) cleaner_ = MakePlugin<BrowserCookiesCleaner>(owner_, &blacklist_, &whitelist_);
    return static_cast<BrowserCookiesCleaner&>(*cleaner_);
  }
  void Scan() {
    Cleaner().StartScan(&cancel_);
    Cleaner().WaitForWorker();
    ASSERT_EQ(Cleaner().GetScanState(), ScanState::Scanned);
  }
  void Erase() {
    Cleaner().StartErase(&cancel_);
    Cleaner().WaitForWorker();
    ASSERT_EQ(Cleaner().GetScanState(), ScanState::Erased);
  }
  [[nodiscard]] const DomainRow* Row(const std::string& name, BrowserCode browser) {
    const auto& rows = Cleaner().Rows();
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const DomainRow& row) {
      return row.name == name && row.browser == browser;
    });
    return found == rows.end() ? nullptr : &*found;
  }
  // What the browsers still hold, read afresh through the back-ends.
  [[nodiscard]] BrowserScanResult IeCookiesLeft() {
    BrowserScanResult result;
    EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cookies, result, nullptr), PluginResult::Finished);
    return result;
  }
  [[nodiscard]] BrowserScanResult MozillaCookiesLeft() {
    BrowserScanResult result;
    ProgressReporter progress(owner_, "test", "", nullptr);
    EXPECT_TRUE(GetNetscapeCookies(result, progress));
    return result;
  }
  [[nodiscard]] BrowserResults ModernCookiesLeft() {
    BrowserResults results;
    ProgressReporter progress(owner_, "test", "", nullptr);
    ModernCookies cookies;
    EXPECT_TRUE(cookies.Scan(results, progress));
    return results;
  }
  [[nodiscard]] std::string DetailsHtml() {
    auto page = dom::Document::Parse("<div id=area></div>");
    dom::Element area = page->GetElementById("area");
    EXPECT_EQ(Cleaner().ShowDetails(area), 0);
    return test::WithoutBreaks(area.InnerHtml());
  }

  test::DemoMachineScope demo_;
  test::TestOwner owner_;
  Event cancel_{EventReset::Manual, false};
  DomainList blacklist_;
  DomainList whitelist_;
  PluginPtr cleaner_;
};

TEST_F(BrowserCookiesCleanerTest, ScanMarksDomainsByTheListsAndEraseSparesTheWhitelist) {
  ASSERT_TRUE(demo_.Built());
  Scan();
  const DomainRow* ads = Row("ads.example.biz", BrowserCode::InternetExplorer);
  ASSERT_NE(ads, nullptr);
  EXPECT_EQ(ads->listState, ListState::Blacklisted);
  ASSERT_NE(Row("video.test", BrowserCode::Mozilla), nullptr);
  EXPECT_EQ(Row("video.test", BrowserCode::Mozilla)->listState, ListState::Blacklisted);
  EXPECT_EQ(Row("shop.example.org", BrowserCode::InternetExplorer)->listState,
            ListState::Whitelisted);
  EXPECT_EQ(Row("news.example.net", BrowserCode::InternetExplorer)->listState, ListState::Gray);
  EXPECT_EQ(Row("ads.example.biz", BrowserCode::Chrome)->listState, ListState::Blacklisted);
  EXPECT_EQ(Row("shop.test", BrowserCode::Firefox)->listState, ListState::Whitelisted);
  EXPECT_EQ(Row("example.com", BrowserCode::Firefox)->itemCount, 2u);
  EXPECT_EQ(Row("search.test", BrowserCode::Chrome)->itemCount, 2u);
  ASSERT_NE(Row("forum.test", BrowserCode::Firefox), nullptr);
  const std::size_t domains = Cleaner().Rows().size();
  EXPECT_EQ(domains, 18u);
  EXPECT_EQ(Cleaner().TracksLeft().at("blacklist"), 3u);
  EXPECT_EQ(Cleaner().TracksLeft().at("domains"), domains);
  EXPECT_EQ(Row("example.com", BrowserCode::Mozilla)->itemCount, 3u);

  // The details page: black-listed rows first, each row with its numbered check box.
  const std::string html = DetailsHtml();
  const auto firstBlack = std::min(html.find("ads.example.biz"), html.find("video.test"));
  EXPECT_LT(std::max(html.find("ads.example.biz"), html.find("video.test")),
            html.find("news.example.net"));
  EXPECT_NE(firstBlack, std::string::npos);
  EXPECT_NE(html.find("cbw1"), std::string::npos);
  EXPECT_NE(html.find("cbw10"), std::string::npos);

  Erase();
  // Only the white-listed domains stay, in both browsers' stores.
  EXPECT_EQ(Row("shop.example.org", BrowserCode::InternetExplorer)->status, DomainStatus::Found);
  EXPECT_EQ(Row("news.example.net", BrowserCode::InternetExplorer)->status, DomainStatus::Erased);
  EXPECT_EQ(Row("tracker.example.net", BrowserCode::Firefox)->status, DomainStatus::Erased);
  EXPECT_EQ(Row("shop.test", BrowserCode::Firefox)->status, DomainStatus::Found);
  EXPECT_EQ(Row("ads.example.biz", BrowserCode::Chrome)->status, DomainStatus::Erased);
  EXPECT_EQ(Cleaner().TracksLeft().at("blacklist"), 0u);
  EXPECT_EQ(Cleaner().TracksLeft().at("domains"), 3u);
  const BrowserScanResult ie = IeCookiesLeft();
  ASSERT_EQ(ie.domains.size(), 1u);
  EXPECT_TRUE(ie.domains.contains("shop.example.org"));
  const BrowserScanResult mozilla = MozillaCookiesLeft();
  ASSERT_EQ(mozilla.domains.size(), 1u);
  EXPECT_TRUE(mozilla.domains.contains("shop.test"));
  const BrowserResults modern = ModernCookiesLeft();
  ASSERT_EQ(modern.at(BrowserCode::Firefox).domains.size(), 1u);
  EXPECT_TRUE(modern.at(BrowserCode::Firefox).domains.contains("shop.test"));
  ASSERT_TRUE(modern.contains(BrowserCode::Chrome));
  EXPECT_TRUE(modern.at(BrowserCode::Chrome).domains.empty());
  EXPECT_GT(Cleaner().CopyCounters().current.items, 0u);
}

TEST_F(BrowserCookiesCleanerTest, BlacklistedOnlyErasesNothingElse) {
  ASSERT_TRUE(demo_.Built());
  owner_.options.blacklistedOnly = true;
  Scan();
  // Added to the whitelist after the scan: spared although it is black-listed.
  whitelist_.Add("video.test");
  Erase();
  EXPECT_EQ(Row("ads.example.biz", BrowserCode::InternetExplorer)->status, DomainStatus::Erased);
  const DomainRow* video = Row("video.test", BrowserCode::Mozilla);
  EXPECT_EQ(video->status, DomainStatus::Found);
  EXPECT_EQ(video->listState, ListState::Whitelisted);
  EXPECT_EQ(Cleaner().TracksLeft().at("blacklist"), 0u);
  EXPECT_EQ(Row("ads.example.biz", BrowserCode::Chrome)->status, DomainStatus::Erased);
  EXPECT_EQ(Row("search.test", BrowserCode::Chrome)->status, DomainStatus::Found);
  EXPECT_EQ(Cleaner().TracksLeft().at("domains"), 16u);
  EXPECT_EQ(IeCookiesLeft().domains.size(), 3u);
  EXPECT_EQ(MozillaCookiesLeft().domains.size(), 6u);
  EXPECT_EQ(ModernCookiesLeft().at(BrowserCode::Chrome).domains.size(), 2u);
}

TEST_F(BrowserCookiesCleanerTest, WithEmptyListsBlacklistedOnlySelectsNothing) {
  ASSERT_TRUE(demo_.Built());
  blacklist_.Clear();
  whitelist_.Clear();
  owner_.options.blacklistedOnly = true;
  Scan();
  Erase();
  for (const DomainRow& row : Cleaner().Rows()) EXPECT_EQ(row.status, DomainStatus::Found);
  EXPECT_EQ(Cleaner().TracksLeft().at("domains"), 18u);
  auto page = dom::Document::Parse("<div id=area></div>");
  dom::Element area = page->GetElementById("area");
  ASSERT_EQ(Cleaner().ShowReport(area), 0);
  EXPECT_EQ(area.InnerHtml().find("<td class=\"path\">"), std::string::npos);
}

TEST(CookieClassificationTest, ADomainOnBothListsIsBlacklistedButTheEraseSparesIt) {
  DomainList black;
  DomainList white;
  black.Parse("both.example\n");
  white.Parse("both.example\n");
  BrowserScanResult result;
  result.AddEntry("both.example", {});
  result.AddEntry("other.example", {});
  EXPECT_EQ(ClassifyCookieDomains(result, black, white), 1u);
  EXPECT_EQ(result.domains.at("both.example").listState, ListState::Blacklisted);
  SelectCookieDomains(result, white, false);
  EXPECT_EQ(result.domains.at("both.example").status, DomainStatus::Found);
  EXPECT_EQ(result.domains.at("both.example").listState, ListState::Whitelisted);
  EXPECT_EQ(result.domains.at("other.example").status, DomainStatus::Selected);
}

}  // namespace
}  // namespace corvane
