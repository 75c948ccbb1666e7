#include "cleaners/mozilla/mozilla_profiles.h"

#include <gtest/gtest.h>

#include "tests/support/mozilla_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(MozillaProfilesTest, EachStoreWalksItsListsInOrder) {
  test::MozillaMachine mozilla(test::NetscapeKeys());
  const std::string suiteA = mozilla.SuiteProfile("alice", "a1.slt");
  const std::string suiteB = mozilla.SuiteProfile("alice", "b2.slt");
  mozilla.SuiteProfile(".hidden", "h.slt");
  mozilla.SuiteProfile("alice", ".dot");
  mozilla.SuiteProfile("bob", "x.slt");
  const std::string bobFile = "C:\\users\\ann\\AppData\\Roaming\\Mozilla\\Profiles\\bob\\file";
  mozilla.Machine().WriteFile(bobFile, "a file is no profile");
  const std::string firefox = mozilla.FirefoxProfile("f.default");
  const std::string firefoxLocal = mozilla.FirefoxCacheProfile("l.default");
  const std::string netscape = "C:\\Program Files\\Netscape\\Users\\ann\\";
  const std::string bob = "C:\\users\\ann\\AppData\\Roaming\\Mozilla\\Profiles\\bob\\x.slt\\";

  std::vector<std::string> profiles;
  ASSERT_TRUE(BuildProfileList(MozillaStore::Cookies, profiles));
  std::vector<std::string> suite(profiles.begin(), profiles.begin() + 3);
  std::sort(suite.begin(), suite.end());
  EXPECT_EQ(suite, (std::vector<std::string>{suiteA, suiteB, bob}));
  EXPECT_EQ(std::vector<std::string>(profiles.begin() + 3, profiles.end()),
            (std::vector<std::string>{firefox, netscape}));

  ASSERT_TRUE(BuildProfileList(MozillaStore::Cache, profiles));
  EXPECT_EQ(profiles.size(), 5u);
  EXPECT_EQ(profiles[3], firefoxLocal);
  ASSERT_TRUE(BuildProfileList(MozillaStore::Forms, profiles));
  EXPECT_EQ(profiles.size(), 4u);
  EXPECT_EQ(profiles.back(), netscape);
}

TEST(MozillaProfilesTest, AMissingShellFolderFailsTheDiscovery) {
  test::MozillaMachine mozilla;
  fs::remove_all(mozilla.Machine().Host("C:\\users\\ann\\AppData\\Local"));
  std::vector<std::string> profiles;
  EXPECT_TRUE(BuildProfileList(MozillaStore::History, profiles));
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(BuildProfileList(MozillaStore::Cache, profiles));
  EXPECT_FALSE(FirefoxProfiles(FirefoxFolder::Local, profiles));
}

TEST(MozillaProfilesTest, NetscapeProfileNeedsBothValuesAndAFolderAboveTheProgram) {
  EXPECT_EQ(test::MozillaMachine().Machine().UserName(), "ann");
  EXPECT_EQ(NetscapeProfile(), "");
  {
    test::MozillaMachine mozilla(
        test::NetscapeKeys("D:\\\\Netscape\\\\Communicator\\\\Program", "Joe"));
    EXPECT_EQ(NetscapeProfile(), "D:\\Netscape\\Communicator\\Users\\Joe\\");
  }
  // An install directory without "\" names no folder; a relative one, or a user name that climbs
  // out of "Users", would name folders somewhere else.
  for (const auto& [directory, user] : std::vector<std::pair<std::string, std::string>>{
           {"Netscape", "ann"},
           {"Program Files\\\\Netscape\\\\Program", "ann"},
           {"C:\\\\Netscape\\\\Program", "..\\\\..\\\\windows"},
           {"C:\\\\Netscape\\\\Program", ".."},
           {"C:\\\\Netscape\\\\Program", ""},
           {"C:\\\\" + std::string(300, 'n') + "\\\\Program", "ann"}}) {
    test::MozillaMachine mozilla(test::NetscapeKeys(directory, user));
    EXPECT_EQ(NetscapeProfile(), "") << directory << " " << user;
  }
}

}  // namespace
}  // namespace corvane
