#include "platform/registry_name_case.h"

#include <gtest/gtest.h>

#include "platform/registry_hive.h"

namespace corvane {
namespace {

TEST(RegistryNameCase, FoldsRoundTripPairsOnly) {
  EXPECT_EQ(RegistryFoldCase(u'A'), u'a');
  EXPECT_EQ(RegistryFoldCase(u'_'), u'_');
  EXPECT_EQ(RegistryFoldCase(u'\u00c0'), u'\u00e0');
  EXPECT_EQ(RegistryFoldCase(u'\u00d7'), u'\u00d7');  // the multiplication sign sits among capitals
  EXPECT_EQ(RegistryFoldCase(u'\u0178'), u'\u00ff');
  EXPECT_EQ(RegistryFoldCase(u'\u0100'), u'\u0101');
  EXPECT_EQ(RegistryFoldCase(u'\u0101'), u'\u0101');  // odd member of a stride-2 run
  EXPECT_EQ(RegistryFoldCase(u'\u0531'), u'\u0561');
  EXPECT_EQ(RegistryFoldCase(u'\uff21'), u'\uff41');
  EXPECT_EQ(RegistryFoldCase(u'\u13a0'), u'\uab70');
  // Lower-casing these would not map back to them, so Wine leaves them alone.
  for (const char16_t c : {u'\u212a', u'\u212b', u'\u0130', u'\u1e9e', u'\u03f4', u'\u01c5'}) {
    EXPECT_EQ(RegistryFoldCase(c), c) << static_cast<unsigned>(c);
  }
}

TEST(RegistryNameCase, NamesSortAsWineSavesThem) {
  // In the order Wine wrote them to a file.
  const char* ordered[] = {"[",
                           "_",
                           "Z",
                           "\xc2\xb5",
                           "\xc3\x97",
                           "\xc3\x9f",
                           "\xc3\xa0",
                           "\xc3\xb7",
                           "\xc3\xbf",
                           "\xc4\x81",
                           "\xc4\xb0",
                           "\xc4\xb1",
                           "\xce\x9c",
                           "\xcf\x82",
                           "\xce\xa3",
                           "\xd0\xb0",
                           "\xd0\x80",
                           "\xe2\x84\xaa",
                           "\xf0\x9f\x98\x80",
                           "\xef\xbd\x81",
                           "\xef\xbf\xbd"};
  for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_LT(CompareRegistryNames(ordered[i], ordered[i + 1]), 0) << i;
    EXPECT_GT(CompareRegistryNames(ordered[i + 1], ordered[i]), 0) << i;
  }
  EXPECT_EQ(CompareRegistryNames("Software\xc3\x80", "SOFTWARE\xc3\xa0"), 0);
  EXPECT_EQ(CompareRegistryNames("\xc5\xb8", "\xc3\xbf"), 0);
  EXPECT_NE(CompareRegistryNames("\xe2\x84\xaa", "k"), 0);
  EXPECT_LT(CompareRegistryNames("ab", "abc"), 0);
  EXPECT_LT(CompareRegistryNames("", "a"), 0);
  EXPECT_EQ(CompareRegistryNames("", ""), 0);
}

}  // namespace
}  // namespace corvane
