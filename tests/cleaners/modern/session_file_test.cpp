#include "cleaners/modern/session_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/demo_modern_history.h"

namespace corvane {
namespace {

using Urls = std::vector<std::string>;

TEST(SessionFileTest, Lz4BlocksDecodeWithRunsAndLongLengthsButNothingOutOfBounds) {
  // "abcabcabcabcX": 3 literals, a match of 9 at offset 3 (overlapping), then 1 literal.
  const std::string block = std::string(
      "\x35"
      "abc"
      "\x03\x00"
      "\x10"
      "X",
      8);
  EXPECT_EQ(DecodeLz4Block(block, 13), "abcabcabcabcX");
  EXPECT_FALSE(DecodeLz4Block(block, 12));  // more than the frame said
  EXPECT_FALSE(DecodeLz4Block(block, 14));  // less
  // An offset reaching before the start, a match cut short, a literal run past the end.
  EXPECT_FALSE(DecodeLz4Block(std::string("\x35"
                                          "abc"
                                          "\x04\x00"
                                          "\x10"
                                          "X",
                                          8),
                              13));
  EXPECT_FALSE(DecodeLz4Block(std::string("\x35"
                                          "abc"
                                          "\x03",
                                          5),
                              13));
  EXPECT_FALSE(
      DecodeLz4Block("\x50"
                     "ab",
                     5));
  EXPECT_FALSE(DecodeLz4Block(std::string("\xf0\xff\xff", 3), 600));
  // A length of 15 + 255 + 30 literals.
  const std::string text(300, 'q');
  const std::string frame = MozLz4Frame(text);
  EXPECT_EQ(DecodeMozLz4(frame, 1000), text);
  EXPECT_FALSE(DecodeMozLz4(frame, 299));  // larger than allowed
  EXPECT_FALSE(DecodeMozLz4("mozLz40", 1000));
  EXPECT_FALSE(DecodeMozLz4(std::string("mozLz41\0\1\0\0\0\x10q", 14), 1000));
}

TEST(SessionFileTest, JsonStringsThatAreWebAddressesAreFound) {
  const std::string json =
      R"({"url":"https:\/\/a.test\/x?q=\"1\"","title":"http is not a url",)"
      R"("triggeringPrincipal_base64":"{\"3\":{}}","x":["about:blank","ftp://\u0046.test/"],)"
      R"("referrer":"file:///C:/a.pdf","image":"http://b.test/i.png")";
  EXPECT_EQ(JsonWebUrls(json),
            (Urls{"https://a.test/x?q=\"1\"", "ftp://F.test/", "http://b.test/i.png"}));
  // A string cut off by the end: what came before still counts.
  EXPECT_EQ(JsonWebUrls(R"(["http://c.test/", "http://d.te)"), Urls{"http://c.test/"});
}

TEST(SessionFileTest, BinaryAddressesFollowTheirLengthPrefixes) {
  std::string data("SNSS\1\0\0\0", 8);
  // A pickled string of 14 bytes followed directly by printable bytes, then one without a
  // plausible prefix ended by a zero byte, a scheme that is no web scheme, and a string whose
  // length byte reads as a letter.
  data += std::string("\x0e\0\0\0", 4) + "https://a.test" + "AB\x7f";
  data += std::string("\xff\xff\0\0", 4) + "http://b.test/p" + std::string(1, '\0');
  data += "chrome://settings/" + std::string("h\0\0\0http://c.test", 17);
  EXPECT_EQ(BinaryWebUrls(data), (Urls{"https://a.test", "http://b.test/p", "http://c.test"}));
  EXPECT_EQ(BinaryWebUrls("ftp://"), Urls{});
}

TEST(SessionFileTest, SiteSettingsNameTheHostsOfTheirPatterns) {
  const std::string json =
      R"({"homepage":"https://home.test/","profile":{"content_settings":{"exceptions":)"
      R"({"site_engagement":{"https://www.beta.test:443,*":{"setting":{"rawScore":3.0}},)"
      R"("http://beta.test:80,*":{}},"zoom":{"[*.]gamma.test,https://x.test:443":{}}}}}})";
  // "[*.]gamma.test" is a pattern but no URL: it is passed over rather than misread.
  EXPECT_EQ(SiteSettingHosts(json), (Urls{"beta.test"}));
}

}  // namespace
}  // namespace corvane
