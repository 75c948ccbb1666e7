#include "platform/window_messages.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace corvane {

namespace {

struct WindowTable {
  std::mutex mutex;
  std::map<HWND, MessageWindow*> windows;
  HWND next = 1;
  std::map<std::string, UINT> registeredMessages;
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

MessageWindow* Find(HWND window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  const auto it = table.windows.find(window);
  return it == table.windows.end() ? nullptr : it->second;
}

}  // namespace

MessageWindow::MessageWindow(EventLoop& loop) : loop_(loop) {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  handle_ = table.next++;
  table.windows[handle_] = this;
}

MessageWindow::~MessageWindow() {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  table.windows.erase(handle_);
}

EventLoop::TimerId MessageWindow::LoopTimerId(std::uint32_t id) const {
  return (static_cast<EventLoop::TimerId>(handle_) << 32) | id;
}

void MessageWindow::SetTimer(std::uint32_t id, std::chrono::milliseconds interval) {
  const HWND self = handle_;
  loop_.SetTimer(LoopTimerId(id), interval, [self, id] {
    if (MessageWindow* window = Find(self)) window->WindowProc(WM_TIMER, id, 0);
  });
}

bool MessageWindow::KillTimer(std::uint32_t id) {
  return loop_.KillTimer(LoopTimerId(id));
}

namespace detail {

bool PostToWindow(HWND window, std::function<void(MessageWindow&)> deliver) {
  MessageWindow* target = Find(window);
  if (target == nullptr) return false;
  // The window is looked up again at delivery: it may have been destroyed in between.
  return target->Loop().Post([window, deliver = std::move(deliver)] {
    if (MessageWindow* current = Find(window)) deliver(*current);
  });
}

}  // namespace detail

bool PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return detail::PostToWindow(
      window, [=](MessageWindow& target) { target.WindowProc(message, wParam, lParam); });
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MessageWindow* target = Find(window);
  return target == nullptr ? 0 : target->WindowProc(message, wParam, lParam);
}

UINT RegisterWindowMessageW(std::string_view name) {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  // Registered message names compare case-insensitively on Windows.
  const auto [it, added] = table.registeredMessages.try_emplace(
      FoldCase(name), static_cast<UINT>(0xC000 + table.registeredMessages.size()));
  return it->second;
}

}  // namespace corvane
