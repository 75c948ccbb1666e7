#pragma once
// The end of the user's session as Linux signals it: SIGTERM (logout, shutdown, `kill`) and SIGHUP
// (the terminal or session went away). The program answers as Windows programs answer
// WM_QUERYENDSESSION: settings reach the disk and the program quits.

#include <functional>
#include <thread>

namespace corvane {

class SessionEndWatcher {
 public:
  // `onSessionEnd` runs on a thread of the watcher's own, once per signal; it should only post to
  // the user-interface thread.
  explicit SessionEndWatcher(std::function<void()> onSessionEnd);
  // Restores the previous signal handling.
  ~SessionEndWatcher();
  SessionEndWatcher(const SessionEndWatcher&) = delete;
  SessionEndWatcher& operator=(const SessionEndWatcher&) = delete;

 private:
  std::function<void()> onSessionEnd_;
  std::thread watcher_;
};

}  // namespace corvane
