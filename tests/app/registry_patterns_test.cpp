#include "app/registry_patterns.h"

#include <gtest/gtest.h>

#include "tests/support/temp_registry.h"

namespace corvane {
namespace {

TEST(MatchWildcard, StarsTakeAtLeastOneCharacterWithoutBacktracking) {
  struct Case {
    const char* name;
    const char* pattern;
    bool matches;
  };
  const Case cases[] = {{"abc", "a*c", true},   {"abbc", "a*c", true},  {"ac", "a*c", false},
                        {"abcd", "abc*", true}, {"abc", "abc*", false}, {"xabc", "*abc", true},
                        {"abc", "*abc", false}, {"x", "*", true},       {"ba", "*a*", false},
                        {"bab", "*a*", true},   {"", "", true},         {"", "*", false},
                        {"x", "", true},        {"abc", "abc", true},   {"abcd", "abc", false},
                        {"ABC", "abc", false},  {"abc", "a?c", false},  {"a?c", "a?c", true},
                        {"abab", "*b", false},  {"ab", "a**b", false},  {"axb", "a**b", true},
                        {"éb", "*b", true},     {"b", "*b", false},     {"xaybz", "*a*b*", true}};
  for (const Case& c : cases) {
    EXPECT_EQ(MatchWildcard(c.name, c.pattern), c.matches) << c.name << " / " << c.pattern;
  }
}

TEST(RegistryRootName, NamesThePredefinedRootsOnly) {
  EXPECT_EQ(RegistryRootName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RegistryRootName(HKEY_PERFORMANCE_NLSTEXT), "HKEY_PERFORMANCE_NLSTEXT");
  EXPECT_EQ(RegistryRootName(0x80000007), "");
  EXPECT_EQ(RegistryRootName(0), "");
}

class RegistryPatternsTest : public ::testing::Test {
 protected:
  test::TempRegistry registry_{
      "",
      "\n[Software\\\\Game] 1700000000\n\"Score1\"=dword:00000001\n\"Score2\"=dword:00000002\n"
      "\"Name\"=\"x\"\n"
      "\n[Software\\\\Game\\\\Deep\\\\Deeper] 1700000000\n\"Score3\"=dword:00000003\n"
      "\n[Software\\\\Game\\\\Other] 1700000000\n\"Keep\"=\"k\"\n"};
};

TEST_F(RegistryPatternsTest, CountsInOneKeyAndInTheTree) {
  std::uint32_t count = 10;
  EXPECT_TRUE(CountMatchingValues(HKEY_CURRENT_USER, "Software\\Game", "Score*", count));
  EXPECT_EQ(count, 12u);
  EXPECT_FALSE(CountMatchingValues(HKEY_CURRENT_USER, "Software\\None", "*", count));
  count = 0;
  EXPECT_TRUE(CountMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "Score*", count, {}));
  EXPECT_EQ(count, 3u);
  count = 0;
  EXPECT_FALSE(CountMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "*", count,
                                         [] { return true; }));
  EXPECT_EQ(count, 3u);  // the top key is counted before the first question
}

TEST_F(RegistryPatternsTest, DeletesEveryMatchOfAKeyKeepingTheIndex) {
  std::uint32_t deleted = 0;
  EXPECT_TRUE(DeleteMatchingValues(HKEY_CURRENT_USER, "Software\\Game", "*", deleted));
  EXPECT_EQ(deleted, 3u);
  std::uint32_t left = 0;
  EXPECT_TRUE(CountMatchingValues(HKEY_CURRENT_USER, "Software\\Game", "*", left));
  EXPECT_EQ(left, 0u);
}

TEST_F(RegistryPatternsTest, TreeDeletionRemovesEmptiedKeysTheTopOneIncluded) {
  DeletionAccumulator tally;
  EXPECT_TRUE(
      DeleteMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "Score*", {}, &tally));
  EXPECT_EQ(tally.Erased().items, 3u);
  EXPECT_EQ(tally.Erased().bytes, 0u);
  HKEY key = 0;
  // Deep held only a matching value's key: both levels go; Other and the top key stay.
  EXPECT_NE(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Game\\Deep", &key), 0);
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Game\\Other", &key), 0);
  RegCloseKey(key);

  EXPECT_TRUE(DeleteMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "*", {}, nullptr));
  EXPECT_NE(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Game", &key), 0);
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software", &key), 0);
  RegCloseKey(key);
  EXPECT_FALSE(DeleteMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "*", {}, nullptr));
}

TEST_F(RegistryPatternsTest, CancelledTreeDeletionStopsAndSaysSo) {
  int asked = 0;
  EXPECT_FALSE(DeleteMatchingValuesInTree(
      HKEY_CURRENT_USER, "Software\\Game", "*", [&] { return ++asked > 0; }, nullptr));
  EXPECT_EQ(asked, 1);
  std::uint32_t left = 0;
  EXPECT_TRUE(CountMatchingValuesInTree(HKEY_CURRENT_USER, "Software\\Game", "*", left, {}));
  EXPECT_EQ(left, 2u);  // the sub-keys were never visited
}

TEST(RegistryPatternsReadOnly, FailedDeletionsAreReportedAndDoNotLoop) {
  test::ScratchFolder prefix;
  const std::string damaged =
      test::HiveText("REGISTRY\\Machine",
                     "\n[Software\\\\Game] 1700000000\n\"Score1\"=dword:00000001\n\n[Broken\n");
  prefix.Write("system.reg", damaged);
  prefix.Write("user.reg", test::HiveText("REGISTRY\\User\\S-1-5-21-0-0-0-1000", ""));
  RegistryStore store(prefix.Path());
  RegistryStore::SetCurrent(&store);
  std::uint32_t deleted = 0;
  std::uint32_t notDeleted = 0;
  EXPECT_FALSE(
      DeleteMatchingValues(HKEY_LOCAL_MACHINE, "Software\\Game", "*", deleted, &notDeleted));
  EXPECT_EQ(deleted, 0u);
  EXPECT_EQ(notDeleted, 1u);
  DeletionAccumulator tally;
  EXPECT_FALSE(DeleteMatchingValuesInTree(HKEY_LOCAL_MACHINE, "Software\\Game", "*", {}, &tally));
  EXPECT_EQ(tally.Erased().items, 0u);
  EXPECT_EQ(tally.NotErased().items, 1u);  // the value that stayed is a failure
  RegistryStore::SetCurrent(nullptr);
}

}  // namespace
}  // namespace corvane
