#pragma once
// What a plug-in needs from the object that owns it (the main window's controller): where to
// send completion notices, which language its texts come from and the options of cleaning.

#include <string>

#include "engine/plugin_id.h"
#include "platform/window_messages.h"

namespace corvane {

// Posted to the main window when a plug-in has finished scanning (1025) or erasing (1026):
// wParam is a heap copy of the PluginId (take it with TakeRecord<PluginId>), lParam the result.
inline constexpr UINT WM_APP_PLUGIN_SCANNED = WM_USER + 1;
inline constexpr UINT WM_APP_PLUGIN_ERASED = WM_USER + 2;

// The options that change how cleaners erase, as a cleaner takes them when it prepares a scan or
// an erase.
struct CleaningOptions {
  bool overwrite = false;        // "Owerwrite": files are overwritten before they are deleted
  bool blacklistedOnly = false;  // "DeleteBlListOnly": only black-listed domains lose cookies
};

class PluginOwner {
 public:
  virtual ~PluginOwner() = default;

  // The main window that receives completion notices; 0 while there is none. Asked from worker
  // threads, so it must be safe to call from any thread.
  [[nodiscard]] virtual HWND MainWindow() const = 0;
  // The language folder below "html" that plug-in texts are loaded from ("English").
  [[nodiscard]] virtual std::string LanguageFolder() const = 0;
  // The options in force now. Asked from worker threads, so it must be safe from any thread. An
  // owner without options leaves every option off.
  [[nodiscard]] virtual CleaningOptions GetCleaningOptions() const { return {}; }

  // Called on the worker thread when a scan or an erase has finished: posts the id and the result
  // to the main window; without a window nothing is posted. False when nothing was posted.
  bool OnScanDone(const PluginId& id, PluginResult result) const;
  bool OnEraseDone(const PluginId& id, PluginResult result) const;
};

}  // namespace corvane
