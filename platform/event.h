#pragma once
// An event with Windows semantics: manual-reset events stay signalled until reset; auto-reset
// events release one waiter and reset themselves. Waiting with a zero time-out only asks.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace corvane {

enum class EventReset { Manual, Auto };

class Event {
 public:
  explicit Event(EventReset reset = EventReset::Manual, bool signalled = false)
      : reset_(reset), signalled_(signalled) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was (or became) signalled within the time-out: WAIT_OBJECT_0.
  [[nodiscard]] bool Wait(std::chrono::milliseconds timeout);
  // Waits without a time-out (INFINITE).
  void Wait();
  // Wait(0) for a manual-reset event: does not consume an auto-reset event's signal.
  [[nodiscard]] bool IsSet() const;

 private:
  const EventReset reset_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

}  // namespace corvane
