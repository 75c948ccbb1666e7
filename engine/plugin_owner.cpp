#include "engine/plugin_owner.h"

#include <memory>

namespace corvane {

namespace {

bool PostCompletion(HWND window, UINT message, const PluginId& id, PluginResult result) {
  if (window == 0) return false;
  return PostRecord(window, message, std::make_unique<PluginId>(id), static_cast<LPARAM>(result));
}

}  // namespace

bool PluginOwner::OnScanDone(const PluginId& id, PluginResult result) const {
  return PostCompletion(MainWindow(), WM_APP_PLUGIN_SCANNED, id, result);
}

bool PluginOwner::OnEraseDone(const PluginId& id, PluginResult result) const {
  return PostCompletion(MainWindow(), WM_APP_PLUGIN_ERASED, id, result);
}

}  // namespace corvane
