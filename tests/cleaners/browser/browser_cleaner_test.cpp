#include "cleaners/browser/browser_cleaner.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "cleaners/browser/browser_cookies_cleaner.h"
#include "cleaners/browser/browser_history_cleaner.h"
#include "platform/dom/document.h"
#include "tests/support/demo_machine_scope.h"
#include "tests/support/plugin_run.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

std::size_t DomainsWithEntries(const BrowserCleaner& cleaner) {
  std::size_t count = 0;
  for (const auto& [code, result] : cleaner.Results()) {
    for (const auto& [key, record] : result.domains) count += record.entries.empty() ? 0 : 1;
  }
  return count;
}

// A details page lists the entries of every domain that has some, under the domain's name,
// collapsed until the user opens the list; the report lists none.
template <typename Cleaner>
void ExpectEntryListsOnTheDetailsPageOnly(std::string_view someEntry) {
  test::DemoMachineScope demo;
  ASSERT_TRUE(demo.Built());
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<Cleaner>(owner);
  auto& cleaner = static_cast<Cleaner&>(*plugin);
  test::RunScan(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Scanned);
  const std::size_t withEntries = DomainsWithEntries(cleaner);
  ASSERT_GT(withEntries, 0u);

  const auto details = dom::Document::Parse("<div>" + test::PageHtml(cleaner) + "</div>");
  const auto lists = details->ElementsWithAttribute("class", "found-items domain-entries");
  EXPECT_EQ(lists.size(), withEntries);
  for (const dom::Element& list : lists) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(list.GetAttribute("open")));
    // Inside the domain's own cell, so that the table keeps one row per domain.
    EXPECT_EQ(list.Parent().TagName(), "TD");
  }
  EXPECT_NE(details->Body().InnerText().find(someEntry), std::string::npos);

  test::RunErase(cleaner, cancel);
  ASSERT_EQ(cleaner.GetScanState(), ScanState::Erased);
  EXPECT_EQ(test::PageHtml(cleaner, true).find("domain-entries"), std::string::npos);
}

TEST(BrowserCleanerTest, HistoryDetailsListTheEntriesOfEachDomain) {
  ExpectEntryListsOnTheDetailsPageOnly<BrowserHistoryCleaner>("news.test");
}

TEST(BrowserCleanerTest, CookieDetailsListTheEntriesOfEachDomain) {
  ExpectEntryListsOnTheDetailsPageOnly<BrowserCookiesCleaner>("Show entries (");
}

}  // namespace
}  // namespace corvane
