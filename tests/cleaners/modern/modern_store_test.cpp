#include "cleaners/modern/modern_store.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(HostKeyTest, KeysAsTheDomainListsDo) {
  EXPECT_EQ(HostKey(".beta.test"), "beta.test");
  EXPECT_EQ(HostKey("www.beta.test"), "beta.test");
  EXPECT_EQ(HostKey("beta.testing.com"), "beta.testing.com");
}

TEST(UrlHostKeyTest, ParsesTheHostOutOfTheAuthority) {
  EXPECT_EQ(UrlHostKey("https://beta.test/a"), "beta.test");
  EXPECT_EQ(UrlHostKey("HTTP://user:pw@WWW.Beta.Test.:8080/x?y#z"), "beta.test");
  EXPECT_EQ(UrlHostKey("http://beta.testing.com"), "beta.testing.com");
  EXPECT_EQ(UrlHostKey("https://beta.test?q=http://other.test/"), "beta.test");
  EXPECT_EQ(UrlHostKey("http://a.test@beta.test/"), "beta.test");
  EXPECT_EQ(UrlHostKey("ftp://ftp.files.test/pub"), "files.test");
  EXPECT_EQ(UrlHostKey("http://[::1]:8000/"), "[::1]");
  // Not the web: nothing to file under a host.
  EXPECT_EQ(UrlHostKey("about:blank"), "");
  EXPECT_EQ(UrlHostKey("file:///C:/x.html"), "");
  EXPECT_EQ(UrlHostKey("moz-extension://1234/page.html"), "");
  EXPECT_EQ(UrlHostKey("http:beta.test"), "");
  EXPECT_EQ(UrlHostKey("beta.test/a"), "");
}

}  // namespace
}  // namespace corvane
