#include "engine/progress_reporter.h"

#include <memory>
#include <utility>

namespace corvane {

ProgressReporter::ProgressReporter(const PluginOwner& owner, PluginId pluginId, std::string page,
                                   const Event* cancelEvent, std::chrono::milliseconds throttle)
    : owner_(owner),
      pluginId_(std::move(pluginId)),
      page_(std::move(page)),
      cancelEvent_(cancelEvent),
      throttle_(throttle) {}

bool ProgressReporter::Report(std::string_view text, std::int32_t step, std::int32_t stepCount) {
  const HWND window = owner_.MainWindow();
  if (window == 0) return true;
  if (throttle_ > std::chrono::milliseconds::zero()) {
    const auto now = std::chrono::steady_clock::now();
    if (lastPosted_ && now - *lastPosted_ < throttle_) return true;
    lastPosted_ = now;
  }
  auto record = std::make_unique<ProgressRecord>();
  record->pluginId = pluginId_;
  record->message = page_ + std::string(text);
  record->step = step;
  record->stepCount = stepCount;
  // A window that has gone meanwhile frees the record itself.
  static_cast<void>(PostRecord(window, WM_APP_PROGRESS, std::move(record)));
  return true;
}

bool ProgressReporter::IsCancelled() const {
  return cancelEvent_ != nullptr && cancelEvent_->IsSet();
}

CancelCheck ProgressReporter::AsCancelCheck() const {
  return [this] { return IsCancelled(); };
}

}  // namespace corvane
