#include "platform/text.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(TextTest, Utf16RoundTripKeepsBomAndAstralCharacters) {
  const std::string text =
      "\xEF\xBB\xBF"
      "caf\xC3\xA9 \xF0\x9F\x98\x80";
  const std::u16string wide = Utf8ToUtf16(text);
  ASSERT_EQ(wide.size(), 8u);
  EXPECT_EQ(wide[0], 0xFEFF);
  EXPECT_EQ(wide[6], 0xD83D);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(TextTest, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(SanitizeUtf8("a\xFF"
                         "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(SanitizeUtf8("\xC3"), "\xEF\xBF\xBD");                  // truncated at the end
  EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong
  EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(TextTest, LittleEndianBytesStopAtTheFirstNul) {
  EXPECT_EQ(Utf16LeBytesToUtf8(std::string("h\0i\0\0\0z\0", 8)), "hi");
  EXPECT_EQ(Utf16LeBytesToUtf8(std::string("h\0i", 3)), "h");
  // Registry string data carries its NUL; an astral character is two units.
  EXPECT_EQ(RegistryStringData("h\xF0\x9F\x98\x80"), std::string("h\0\x3D\xD8\x00\xDE\0\0", 8));
  EXPECT_EQ(Utf16LeBytesToUtf8(RegistryStringData("Grüße")), "Grüße");
}

TEST(TextTest, Cp1252MapsTheHighControlsRange) {
  EXPECT_EQ(Cp1252ToUtf8("\x80 \xE9"), "\xE2\x82\xAC \xC3\xA9");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xC3\xA9 \xE4\xB8\xAD"), "\x80 \xE9 ?");
}

TEST(TextTest, CaseInsensitiveComparisonFollowsWindowsOrder) {
  EXPECT_TRUE(EqualsNoCase("History.dat", "history.DAT"));
  EXPECT_TRUE(EqualsNoCase("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"));  // Été
  EXPECT_TRUE(EqualsNoCase("\xD0\x9F\xD1\x80", "\xD0\xBF\xD0\xA0"));    // Cyrillic
  EXPECT_LT(CompareNoCase("abc", "ABCD"), 0);  // shorter first on an equal prefix
  EXPECT_LT(CompareNoCase("Z", "_"), 0);       // folded to upper case before comparing
  EXPECT_GT(CompareNoCase("b", "A"), 0);
}

}  // namespace
}  // namespace corvane
