#pragma once
// Windows keep their message model: every window has one WindowProc; PostMessageW queues a
// message onto the window's event loop from any thread, SendMessageW calls the window procedure
// at once on the loop's thread. A heap record travels as a std::unique_ptr that the receiver
// takes over (PostRecord / TakeRecord); when the window is gone before delivery the record is
// freed, never leaked.

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/event_loop.h"

namespace corvane {

using HWND = std::uint32_t;  // 0 = no window
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;

class MessageWindow {
 public:
  explicit MessageWindow(EventLoop& loop);
  virtual ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  [[nodiscard]] HWND Handle() const { return handle_; }
  [[nodiscard]] EventLoop& Loop() const { return loop_; }

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // A repeating WM_TIMER (wParam = id) for this window; the same id restarts it.
  void SetTimer(std::uint32_t id, std::chrono::milliseconds interval);
  bool KillTimer(std::uint32_t id);

 private:
  [[nodiscard]] EventLoop::TimerId LoopTimerId(std::uint32_t id) const;

  EventLoop& loop_;
  HWND handle_;
};

// False when the window does not exist (or its loop has quit).
bool PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Must be called on the window's loop thread; 0 when the window does not exist.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The same name always gives the same id, in the range 0xC000–0xFFFF.
[[nodiscard]] UINT RegisterWindowMessageW(std::string_view name);

// Posts a heap record in wParam. The receiver takes it over with TakeRecord.
template <typename T>
bool PostRecord(HWND window, UINT message, std::unique_ptr<T> record, LPARAM lParam = 0);
template <typename T>
[[nodiscard]] std::unique_ptr<T> TakeRecord(WPARAM wParam) {
  return std::unique_ptr<T>(reinterpret_cast<T*>(wParam));
}

namespace detail {
// Queues `deliver` on the window's loop; it runs only if the window still exists then.
bool PostToWindow(HWND window, std::function<void(MessageWindow&)> deliver);
}  // namespace detail

template <typename T>
bool PostRecord(HWND window, UINT message, std::unique_ptr<T> record, LPARAM lParam) {
  auto shared = std::make_shared<std::unique_ptr<T>>(std::move(record));
  return detail::PostToWindow(window, [shared, message, lParam](MessageWindow& target) {
    target.WindowProc(message, reinterpret_cast<WPARAM>(shared->release()), lParam);
  });
}

}  // namespace corvane
