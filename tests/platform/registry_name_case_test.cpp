#include "platform/registry_name_case.h"

#include <gtest/gtest.h>

#include "platform/registry_hive.h"

namespace corvane {
namespace {

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
  // Folding only where lower-casing maps back: the Kelvin sign is not a 'k'.
  EXPECT_NE(CompareRegistryNames("\xe2\x84\xaa", "k"), 0);
  EXPECT_EQ(CompareRegistryNames("\xd4\xb1", "\xd5\xa1"), 0);  // Armenian, by the same rule
  EXPECT_LT(CompareRegistryNames("ab", "abc"), 0);
  EXPECT_LT(CompareRegistryNames("", "a"), 0);
  EXPECT_EQ(CompareRegistryNames("", ""), 0);
}

}  // namespace
}  // namespace corvane
