#include "platform/session_end.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/event.h"

namespace corvane {
namespace {

TEST(SessionEndWatcherTest, TermAndHupBothEndTheSessionAndHandlersAreRestored) {
  Event ended(EventReset::Auto);
  {
    SessionEndWatcher watcher([&] { ended.Set(); });
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(ended.Wait(std::chrono::minutes(1)));
    ASSERT_EQ(raise(SIGHUP), 0);
    EXPECT_TRUE(ended.Wait(std::chrono::minutes(1)));
  }
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace corvane
