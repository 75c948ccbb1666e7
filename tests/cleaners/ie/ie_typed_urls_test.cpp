#include "cleaners/ie/ie_typed_urls.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/temp_registry.h"

namespace corvane {
namespace {

constexpr char kTyped[] =
    "\n[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLs] 1700000000\n"
    "\"url1\"=\"http://www.example.com/\"\n"
    "\"url2\"=\"file:///C:/users/ann/notes.txt\"\n"
    "\"url3\"=\"example.org\"\n";

bool ValueExists(const char* name) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, kTypedUrlsKey, &key) != ERROR_SUCCESS) return false;
  const bool exists = RegQueryValueExW(key, name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return exists;
}

TEST(IeTypedUrlsTest, TypedAddressesAreFoundAndErased) {
  test::TempRegistry registry("", kTyped);
  BrowserScanResult result;
  ASSERT_EQ(ScanTypedUrls(result), PluginResult::Finished);
  EXPECT_EQ(result.browser, BrowserCode::TypedUrls);
  // Filed under the address as typed; a local file's address is filed too (it is no drive).
  ASSERT_EQ(result.domains.size(), 3u);
  EXPECT_EQ(result.domains.at("http://www.example.com/").entries.front().url, "url1");
  EXPECT_TRUE(result.domains.count("example.org"));

  result.domains.at("example.org").entries.front().url = "no such value";
  EXPECT_EQ(EraseTypedUrls(result), PluginResult::Finished);
  EXPECT_EQ(result.domains.at("http://www.example.com/").status, DomainStatus::Erased);
  EXPECT_EQ(result.domains.at("example.org").status, DomainStatus::Failed);
  EXPECT_FALSE(ValueExists("url1"));
  EXPECT_FALSE(ValueExists("url2"));
  EXPECT_TRUE(ValueExists("url3"));
}

TEST(IeTypedUrlsTest, AnAddressTypedTwiceLosesBothValues) {
  const std::string typedTwice = std::string(kTyped) + "\"url4\"=\"example.org\"\n";
  {
    test::TempRegistry registry("", typedTwice);
    BrowserScanResult result;
    ASSERT_EQ(ScanTypedUrls(result), PluginResult::Finished);
    ASSERT_EQ(result.domains.at("example.org").entries.size(), 2u);
    EXPECT_EQ(EraseTypedUrls(result), PluginResult::Finished);
    EXPECT_EQ(result.domains.at("example.org").status, DomainStatus::Erased);
    EXPECT_FALSE(ValueExists("url3"));
    EXPECT_FALSE(ValueExists("url4"));
  }
  // One of two values that cannot be deleted leaves the address listed: the record failed.
  test::TempRegistry registry("", typedTwice);
  BrowserScanResult second;
  ASSERT_EQ(ScanTypedUrls(second), PluginResult::Finished);
  second.domains.at("example.org").entries.back().url = "no such value";
  EXPECT_EQ(EraseTypedUrls(second), PluginResult::Finished);
  EXPECT_EQ(second.domains.at("example.org").status, DomainStatus::Failed);
}

TEST(IeTypedUrlsTest, AMissingKeyFailsTheScanAndLeavesTheEraseAlone) {
  test::TempRegistry registry;
  BrowserScanResult result;
  EXPECT_EQ(ScanTypedUrls(result), PluginResult::Failed);
  result.AddEntry("x", {"url1", "", 0, 0, 0});
  EXPECT_EQ(EraseTypedUrls(result), PluginResult::Finished);
  EXPECT_EQ(result.domains.at("x").status, DomainStatus::Found);
}

}  // namespace
}  // namespace corvane
