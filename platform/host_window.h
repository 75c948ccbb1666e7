#pragma once
// What a dialog needs from the window system. The desktop host shows each dialog in a GTK
// window with a web view; the headless host keeps no view at all (tests, command line). Dialogs
// own their page's DOM; the host's view is a mirror that receives the DOM's changes after every
// handled event and reports clicks and form changes back by node number ("data-n").

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dom/change.h"
#include "platform/event.h"
#include "platform/event_loop.h"

namespace corvane {

// A click or form change in the view, copied into the DOM before the dialog dispatches it.
struct ViewInput {
  enum class Kind { Click, Change };
  Kind kind = Kind::Click;
  std::uint64_t node = 0;
  bool checked = false;
  std::string value;
};

// MessageBox styles and answers, with their Windows values.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// What the host tells the dialog that owns a window. Called on the loop's thread.
class HostWindowEvents {
 public:
  virtual ~HostWindowEvents() = default;
  // The page named in Navigate has loaded; the view shows the HTML it was given.
  virtual void OnDocumentComplete() = 0;
  virtual void OnViewInput(const ViewInput& input) = 0;
  // The user closed the window or pressed Escape (the dialog's cancel handling).
  virtual void OnCancel() = 0;
};

class HostWindow {
 public:
  virtual ~HostWindow() = default;

  // Loads the page at `url` (a file:// URI inside the program folder); `html` is the page as the
  // dialog's DOM serialized it, with every element's data-n, so the view and DOM agree.
  virtual void Navigate(const std::string& url, const std::string& html) = 0;
  virtual void ApplyChanges(const std::vector<dom::Change>& changes) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  [[nodiscard]] virtual bool IsVisible() const = 0;
  // Brings the window to the front (a second launch hands over to the first).
  virtual void Raise() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // An image file (PNG or SVG) for the window's big and small icon.
  virtual void SetIcon(const std::string& imagePath) = 0;
  // Client size in pixels, then centred over the parent (or the screen).
  virtual void SetSizeAndCenter(int width, int height) = 0;
  // Lets the user resize the window, never below the size SetSizeAndCenter gave; the size the
  // user leaves it at comes back for the next window of this name. Windows stay fixed otherwise.
  virtual void AllowResize(const std::string& sizeName) = 0;
  // Runs a nested loop until EndModal; answers EndModal's result. The parent stays disabled.
  virtual int RunModal() = 0;
  virtual void EndModal(int result) = 0;
  // Hands the shown page to the platform's print dialog. True when printing was started.
  virtual bool Print() = 0;
};

// The notification-area icon's menu commands, with the program's menu ids.
inline constexpr int kTrayRestoreCommand = 32774;
inline constexpr int kTrayAboutCommand = 32775;
inline constexpr int kTrayExitCommand = 32776;

// What the tray icon tells its owner. Called on the loop's thread.
class TrayIconEvents {
 public:
  virtual ~TrayIconEvents() = default;
  // A menu item was chosen, or the icon was activated (kTrayRestoreCommand).
  virtual void OnTrayCommand(int command) = 0;
  // A tray host began or stopped showing the icon (a panel started, crashed or was removed).
  virtual void OnTrayShownChanged(bool shown) = 0;
};

// The icon in the desktop's notification area, with its menu: Restore (checked while the main
// window shows), About..., Exit.
class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  // Whether a tray host shows the icon now. Without one the user cannot reach a hidden window
  // through it, so the window must not hide.
  [[nodiscard]] virtual bool IsShown() const = 0;
  virtual void SetRestoreChecked(bool checked) = 0;
};

class Host {
 public:
  virtual ~Host() = default;
  [[nodiscard]] virtual EventLoop& Loop() = 0;
  // A window for one dialog; `parent` may be null. The window starts hidden.
  [[nodiscard]] virtual std::unique_ptr<HostWindow> CreateWindow(HostWindowEvents& events,
                                                                 HostWindow* parent) = 0;
  // A modal message box over `parent` (or none); answers IDOK, IDYES, ...
  virtual int MessageBox(HostWindow* parent, const std::string& text, const std::string& caption,
                         unsigned style) = 0;
  // Opens a document or URL with the desktop's default program (xdg-open, never a shell). False
  // when no opener could be started. `onFailed`, when given, runs on the loop's thread whenever
  // nothing opened the target: at once when no opener started, later when the opener gave up.
  virtual bool OpenExternal(const std::string& target, std::function<void()> onFailed = {}) = 0;
  // The notification-area icon: `iconPath` an image file, `tooltip` its title.
  [[nodiscard]] virtual std::unique_ptr<TrayIcon> CreateTrayIcon(TrayIconEvents& events,
                                                                 const std::string& iconPath,
                                                                 const std::string& tooltip) = 0;
  // Handles the loop's events until `done` is set or the loop quits: the user-interface thread
  // waiting for a worker without freezing the windows. Whoever sets `done` from another thread
  // then posts a task to Loop(), which wakes the wait.
  virtual void WaitFor(const Event& done) = 0;
};

}  // namespace corvane
