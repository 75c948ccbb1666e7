#pragma once
// What a worker tells the main window while a plug-in is at work: posted as a heap record with
// WM_APP_PROGRESS (1027) and taken over by the window (TakeRecord<ProgressRecord>).

#include <cstdint>
#include <string>

#include "engine/plugin_id.h"
#include "platform/window_messages.h"

namespace corvane {

inline constexpr UINT WM_APP_PROGRESS = WM_USER + 3;

// The step fields of a record that has no steps to show.
inline constexpr std::int32_t kNoStep = -1;

struct ProgressRecord {
  PluginId pluginId;
  std::string message;  // already HTML
  std::int32_t step = kNoStep;
  std::int32_t stepCount = kNoStep;
};

}  // namespace corvane
