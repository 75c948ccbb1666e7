#include "cleaners/browser/browser_forms_cleaner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/demo_machine_scope.h"
#include "tests/support/plugin_run.h"
#include "tests/support/test_plugin_owner.h"
#include "tests/support/url_cache_machine.h"

namespace corvane {
namespace {

TEST(BrowserFormsCleanerTest, MozillaFormFilesFoundThenErasedWhole) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserFormsCleaner>(owner);
  auto& cleaner = static_cast<BrowserFormsCleaner&>(*plugin);
  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  EXPECT_TRUE(cleaner.HasItems());
  EXPECT_EQ(cleaner.TracksLeft().at("items"), cleaner.Rows().size());
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find("shop.test"), std::string::npos);
  EXPECT_NE(details.find("portal.test"), std::string::npos);

  test::RunErase(cleaner, cancel);
  // The Mozilla files went; Internet Explorer's store cannot be reached here (no Protected
  // Storage), so its records, if any, stay and are counted.
  std::uint64_t left = 0;
  for (const DomainRow& row : cleaner.Rows()) {
    if (row.browser == BrowserCode::Mozilla) {
      EXPECT_EQ(row.status, DomainStatus::Erased);
    }
    if (row.status != DomainStatus::Erased) ++left;
  }
  EXPECT_EQ(cleaner.TracksLeft().at("items"), left);
  test::RunScan(cleaner, cancel);
  for (const DomainRow& row : cleaner.Rows()) EXPECT_NE(row.browser, BrowserCode::Mozilla);
}

// The rows of one browser by name, with their counts.
std::map<std::string, std::uint32_t> RowsOf(const BrowserFormsCleaner& cleaner,
                                            BrowserCode browser) {
  std::map<std::string, std::uint32_t> rows;
  for (const DomainRow& row : cleaner.Rows()) {
    if (row.browser == browser) rows[row.name] = row.itemCount;
  }
  return rows;
}

TEST(BrowserFormsCleanerTest, TodaysBrowsersShowFieldsSitesAndSavedLoginsApart) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  DomainList blacklist;
  DomainList whitelist;
  whitelist.Parse("portal.test\n");
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserFormsCleaner>(owner, &blacklist, &whitelist);
  auto& cleaner = static_cast<BrowserFormsCleaner&>(*plugin);
  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  EXPECT_EQ(RowsOf(cleaner, BrowserCode::Firefox),
            (std::map<std::string, std::uint32_t>{{"searchbar-history", 1},
                                                  {"shop.test", 2},
                                                  {"saved logins: portal.test", 1},
                                                  {"saved logins: shop.example.org", 1}}));
  EXPECT_EQ(RowsOf(cleaner, BrowserCode::Chrome),
            (std::map<std::string, std::uint32_t>{
                {"name", 1}, {"city", 1}, {"search.test", 1}, {"saved logins: bank.test", 1}}));
  EXPECT_EQ(cleaner.TracksLeft().at("items"), cleaner.Rows().size());
  const std::string details = test::PageHtml(cleaner);
  EXPECT_NE(details.find("saved logins: bank.test"), std::string::npos);
  EXPECT_NE(details.find("Chrome"), std::string::npos);
  EXPECT_EQ(details.find("cheap flights"), std::string::npos);

  // Every form entry goes; a white-listed site keeps its saved logins.
  test::RunErase(cleaner, cancel);
  for (const DomainRow& row : cleaner.Rows()) {
    if (row.browser < BrowserCode::Firefox) continue;
    EXPECT_EQ(row.status,
              row.name == "saved logins: portal.test" ? DomainStatus::Found : DomainStatus::Erased)
        << row.name;
  }
  test::RunScan(cleaner, cancel);
  EXPECT_EQ(RowsOf(cleaner, BrowserCode::Firefox),
            (std::map<std::string, std::uint32_t>{{"saved logins: portal.test", 1}}));
  EXPECT_TRUE(RowsOf(cleaner, BrowserCode::Chrome).empty());

  // Only black-listed sites' logins go when only those are to go.
  whitelist.Clear();
  owner.options.blacklistedOnly = true;
  test::RunErase(cleaner, cancel);
  EXPECT_EQ(RowsOf(cleaner, BrowserCode::Firefox).size(), 1u);
  blacklist.Parse("portal.test\n");
  test::RunScan(cleaner, cancel);
  test::RunErase(cleaner, cancel);
  test::RunScan(cleaner, cancel);
  EXPECT_TRUE(RowsOf(cleaner, BrowserCode::Firefox).empty());
}

TEST(BrowserFormsCleanerTest, NothingFoundMeansNoPage) {
  test::UrlCacheMachine machine;
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserFormsCleaner>(owner);
  EXPECT_FALSE(plugin->HasItems());
  test::RunScan(*plugin, cancel);
  EXPECT_FALSE(plugin->HasItems());
}

TEST(FormSelectionTest, SavedLoginsOfASiteOnBothListsStay) {
  DomainList black;
  DomainList white;
  black.Parse("both.test\nblack.test\n");
  white.Parse("both.test\n");
  for (const bool blacklistedOnly : {false, true}) {
    BrowserScanResult result;
    for (const char* key : {"saved logins: both.test", "saved logins: black.test",
                            "saved logins: gray.test", "both.test", "email"}) {
      result.AddEntry(key, {});
    }
    SelectFormRecords(result, black, white, blacklistedOnly);
    const auto status = [&](const char* key) { return result.domains.at(key).status; };
    EXPECT_EQ(status("saved logins: both.test"), DomainStatus::Found);
    EXPECT_EQ(status("saved logins: black.test"), DomainStatus::Selected);
    EXPECT_EQ(status("saved logins: gray.test"),
              blacklistedOnly ? DomainStatus::Found : DomainStatus::Selected);
    // Form entries go whatever the lists say.
    EXPECT_EQ(status("both.test"), DomainStatus::Selected);
    EXPECT_EQ(status("email"), DomainStatus::Selected);
  }
}

}  // namespace
}  // namespace corvane
