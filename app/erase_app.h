#pragma once
// The application object: one instance per user, a second launch hands over to the first, and
// the whole life of the program runs inside Run(): the main window, its loop, the exit routine.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_window.h"
#include "platform/window_messages.h"

namespace corvane {

inline constexpr char kHandshakeMessageName[] =
    "CorvaneErase Hand-shake message for activation previous instance";
inline constexpr char kSingleInstanceMutexName[] = "CorvaneErase Anti-Second-Instance Mutex";
inline constexpr LRESULT kHandshakeReply = 0x60F692;
inline constexpr UINT WM_APP_EMERGENCY_CLOSE = WM_USER + 153;  // 1177
inline constexpr char kApplicationTitle[] = "Corvane Erase";
inline constexpr char kMainPageName[] = "Common\\layout.html";
inline constexpr char kSharedHandleBlockName[] = "Handle_Corvane_Erase";

// GetCommandLineW's two views of the command line.
struct CommandLine {
  std::string full;       // program path and arguments, as one line
  std::string arguments;  // the arguments alone, joined by single spaces

  [[nodiscard]] static CommandLine FromArgv(int argc, const char* const* argv);
  // "/remindme" anywhere in the full line, in this letter case only: a scheduled start.
  [[nodiscard]] bool IsReminder() const;
  // The arguments are exactly "/emergencyclose".
  [[nodiscard]] bool IsEmergencyClose() const;
};

// What start-up needs of the main window; the main dialog implements it.
class CEraseMainWindow {
 public:
  virtual ~CEraseMainWindow() = default;
  virtual void SetHandshakeMessage(UINT message) = 0;
  // Creates the window (modeless, hidden until its page has loaded) and publishes it under the
  // application title so that a second launch can find it.
  virtual void Create() = 0;
};

// The schedule modes that start-up asks about.
inline constexpr char kScheduleManually[] = "manually";
inline constexpr char kScheduleBootUp[] = "bootup";

// The schedule mode: "Run" under HKLM "Software\Corvane\Erase", "manually" when unset.
[[nodiscard]] std::string ReadScheduleMode();

// When another instance holds the single-instance lock, hands the command line over to it (it
// comes to the front, or ends on "/emergencyclose") and answers true: this launch then ends. A
// hand-over needs neither a machine nor a display, so it comes before both are looked for.
[[nodiscard]] bool HandOverIfRunning(const CommandLine& commandLine);

// The prefix the running instance works on, as it wrote it beside the single-instance lock;
// empty when no instance runs or it did not say.
[[nodiscard]] std::string RunningInstancePrefix();

class CEraseApp {
 public:
  using MainWindowFactory = std::function<std::unique_ptr<CEraseMainWindow>()>;
  using ScheduleModeReader = std::function<std::string()>;

  CEraseApp(Host& host, CommandLine commandLine, ScheduleModeReader scheduleMode,
            MainWindowFactory makeMainWindow);

  // The program's life; answers the process exit code, which is always 1 as designed (the
  // framework is told start-up failed, so it goes straight to its exit routine).
  int Run();

 private:
  Host& host_;
  CommandLine commandLine_;
  ScheduleModeReader scheduleMode_;
  MainWindowFactory makeMainWindow_;
};

}  // namespace corvane
