#include "platform/event_loop.h"

namespace corvane {

bool QueueEventLoop::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (quit_) return false;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  return true;
}

void QueueEventLoop::SetTimer(TimerId id, std::chrono::milliseconds interval, Task onTick) {
  {
    std::lock_guard lock(mutex_);
    timers_[id] = Timer{interval, Clock::now() + interval, std::move(onTick)};
  }
  wake_.notify_one();
}

bool QueueEventLoop::KillTimer(TimerId id) {
  std::lock_guard lock(mutex_);
  return timers_.erase(id) > 0;
}

void QueueEventLoop::Quit(int exitCode) {
  {
    std::lock_guard lock(mutex_);
    if (quit_) return;
    quit_ = true;
    exitCode_ = exitCode;
    tasks_.clear();
  }
  wake_.notify_all();
}

bool QueueEventLoop::HasQuit() const {
  std::lock_guard lock(mutex_);
  return quit_;
}

EventLoop::Task QueueEventLoop::TakeReady(std::unique_lock<std::mutex>&) {
  if (quit_) return {};
  if (!tasks_.empty()) {
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }
  const auto now = Clock::now();
  for (auto& [id, timer] : timers_) {
    if (timer.due <= now) {
      timer.due = now + timer.interval;
      return timer.onTick;  // a copy: the tick may kill or replace its own timer
    }
  }
  return {};
}

void QueueEventLoop::WaitForWork(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
  auto wakeAt = until;
  for (const auto& [id, timer] : timers_) wakeAt = std::min(wakeAt, timer.due);
  wake_.wait_until(lock, wakeAt,
                   [&] { return quit_ || !tasks_.empty() || Clock::now() >= wakeAt; });
}

void QueueEventLoop::Handle(Task& task) {
  task();
  RunAfterEventHooks();
}

std::size_t QueueEventLoop::RunPending() {
  std::size_t handled = 0;
  for (;;) {
    std::unique_lock lock(mutex_);
    Task task = TakeReady(lock);
    lock.unlock();
    if (!task) return handled;
    Handle(task);
    ++handled;
  }
}

int QueueEventLoop::Run() {
  for (;;) {
    std::unique_lock lock(mutex_);
    Task task = TakeReady(lock);
    if (!task) {
      if (quit_) return exitCode_;
      WaitForWork(lock, Clock::now() + std::chrono::hours(1));
      continue;
    }
    lock.unlock();
    Handle(task);
  }
}

bool QueueEventLoop::RunUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    std::unique_lock lock(mutex_);
    if (quit_ || Clock::now() >= deadline) return false;
    Task task = TakeReady(lock);
    if (!task) {
      WaitForWork(lock, deadline);
      continue;
    }
    lock.unlock();
    Handle(task);
  }
  return true;
}

}  // namespace corvane
