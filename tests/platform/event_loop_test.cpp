#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using std::chrono::milliseconds;

TEST(QueueEventLoopTest, TasksFromOtherThreadsRunInOrderOnTheLoopThread) {
  QueueEventLoop loop;
  std::vector<int> seen;
  std::thread::id loopThread;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) loop.Post([&seen, i] { seen.push_back(i); });
    loop.Post([&] {
      loopThread = std::this_thread::get_id();
      loop.Quit(7);
    });
  });
  EXPECT_EQ(loop.Run(), 7);
  poster.join();
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(loopThread, std::this_thread::get_id());
  EXPECT_FALSE(loop.Post([] {}));  // a quit loop takes nothing more
}

TEST(QueueEventLoopTest, TimersRepeatUntilKilledAndHooksRunAfterEveryEvent) {
  QueueEventLoop loop;
  int ticks = 0;
  int hooks = 0;
  loop.AddAfterEventHook([&] { ++hooks; });
  loop.SetTimer(1, milliseconds(1), [&] {
    if (++ticks == 3) loop.KillTimer(1);
  });
  EXPECT_TRUE(loop.RunUntil([&] { return ticks == 3; }, std::chrono::minutes(1)));
  loop.Post([] {});
  EXPECT_EQ(loop.RunPending(), 1u);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(hooks, 4);
  EXPECT_FALSE(loop.KillTimer(1));
}

TEST(QueueEventLoopTest, SettingATimerAgainRestartsIt) {
  QueueEventLoop loop;
  int first = 0;
  int second = 0;
  loop.SetTimer(5, milliseconds(1), [&] { ++first; });
  loop.SetTimer(5, milliseconds(1), [&] { ++second; });
  EXPECT_TRUE(loop.RunUntil([&] { return second == 2; }, std::chrono::minutes(1)));
  EXPECT_EQ(first, 0);
}

TEST(QueueEventLoopTest, QuitFromAWorkerEndsRunAndDropsQueuedTasks) {
  QueueEventLoop loop;
  std::atomic<bool> ranLate = false;
  std::thread worker([&] { loop.Quit(1); });
  EXPECT_EQ(loop.Run(), 1);
  worker.join();
  loop.Post([&] { ranLate = true; });
  EXPECT_EQ(loop.RunPending(), 0u);
  EXPECT_FALSE(ranLate);
}

}  // namespace
}  // namespace corvane
