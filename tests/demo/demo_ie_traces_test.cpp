#include "demo/demo_ie_traces.h"

#include <gtest/gtest.h>

#include <memory>

#include "cleaners/ie/ie_typed_urls.h"
#include "cleaners/ie/ie_url_cache.h"
#include "demo/demo_machine.h"
#include "platform/machine.h"
#include "platform/registry_store.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// The demo machine's browser traces read back through the back-end, as the cleaners will.
TEST(DemoIeTracesTest, TheDemoMachineHasCacheCookiesHistoryAndTypedUrls) {
  test::ScratchFolder folder;
  std::string error;
  ASSERT_TRUE(BuildDemoMachine(folder.Path() / "demo", folder.Path() / "program", error)) << error;
  std::unique_ptr<Machine> machine = Machine::Open(folder.Path() / "demo", &error);
  ASSERT_TRUE(machine) << error;
  Machine* previousMachine = Machine::Current();
  RegistryStore* previousRegistry = RegistryStore::Current();
  Machine::SetCurrent(machine.get());
  {
    RegistryStore registry(folder.Path() / "demo");
    RegistryStore::SetCurrent(&registry);
    BrowserScanResult cache, cookies, history, typed;
    EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cache, cache, nullptr), PluginResult::Finished);
    EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::Cookies, cookies, nullptr), PluginResult::Finished);
    EXPECT_EQ(EnumerateUrlCache(UrlCacheMode::History, history, nullptr), PluginResult::Finished);
    EXPECT_EQ(ScanTypedUrls(typed), PluginResult::Finished);
    EXPECT_EQ(cache.items, 8u);
    EXPECT_EQ(cache.domains.size(), 4u);
    EXPECT_GT(cache.size, 100'000u);
    EXPECT_EQ(cookies.domains.size(), 4u);
    EXPECT_EQ(history.items, 8u);
    EXPECT_EQ(typed.domains.size(), 3u);
    for (const DomainEntry& entry : cache.domains.at("example.com").entries)
      EXPECT_TRUE(std::filesystem::exists(*machine->ToHostPath(entry.localFile)))
          << entry.localFile;
    RegistryStore::SetCurrent(previousRegistry);
  }
  Machine::SetCurrent(previousMachine);
}

}  // namespace
}  // namespace corvane
