#include "host/gtk/gtk_event_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace corvane {
namespace {

using std::chrono::milliseconds;

TEST(GtkEventLoop, RunsTasksPostedFromWorkersInOrderAndQuitsWithTheirCode) {
  GtkEventLoop loop;
  std::vector<int> seen[2];
  int hooks = 0;
  loop.AddAfterEventHook([&] { ++hooks; });
  constexpr int kPerThread = 200;
  std::vector<std::thread> workers;
  for (int t = 0; t < 2; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        ASSERT_TRUE(loop.Post([&, t, i] {
          seen[t].push_back(i);
          if (seen[0].size() + seen[1].size() == 2 * kPerThread) loop.Quit(3);
        }));
      }
    });
  }
  EXPECT_EQ(loop.Run(), 3);
  for (auto& worker : workers) worker.join();
  for (const auto& list : seen) {
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(list[static_cast<std::size_t>(i)], i);
  }
  EXPECT_EQ(hooks, 2 * kPerThread);  // once after every task
}

TEST(GtkEventLoop, QuitFromAWorkerDropsQueuedTasksAndRefusesNewOnes) {
  GtkEventLoop loop;
  bool ranAfterQuit = false;
  ASSERT_TRUE(loop.Post([&] {
    std::thread([&] { loop.Quit(7); }).join();
    // Still queued behind this task when the loop quit: dropped.
    ranAfterQuit = false;
  }));
  ASSERT_TRUE(loop.Post([&] { ranAfterQuit = true; }));
  EXPECT_EQ(loop.Run(), 7);
  EXPECT_FALSE(ranAfterQuit);
  EXPECT_FALSE(loop.Post([] {}));
  EXPECT_TRUE(loop.HasQuit());
  EXPECT_EQ(loop.Run(), 7);  // a second Run does not block
}

TEST(GtkEventLoop, TimersRepeatCanBeReplacedByIdAndKilledFromTheirTick) {
  GtkEventLoop loop;
  int first = 0;
  int second = 0;
  int hooks = 0;
  loop.AddAfterEventHook([&] { ++hooks; });
  loop.SetTimer(1, milliseconds(1), [&] {
    if (++first == 3) {
      // Same id: this callback must never run again.
      loop.SetTimer(1, milliseconds(1), [&] {
        if (++second == 2) {
          EXPECT_TRUE(loop.KillTimer(1));
          loop.Post([&] { loop.Quit(0); });
        }
      });
    }
  });
  EXPECT_EQ(loop.Run(), 0);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(hooks, 3 + 2 + 1);  // after every tick and the posted task
  EXPECT_FALSE(loop.KillTimer(1));
  EXPECT_FALSE(loop.KillTimer(99));
}

TEST(GtkEventLoop, NestedLoopEndsOnItsOwnQuitOrWhenTheWholeLoopQuits) {
  GtkEventLoop loop;
  bool ownEnd = false;
  bool quitEnd = true;
  loop.Post([&] {
    GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
    loop.Post([nested] { g_main_loop_quit(nested); });
    ownEnd = loop.RunNested(nested);
    // A worker quits the program while a second modal loop runs.
    loop.Post([&] { std::thread([&] { loop.Quit(4); }).join(); });
    quitEnd = loop.RunNested(nested);
    g_main_loop_unref(nested);
  });
  EXPECT_EQ(loop.Run(), 4);
  EXPECT_TRUE(ownEnd);
  EXPECT_FALSE(quitEnd);
}

TEST(GtkEventLoop, TasksLeftInTheContextOfADestroyedLoopNeverRun) {
  bool ran = false;
  {
    GtkEventLoop loop;
    loop.Post([&] { ran = true; });
    loop.SetTimer(5, milliseconds(0), [&] { ran = true; });
  }
  GtkEventLoop next;
  next.Post([&] { next.Quit(1); });
  EXPECT_EQ(next.Run(), 1);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace corvane
