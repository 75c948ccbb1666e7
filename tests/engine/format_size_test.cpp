#include "engine/format_size.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(FormatSizeTest, UnitsChangeAtDecimalThresholdsAndDivideByPowersOf1024) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0.00 B"},
      {1, "1.00 B"},
      {499, "499.00 B"},
      {500, "0.49 KB"},
      {1024, "1.00 KB"},
      {499999, "488.28 KB"},
      {500000, "0.48 MB"},
      {1048576, "1.00 MB"},
      {499999999, "476.84 MB"},
      {500000000, "0.47 GB"},
      {0xFFFFFFFFull, "4.00 GB"},
      {4294967296ull, "4.00 GB"},  // the high half alone decides: GB
      {4294967296ull + 100, "4.00 GB"},
      {5ull << 40, "5120.00 GB"},
      {~0ull, "17179869184.00 GB"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(FormatSize(bytes), text) << bytes;
  }
}

TEST(FormatSizeTest, TheValueIsSinglePrecision) {
  // 16777217 has no float form: it becomes 16777216, exactly 16 MiB.
  EXPECT_EQ(FormatSize(16777217), "16.00 MB");
}

TEST(FormatSizeTest, CountsGroupThreeDigitsAndAnEmptySizeReadsAsADash) {
  EXPECT_EQ(FormatCount(0), "0");
  EXPECT_EQ(FormatCount(999), "999");
  EXPECT_EQ(FormatCount(1000), "1,000");
  EXPECT_EQ(FormatCount(1234567, "."), "1.234.567");
  EXPECT_EQ(FormatCount(18446744073709551615u), "18,446,744,073,709,551,615");
  EXPECT_EQ(FormatSizeOrDash(0), "—");
  EXPECT_EQ(FormatSizeOrDash(100), "100.00 B");
}

}  // namespace
}  // namespace corvane
