#pragma once
// How often the program comes forward by itself to offer a cleanup: "Run" under HKEY_LOCAL_MACHINE
// "Software\Corvane\Erase" ("manually", "dialy", "weekly", "monthly", "bootup", compared without
// regard to case) and "Last", the minute of the last scheduled prompt. A timer ticking every nine
// seconds shows the main window once the period has passed since "Last".

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/dom/document.h"
#include "platform/event_loop.h"

namespace corvane {

inline constexpr EventLoop::TimerId kScheduleTimerId = 69122;
inline constexpr std::chrono::milliseconds kScheduleTimerInterval{9000};
inline constexpr char kScheduleRunValue[] = "Run";
inline constexpr char kScheduleLastValue[] = "Last";

// The schedule's codes, as the Settings page's choices give them.
inline constexpr int kScheduleCodeManually = 0;
inline constexpr int kScheduleCodeDaily = 1;
inline constexpr int kScheduleCodeWeekly = 7;
inline constexpr int kScheduleCodeMonthly = 30;
inline constexpr int kScheduleCodeBootUp = 773;

// Whole minutes of local time since 1 January 1601.
[[nodiscard]] std::int64_t LocalMinuteNow();

// The code of a choice's click id ("dialy_check" gives 1); -1 for any other id.
[[nodiscard]] int ScheduleCodeOfClick(std::string_view cid);

class ScheduleTimer {
 public:
  using MinuteClock = std::function<std::int64_t()>;

  // Reads the schedule at once. `clock` gives the current minute (tests pass their own).
  explicit ScheduleTimer(MinuteClock clock = LocalMinuteNow);

  // Writes the kind of `code` to "Run" (an unknown code leaves it) and reads the schedule again.
  void ApplySchedule(int code);
  // Reads "Run" and "Last".
  void Reschedule();
  // A tick: when a periodic schedule is due, records the minute in "Last" and calls
  // `bringForward` (which shows the main window when it is hidden). Answers whether it was due.
  bool OnScheduleTimer(const std::function<void()>& bringForward);

  // Fills "Sheduler" with the choices, the current one checked, and "ShedulerTitle".
  void RenderScheduleChoice(dom::Document& document, std::string_view languageFolder) const;

  [[nodiscard]] const std::string& Kind() const { return kind_; }
  [[nodiscard]] int PeriodDays() const { return periodDays_; }
  [[nodiscard]] std::int64_t LastMinute() const { return lastMinute_; }
  [[nodiscard]] bool IsManualSchedule() const;
  [[nodiscard]] bool IsBootupSchedule() const;

 private:
  MinuteClock clock_;
  std::string kind_;
  int periodDays_ = 0;
  std::int64_t lastMinute_ = 0;
  bool prompting_ = false;
  bool rescheduling_ = false;
};

}  // namespace corvane
