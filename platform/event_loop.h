#pragma once
// The user-interface thread's loop. The desktop host runs it on the GTK main loop, the headless
// host and the command-line front end on a plain queue (QueueEventLoop). Tasks may be posted from
// any thread; they, timers and the after-event hooks all run on the loop's thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace corvane {

class EventLoop {
 public:
  using Task = std::function<void()>;
  using TimerId = std::uint64_t;

  virtual ~EventLoop() = default;

  // Queues a task; safe from any thread. False once the loop has quit (the task is dropped).
  virtual bool Post(Task task) = 0;
  // Starts a repeating timer, or restarts the one with the same id (SetTimer's meaning).
  virtual void SetTimer(TimerId id, std::chrono::milliseconds interval, Task onTick) = 0;
  virtual bool KillTimer(TimerId id) = 0;
  // Runs until Quit and answers the exit code given to Quit.
  virtual int Run() = 0;
  // Safe from any thread; tasks still queued are dropped.
  virtual void Quit(int exitCode) = 0;

  // Runs after every handled task or timer tick: where settings reach the disk and page changes
  // reach the view.
  void AddAfterEventHook(Task hook) { afterEvent_.push_back(std::move(hook)); }

 protected:
  void RunAfterEventHooks() {
    for (const Task& hook : afterEvent_) hook();
  }

 private:
  std::vector<Task> afterEvent_;
};

// A plain queue with timers on a steady clock.
class QueueEventLoop final : public EventLoop {
 public:
  bool Post(Task task) override;
  void SetTimer(TimerId id, std::chrono::milliseconds interval, Task onTick) override;
  bool KillTimer(TimerId id) override;
  int Run() override;
  void Quit(int exitCode) override;

  // Handles what is queued and the timers that are due, without waiting; answers how many events
  // were handled. For tests and the command-line front end.
  std::size_t RunPending();
  // Handles events, waiting for new ones, until `done` answers true, the loop quits or the
  // time-out passes; answers whether `done` became true.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  [[nodiscard]] bool HasQuit() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds interval;
    Clock::time_point due;
    Task onTick;
  };

  // Takes the next event that is ready (a queued task first, then a due timer), or nothing.
  Task TakeReady(std::unique_lock<std::mutex>& lock);
  // Waits until something is ready, the loop quits or `until` passes.
  void WaitForWork(std::unique_lock<std::mutex>& lock, Clock::time_point until);
  void Handle(Task& task);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  std::map<TimerId, Timer> timers_;
  bool quit_ = false;
  int exitCode_ = 0;
};

}  // namespace corvane
