#pragma once
// How a cleaner at work tells the main window what it is doing and learns that the user
// cancelled. One reporter lives for one ScanTracks or EraseTracks call, on the worker's stack.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/deletion_tally.h"
#include "engine/plugin_id.h"
#include "engine/plugin_owner.h"
#include "engine/progress_record.h"
#include "platform/event.h"

namespace corvane {

class ProgressReporter {
 public:
  // `page` is the progress template ("Scaning.html" or "Clearing.html" as loaded); every message
  // starts with it. `cancelEvent` is the run's event (may be null: then nothing ever cancels).
  // With a non-zero `throttle`, a report that follows the last posted one sooner than that is
  // dropped, so a back-end reporting per entry cannot flood the window's queue.
  ProgressReporter(const PluginOwner& owner, PluginId pluginId, std::string page,
                   const Event* cancelEvent,
                   std::chrono::milliseconds throttle = std::chrono::milliseconds::zero());

  // Posts {id, page + text, step, stepCount} with WM_APP_PROGRESS to the owner's window without
  // waiting; kNoStep shows as empty. Without a window nothing is posted. Always answers true.
  bool Report(std::string_view text, std::int32_t step = kNoStep, std::int32_t stepCount = kNoStep);

  // True once the run's cancel event is signalled; it is only asked, never waited for.
  [[nodiscard]] bool IsCancelled() const;
  // IsCancelled as the long routines take it; valid while the reporter lives.
  [[nodiscard]] CancelCheck AsCancelCheck() const;

  [[nodiscard]] const std::string& Page() const { return page_; }

 private:
  const PluginOwner& owner_;
  PluginId pluginId_;
  std::string page_;
  const Event* cancelEvent_;
  std::chrono::milliseconds throttle_;
  std::optional<std::chrono::steady_clock::time_point> lastPosted_;
};

}  // namespace corvane
