#include "platform/event.h"

#include <gtest/gtest.h>

#include <thread>

namespace corvane {
namespace {

using std::chrono::milliseconds;

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
  Event event;
  EXPECT_FALSE(event.Wait(milliseconds(0)));
  event.Set();
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

TEST(EventTest, AutoResetReleasesOneWait) {
  Event event(EventReset::Auto, true);
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  EXPECT_FALSE(event.Wait(milliseconds(0)));
}

TEST(EventTest, WaiterOnAnotherThreadWakesWhenSet) {
  Event event;
  bool woke = false;
  std::thread waiter([&] { woke = event.Wait(std::chrono::minutes(1)); });
  event.Set();
  waiter.join();
  EXPECT_TRUE(woke);
}

}  // namespace
}  // namespace corvane
