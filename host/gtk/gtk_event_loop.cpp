#include "host/gtk/gtk_event_loop.h"

#include <algorithm>
#include <map>

namespace corvane {

// State that outlives the loop object: idle sources still queued in the main context when the
// loop quits or is destroyed find here that they must be dropped.
struct GtkEventLoop::Shared {
  std::mutex mutex;
  bool quit = false;
  int exitCode = 0;
  GtkEventLoop* owner = nullptr;  // null once the loop object is gone
  std::vector<GMainLoop*> nested;
  struct Timer {
    GSource* source;
    Task onTick;
  };
  std::map<TimerId, Timer> timers;
};

struct GtkEventLoop::TimerRecord {
  std::shared_ptr<Shared> shared;
  TimerId id;
};

namespace {

struct PostedTask {
  std::shared_ptr<void> keep;
  EventLoop::Task task;
};

}  // namespace

GtkEventLoop::GtkEventLoop()
    : shared_(std::make_shared<Shared>()), mainLoop_(g_main_loop_new(nullptr, FALSE)) {
  shared_->owner = this;
}

GtkEventLoop::~GtkEventLoop() {
  std::map<TimerId, Shared::Timer> timers;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->quit = true;
    timers.swap(shared_->timers);
  }
  for (auto& [id, timer] : timers) {
    g_source_destroy(timer.source);
    g_source_unref(timer.source);
  }
  g_main_loop_unref(mainLoop_);
}

bool GtkEventLoop::Post(Task task) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->quit) return false;
  }
  auto* posted = new PostedTask{shared_, std::move(task)};
  GSource* source = g_idle_source_new();
  // Default priority, like the timers, so posted work is not starved by redraws and keeps FIFO
  // order among itself.
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(
      source,
      [](gpointer data) -> gboolean {
        auto* posted = static_cast<PostedTask*>(data);
        auto* shared = static_cast<Shared*>(posted->keep.get());
        GtkEventLoop* owner = nullptr;
        {
          std::lock_guard lock(shared->mutex);
          if (!shared->quit) owner = shared->owner;
        }
        if (owner != nullptr) owner->RunViewEvent(posted->task);
        return G_SOURCE_REMOVE;
      },
      posted, [](gpointer data) { delete static_cast<PostedTask*>(data); });
  g_source_attach(source, nullptr);
  g_source_unref(source);
  return true;
}

void GtkEventLoop::SetTimer(TimerId id, std::chrono::milliseconds interval, Task onTick) {
  const auto ms = static_cast<guint>(std::clamp<std::int64_t>(interval.count(), 0, G_MAXUINT));
  GSource* source = g_timeout_source_new(ms);
  g_source_set_callback(source, &GtkEventLoop::OnTimer, new TimerRecord{shared_, id},
                        [](gpointer data) { delete static_cast<TimerRecord*>(data); });
  GSource* replaced = nullptr;
  {
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->timers.find(id);
    if (it == shared_->timers.end()) {
      shared_->timers.emplace(id, Shared::Timer{source, std::move(onTick)});
    } else {
      replaced = it->second.source;
      it->second = Shared::Timer{source, std::move(onTick)};
    }
    // The map keeps its own reference so that KillTimer can destroy the source from any thread.
    g_source_attach(source, nullptr);
  }
  if (replaced != nullptr) {
    g_source_destroy(replaced);
    g_source_unref(replaced);
  }
}

bool GtkEventLoop::KillTimer(TimerId id) {
  GSource* source = nullptr;
  {
    std::lock_guard lock(shared_->mutex);
    auto it = shared_->timers.find(id);
    if (it == shared_->timers.end()) return false;
    source = it->second.source;
    shared_->timers.erase(it);
  }
  g_source_destroy(source);
  g_source_unref(source);
  return true;
}

gboolean GtkEventLoop::OnTimer(gpointer data) {
  auto* record = static_cast<TimerRecord*>(data);
  Task tick;  // a copy: the tick may kill or replace its own timer
  GtkEventLoop* owner = nullptr;
  {
    std::lock_guard lock(record->shared->mutex);
    auto it = record->shared->timers.find(record->id);
    if (record->shared->quit || it == record->shared->timers.end() ||
        it->second.source != g_main_current_source()) {
      return G_SOURCE_REMOVE;
    }
    tick = it->second.onTick;
    owner = record->shared->owner;
  }
  if (owner != nullptr) owner->RunViewEvent(tick);
  return G_SOURCE_CONTINUE;
}

int GtkEventLoop::Run() {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->quit) return shared_->exitCode;
  }
  g_main_loop_run(mainLoop_);
  std::lock_guard lock(shared_->mutex);
  return shared_->exitCode;
}

void GtkEventLoop::Quit(int exitCode) {
  std::vector<GMainLoop*> nested;
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->quit) return;
    shared_->quit = true;
    shared_->exitCode = exitCode;
    nested = shared_->nested;
  }
  // g_main_loop_quit wakes the context, so this works from any thread.
  for (GMainLoop* loop : nested) g_main_loop_quit(loop);
  g_main_loop_quit(mainLoop_);
}

bool GtkEventLoop::HasQuit() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->quit;
}

void GtkEventLoop::RunViewEvent(const Task& event) {
  event();
  RunAfterEventHooks();
}

bool GtkEventLoop::RunNested(GMainLoop* loop) {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->quit) return false;
    shared_->nested.push_back(loop);
  }
  g_main_loop_run(loop);
  std::lock_guard lock(shared_->mutex);
  std::erase(shared_->nested, loop);
  return !shared_->quit;
}

}  // namespace corvane
