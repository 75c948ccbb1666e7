#include "cleaners/mozilla/netscape_forms.h"

#include <gtest/gtest.h>

#include "tests/support/mozilla_machine.h"
#include "tests/support/pending_renames.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string Pref(std::string_view name, std::string_view value) {
  return "user_pref(\"" + std::string(name) + "\", \"" + std::string(value) + "\");\n";
}

constexpr char kSignons[] =
    "#2c\n.\nhttp://www.mail.test:443\n\\=username=\\\nMCDEF\n*\\=password=\\\nMCGHI\n.\n"
    "http://shop.test\nuser\nMC01\n.\n";
constexpr char kWallet[] = "W\nwww.bank.test/login\nname\nwww.plain.test\nphone\n";

class NetscapeFormsTest : public ::testing::Test {
 protected:
  NetscapeFormsTest() : mozilla_(test::NetscapeKeys()) {}

  std::map<std::string, std::uint32_t> Counts() {
    BrowserScanResult result;
    EXPECT_EQ(GetNetscapeFormStorageData(result, mozilla_.Progress()), 1);
    std::map<std::string, std::uint32_t> counts;
    for (const auto& [key, record] : result.domains) counts[key] = record.itemCount;
    return counts;
  }

  test::MozillaMachine mozilla_;
};

TEST_F(NetscapeFormsTest, CountsTheHostsOfTheFilesThePreferencesName) {
  const std::string suite = mozilla_.SuiteProfile();
  mozilla_.Write(suite, "prefs.js",
                 "# Mozilla User Preferences\n" + Pref("signon.SignonFileName", "a1b2.s") +
                     Pref("wallet.SchemaValueFileName", "c3d4.w"));
  mozilla_.Write(suite, "a1b2.s", kSignons);
  mozilla_.Write(suite, "c3d4.w", kWallet);
  // Netscape 4 names its signon file in both preference files: it counts twice.
  const std::string netscape = mozilla_.NetscapeProfile();
  mozilla_.Write(netscape, "user.js", Pref("signon.SignonFileName", "n.s"));
  mozilla_.Write(netscape, "prefs.js", Pref("signon.SignonFileName", "n.s"));
  mozilla_.Write(netscape, "n.s", "http://twice.test\n");
  // Firefox's profiles are not walked for forms.
  const std::string firefox = mozilla_.FirefoxProfile();
  mozilla_.Write(firefox, "prefs.js", Pref("signon.SignonFileName", "f.s"));
  mozilla_.Write(firefox, "f.s", "http://firefox.test\n");
  const std::map<std::string, std::uint32_t> expected = {{"mail.test:443", 1},
                                                         {"shop.test", 1},
                                                         {"bank.test", 1},
                                                         {"plain.test", 1},
                                                         {"twice.test", 2}};
  EXPECT_EQ(Counts(), expected);
}

TEST_F(NetscapeFormsTest, EraseDeletesTheNamedFilesOnly) {
  const std::string suite = mozilla_.SuiteProfile();
  mozilla_.Write(
      suite, "prefs.js",
      Pref("signon.SignonFileName", "a1b2.s") + Pref("wallet.SchemaValueFileName", "c3d4.w"));
  const fs::path signons = mozilla_.Write(suite, "a1b2.s", kSignons);
  const fs::path wallet = mozilla_.Write(suite, "C3D4.W", kWallet);
  const fs::path other = mozilla_.Write(suite, "other.s", kSignons);
  EXPECT_EQ(DeleteNetscapeFormStorageData(Overwrite::On), 1);
  EXPECT_FALSE(fs::exists(signons));
  EXPECT_FALSE(fs::exists(wallet));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(Counts().empty());
  // Nothing left to delete is no failure.
  EXPECT_EQ(DeleteNetscapeFormStorageData(Overwrite::On), 1);
}

TEST_F(NetscapeFormsTest, ValuesThatLeadOutOfTheProfileAreNeverFollowed) {
  const std::string suite = mozilla_.SuiteProfile();
  const fs::path outside = mozilla_.Machine().Host("C:\\windows\\win.ini");
  WriteHostFile(outside, "http://outside.test\n");
  mozilla_.Write(
      suite, "user.js",
      Pref("signon.SignonFileName", "..\\\\..\\\\..\\\\..\\\\..\\\\..\\\\windows\\\\win.ini") +
          Pref("wallet.SchemaValueFileName", "C:\\\\windows\\\\win.ini"));
  mozilla_.Write(suite, "prefs.js",
                 Pref("signon.SignonFileName", "../../../../../../windows/win.ini"));
  EXPECT_TRUE(Counts().empty());
  EXPECT_EQ(DeleteNetscapeFormStorageData(Overwrite::On), 1);
  EXPECT_EQ(ReadHostFile(outside), "http://outside.test\n");

  // A value naming a folder of the profile: not a form file, so not deleted, now or later.
  mozilla_.Write(suite, "user.js", Pref("signon.SignonFileName", "Cache"));
  mozilla_.Write(suite, "Cache\\_CACHE_MAP_", "map");
  EXPECT_TRUE(Counts().empty());
  EXPECT_EQ(DeleteNetscapeFormStorageData(Overwrite::On), 0);
  EXPECT_EQ(ReadHostFile(mozilla_.Host(suite, "Cache\\_CACHE_MAP_")), "map");
  EXPECT_FALSE(test::PendingFileRenames());
}

}  // namespace
}  // namespace corvane
