#include "platform/remote_window.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/runtime_folder.h"

namespace corvane {
namespace {

class EchoWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return static_cast<LRESULT>(message + wParam) + lParam;
  }
};

// Runs the publishing side's loop on a thread of its own, as the first instance would.
class PublishedWindow {
 public:
  explicit PublishedWindow(std::string title) {
    thread_ = std::thread([this, title] {
      EchoWindow window(loop_);
      WindowPublisher publisher(window, title, {[this] { ++shown; }, [this] { ++raised; }});
      published = publisher.IsPublished();
      ready_ = true;
      loop_.Run();
    });
    while (!ready_) std::this_thread::yield();
  }
  ~PublishedWindow() {
    loop_.Quit(0);
    thread_.join();
  }
  std::atomic<int> shown = 0;
  std::atomic<int> raised = 0;
  std::atomic<bool> published = false;

 private:
  QueueEventLoop loop_;
  std::atomic<bool> ready_ = false;
  std::thread thread_;
};

TEST(RemoteWindowTest, AnotherProcessFindsTheWindowAndGetsItsAnswers) {
  ScopedRuntimeFolder runtime;
  PublishedWindow first("Corvane Erase");
  ASSERT_TRUE(first.published);
  const pid_t child = fork();
  if (child == 0) {
    auto window = RemoteWindow::Find("Corvane Erase");
    const bool ok =
        window && window->SendMessage(1000, 20, 3) == 1023 && window->Show() && window->Raise();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(first.shown, 1);
  EXPECT_EQ(first.raised, 1);
}

TEST(RemoteWindowTest, NoWindowOrAGoneWindowAnswersNothing) {
  ScopedRuntimeFolder runtime;
  EXPECT_FALSE(RemoteWindow::Find("Corvane Erase").has_value());
  std::optional<RemoteWindow> stale;
  {
    PublishedWindow first("Corvane Erase");
    stale = RemoteWindow::Find("Corvane Erase");
    ASSERT_TRUE(stale.has_value());
  }
  EXPECT_FALSE(stale->SendMessage(1, 0, 0).has_value());
  EXPECT_FALSE(RemoteWindow::Find("Corvane Erase").has_value());  // the socket went with it
}

TEST(RemoteWindowTest, AHungWindowTimesOutInsteadOfBlocking) {
  ScopedRuntimeFolder runtime;
  QueueEventLoop loop;  // never run: the request is queued and never answered
  EchoWindow window(loop);
  WindowPublisher publisher(window, "Hung", {});
  auto remote = RemoteWindow::Find("Hung");
  ASSERT_TRUE(remote.has_value());
  remote->SetTimeout(std::chrono::milliseconds(200));
  EXPECT_FALSE(remote->SendMessage(1, 0, 0).has_value());
}

}  // namespace
}  // namespace corvane
