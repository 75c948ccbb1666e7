#include "cleaners/browser/browser_forms_cleaner.h"

#include <gtest/gtest.h>

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

TEST(BrowserFormsCleanerTest, NothingFoundMeansNoPage) {
  test::UrlCacheMachine machine;
  test::TestOwner owner;
  Event cancel(EventReset::Manual, false);
  PluginPtr plugin = MakePlugin<BrowserFormsCleaner>(owner);
  EXPECT_FALSE(plugin->HasItems());
  test::RunScan(*plugin, cancel);
  EXPECT_FALSE(plugin->HasItems());
}

}  // namespace
}  // namespace corvane
