#include "engine/plugin_counters.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(CounterPairTest, ItemsWrapAt32BitsAndBytesCarryPast32Bits) {
  CounterPair pair{0xFFFFFFFFu, 0xFFFFFFFFull};
  pair.Add(2, 1);
  EXPECT_EQ(pair.items, 1u);
  EXPECT_EQ(pair.bytes, 0x100000000ull);
  pair.Add(CounterPair{1, 0xFFFFFFFFFFFFFFFFull});
  EXPECT_EQ(pair, (CounterPair{2, 0xFFFFFFFFull}));  // bytes wrap at 64 bits
}

TEST(PluginCountersTest, CopyOutKeepsEverythingButTheFailures) {
  const PluginCounters counters{{1, 10}, {2, 20}, {3, 30}, {4, 40}};
  const PluginCounters copy = counters.CopyOut();
  EXPECT_EQ(copy.erasedTotal, (CounterPair{1, 10}));
  EXPECT_EQ(copy.erasedToday, (CounterPair{2, 20}));
  EXPECT_EQ(copy.current, (CounterPair{3, 30}));
  EXPECT_EQ(copy.failed, CounterPair{});
}

}  // namespace
}  // namespace corvane
