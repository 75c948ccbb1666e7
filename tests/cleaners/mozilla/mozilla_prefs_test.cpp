#include "cleaners/mozilla/mozilla_prefs.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

class MozillaPrefsTest : public ::testing::Test {
 protected:
  std::optional<std::string> Read(std::string_view content, std::string_view name) {
    const std::string path = (dir_.Path() / "prefs.js").string();
    WriteHostFile(path, content);
    return ReadPref(path, name);
  }

  TempDir dir_;
};

TEST_F(MozillaPrefsTest, TheSecondQuotedStringOfTheFirstLineNamingThePreference) {
  EXPECT_EQ(Read("# Mozilla User Preferences\n"
                 "user_pref(\"browser.cache.disk.capacity\", 50000);\n"
                 "user_pref(\"signon.SignonFileName\", \"12345678.s\");\n"
                 "user_pref(\"signon.SignonFileName\", \"second.s\");\n",
                 "signon.SignonFileName"),
            "12345678.s");
  // Comment lines and lines that begin with a carriage return are passed over.
  EXPECT_EQ(Read("#user_pref(\"a.b\", \"no\");\n\ruser_pref(\"a.b\", \"no\");\n"
                 "user_pref(\"a.b\", \"yes\");",
                 "a.b"),
            "yes");
  EXPECT_EQ(Read("user_pref(\"a.b\", \"\");\n", "a.b"), "");
}

TEST_F(MozillaPrefsTest, NoneWhenTheFileTheLineOrTheValueIsMissingOrTooLong) {
  EXPECT_FALSE(ReadPref((dir_.Path() / "missing.js").string(), "a.b"));
  EXPECT_FALSE(Read("user_pref(\"other\", \"x\");\n", "a.b"));
  // The first line naming it decides, even without a value.
  EXPECT_FALSE(Read("user_pref(\"a.b\", 5);\nuser_pref(\"a.b\", \"late\");\n", "a.b"));
  EXPECT_FALSE(Read("user_pref(\"a.b\", \"unclosed);\n", "a.b"));
  EXPECT_EQ(Read("user_pref(\"a.b\", \"" + std::string(99, 'v') + "\");\n", "a.b"),
            std::string(99, 'v'));
  EXPECT_FALSE(Read("user_pref(\"a.b\", \"" + std::string(100, 'v') + "\");\n", "a.b"));
}

TEST_F(MozillaPrefsTest, ALongLineIsOneLine) {
  // Past the first 1023 bytes, the rest of a long line must not read as a line of its own.
  const std::string longLine =
      "user_pref(\"x\", \"" + std::string(5000, 'x') + "\"); user_pref(\"a.b\", \"tail\");\n";
  EXPECT_EQ(Read(longLine + "user_pref(\"a.b\", \"real\");\n", "a.b"), std::nullopt);
  const std::string hugeLine = std::string(1 << 20, 'h') + "user_pref(\"a.b\", \"huge\");\n";
  EXPECT_EQ(Read(hugeLine + "user_pref(\"a.b\", \"next\");\n", "a.b"), "next");
  EXPECT_EQ(Read(std::string("\0\xff\x01", 3) + "\nuser_pref(\"a.b\", \"after junk\");", "a.b"),
            "after junk");
}

}  // namespace
}  // namespace corvane
