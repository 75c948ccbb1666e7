#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace corvane {
namespace {

struct Record {
  explicit Record(int* live) : live(live) { ++*live; }
  ~Record() { --*live; }
  int* live;
};

class RecordingWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back({message, wParam, lParam});
    if (message == WM_USER + 3) TakeRecord<Record>(wParam).reset();
    return static_cast<LRESULT>(message) * 2;
  }
  struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Seen> messages;
};

TEST(WindowMessagesTest, PostedMessagesArriveOnTheLoopAndSendCallsAtOnce) {
  QueueEventLoop loop;
  RecordingWindow window(loop);
  std::thread worker([&] { EXPECT_TRUE(PostMessageW(window.Handle(), WM_USER + 1, 11, 22)); });
  worker.join();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(SendMessageW(window.Handle(), 1177, 0, 0), 2354);
  loop.RunPending();
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[1].message, WM_USER + 1);
  EXPECT_EQ(window.messages[1].wParam, 11u);
  EXPECT_EQ(window.messages[1].lParam, 22);
}

TEST(WindowMessagesTest, RecordsAreFreedWhetherOrNotTheWindowStillExists) {
  QueueEventLoop loop;
  int live = 0;
  HWND gone = 0;
  {
    RecordingWindow window(loop);
    gone = window.Handle();
    EXPECT_TRUE(PostRecord(window.Handle(), WM_USER + 3, std::make_unique<Record>(&live)));
    loop.RunPending();
    EXPECT_EQ(live, 0);  // taken and freed by the receiver
    EXPECT_TRUE(PostRecord(window.Handle(), WM_USER + 3, std::make_unique<Record>(&live)));
    EXPECT_EQ(live, 1);
  }
  loop.RunPending();  // destroyed before delivery: dropped, not leaked
  EXPECT_EQ(live, 0);
  EXPECT_FALSE(PostRecord(gone, WM_USER + 3, std::make_unique<Record>(&live)));
  EXPECT_EQ(live, 0);
  EXPECT_EQ(SendMessageW(gone, WM_USER, 0, 0), 0);
}

TEST(WindowMessagesTest, WindowTimersArriveAsWmTimer) {
  QueueEventLoop loop;
  RecordingWindow window(loop);
  window.SetTimer(9, std::chrono::milliseconds(1));
  EXPECT_TRUE(loop.RunUntil([&] { return window.messages.size() >= 2; }, std::chrono::minutes(1)));
  EXPECT_TRUE(window.KillTimer(9));
  EXPECT_EQ(window.messages[0].message, WM_TIMER);
  EXPECT_EQ(window.messages[0].wParam, 9u);
}

TEST(WindowMessagesTest, RegisteredMessagesAreStablePerName) {
  const UINT a = RegisterWindowMessageW("CorvaneErase Hand-shake message");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageW("corvaneerase hand-shake MESSAGE"), a);
  EXPECT_NE(RegisterWindowMessageW("another"), a);
}

}  // namespace
}  // namespace corvane
