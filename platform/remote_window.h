#pragma once
// Windows that other processes of this user can find by title and talk to, as FindWindowW,
// SendMessageW, ShowWindow and SetForegroundWindow allow across processes on Windows. The window
// is published as a Unix domain socket in the private named-object folder; each request is one
// connection carrying one fixed-size record and answered with one result.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/window_messages.h"

namespace corvane {

// What the published window does when another process shows or raises it.
struct PublishedWindowActions {
  std::function<void()> show;   // ShowWindow(SW_SHOW)
  std::function<void()> raise;  // SetWindowPos(HWND_TOP) and SetForegroundWindow
};

class WindowPublisher {
 public:
  // Publishes `window` under `title`. Requests are carried out on the window's loop thread.
  WindowPublisher(MessageWindow& window, std::string_view title, PublishedWindowActions actions);
  // Stops answering and removes the socket.
  ~WindowPublisher();
  WindowPublisher(const WindowPublisher&) = delete;
  WindowPublisher& operator=(const WindowPublisher&) = delete;

  [[nodiscard]] bool IsPublished() const { return listener_ >= 0; }

 private:
  void Serve();
  void Answer(int connection);

  MessageWindow& window_;
  PublishedWindowActions actions_;
  std::string path_;
  int listener_ = -1;
  int wakePipe_[2] = {-1, -1};
  std::thread server_;
};

class RemoteWindow {
 public:
  // FindWindowW by title: none when no window of that title is published (or it is stale).
  [[nodiscard]] static std::optional<RemoteWindow> Find(std::string_view title);

  // SendMessageW: the window procedure's answer, or none when the window did not answer within
  // the time-out (gone, hung, or quitting).
  [[nodiscard]] std::optional<LRESULT> SendMessage(UINT message, WPARAM wParam,
                                                   LPARAM lParam) const;
  bool Show() const;
  bool Raise() const;

  void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

 private:
  explicit RemoteWindow(std::string path) : path_(std::move(path)) {}
  [[nodiscard]] std::optional<LRESULT> Request(std::uint32_t op, UINT message, WPARAM wParam,
                                               LPARAM lParam) const;

  std::string path_;
  std::chrono::milliseconds timeout_{10000};
};

}  // namespace corvane
