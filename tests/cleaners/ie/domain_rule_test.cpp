#include "cleaners/ie/domain_rule.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(DomainRuleTest, SchemesGiveTheirHostsAndTheRestIsSystemOrUnknown) {
  EXPECT_EQ(DomainFromUrl("http://www.example.com"), "example.com");
  EXPECT_EQ(DomainFromUrl("https://example.com/a/b"), "example.com");
  EXPECT_EQ(DomainFromUrl("ftp://ftp.example.com/pub"), "example.com");
  EXPECT_EQ(DomainFromUrl("ftp://www.example.com/pub"), "www.example.com");
  EXPECT_EQ(DomainFromUrl("http://www.Example.COM:8080/x"), "Example.COM:8080");
  EXPECT_EQ(DomainFromUrl("http://user@host/x"), "user@host");
  EXPECT_EQ(DomainFromUrl("mailto:ann@example.com"), "system");
  EXPECT_EQ(DomainFromUrl("HTTP://www.example.com/"), "system");  // schemes compare exactly
  EXPECT_EQ(DomainFromUrl("no scheme here"), "Unknown Domain");
  EXPECT_EQ(DomainFromUrl("file:///C:/users/ann/page.html"), "C:");
  EXPECT_EQ(DomainFromUrl("file://server/share/x"), "server");
  EXPECT_EQ(DomainFromUrl("http:"), "");
  EXPECT_EQ(DomainFromUrl("file:///"), "");
}

TEST(DomainRuleTest, CookieAndHistoryEntriesNameTheirHosts) {
  EXPECT_EQ(CookieHost("Cookie:ann@www.example.com/"), "example.com");
  EXPECT_EQ(CookieHost("Cookie:ann@example.com/a/path"), "example.com");
  EXPECT_EQ(CookieHost("Cookie:ann@example.com"), "example.com");
  EXPECT_EQ(HistoryDomain("Visited: ann@http://www.example.com/a.html"), "example.com");
  EXPECT_EQ(HistoryDomain("Visited: ann@file:///C:/x.txt"), "C:");
}

TEST(DomainRuleTest, DrivesAndSystemAreNotFiled) {
  BrowserScanResult result;
  EXPECT_FALSE(AddDomainEntry(result, "C:", {"file:///C:/x", "", 1, 1, 1}));
  EXPECT_FALSE(AddDomainEntry(result, "System", {"about:blank", "", 1, 1, 1}));
  EXPECT_FALSE(AddDomainEntry(result, "\xC3\x84:", {"file:///\xC3\x84:/x", "", 1, 1, 1}));
  EXPECT_TRUE(result.domains.empty());

  EXPECT_TRUE(AddDomainEntry(result, "example.com", {"http://example.com/a", "", 10, 2, 100}));
  EXPECT_TRUE(AddDomainEntry(result, "example.com", {"http://example.com/b", "", 5, 3, 50}));
  const DomainRecord& record = result.domains.at("example.com");
  EXPECT_EQ(record.itemCount, 2u);
  EXPECT_EQ(record.size, 15u);
  EXPECT_EQ(record.hitTotal, 5u);
  EXPECT_EQ(record.lastAccess, 100u);
  EXPECT_EQ(result.items, 2u);
}

}  // namespace
}  // namespace corvane
