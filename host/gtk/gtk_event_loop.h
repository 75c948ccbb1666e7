#pragma once
// The user-interface loop of the desktop host: the GLib main loop that GTK and WebKit run on.
// Tasks posted from any thread become idle sources of the default main context; timers are
// timeout sources kept by id. The host windows route their view events through RunViewEvent so
// that the after-event hooks run after those too.

#include <glib.h>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/event_loop.h"

namespace corvane {

class GtkEventLoop final : public EventLoop {
 public:
  GtkEventLoop();
  ~GtkEventLoop() override;
  GtkEventLoop(const GtkEventLoop&) = delete;
  GtkEventLoop& operator=(const GtkEventLoop&) = delete;

  bool Post(Task task) override;
  void SetTimer(TimerId id, std::chrono::milliseconds interval, Task onTick) override;
  bool KillTimer(TimerId id) override;
  int Run() override;
  void Quit(int exitCode) override;

  // Runs an event that arrived from a window or its view, then the after-event hooks.
  void RunViewEvent(const Task& event);
  // Runs a nested loop (a modal dialog) until `loop` is quit or this loop quits. Answers false
  // when it ended because the whole loop quit.
  bool RunNested(GMainLoop* loop);
  [[nodiscard]] bool HasQuit() const;

 private:
  struct Shared;
  struct TimerRecord;
  static gboolean OnTimer(gpointer data);

  std::shared_ptr<Shared> shared_;
  GMainLoop* mainLoop_;
};

}  // namespace corvane
