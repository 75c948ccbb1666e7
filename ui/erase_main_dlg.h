#pragma once
// The main window: the "Common\layout.html" page, published under the application title so a
// second launch finds it, with the start-up and shut-down messages of the application.

#include <functional>
#include <memory>
#include <string>

#include "app/erase_app.h"
#include "platform/remote_window.h"
#include "platform/shared_memory.h"
#include "ui/main_controller.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr int kMainDialogTemplate = 102;
inline constexpr UINT WM_APP_RESTORE_CURSOR = WM_USER + 4;  // 1028
// The opener of the help page gave up.
inline constexpr UINT WM_APP_HELP_NOT_OPENED = WM_USER + 5;
// The window icon, below the program folder.
inline constexpr char kMainIconPath[] = "icons/corvane-erase.svg";

class CEraseMainDlg final : public CNoScrollHtmlDlg,
                            public CEraseMainWindow,
                            public TrayIconEvents {
 public:
  using ScheduleModeReader = std::function<std::string()>;

  // Builds the controller, and with it the plug-in list (`buildPlugins`; tests give their own).
  CEraseMainDlg(Host& host, CommandLine commandLine, ScheduleModeReader scheduleMode,
                const CMainController::PluginListBuilder& buildPlugins =
                    CMainController::BuildProgramPlugins);
  ~CEraseMainDlg() override;

  // CEraseMainWindow.
  void SetHandshakeMessage(UINT message) override { handshakeMessage_ = message; }
  void Create() override;

  void OnDocumentComplete() override;
  // The user closed the window or pressed Escape: ignored while a scan runs, otherwise the cancel
  // handling.
  void OnCancel() override;
  // The restart offer, then quit (schedule "manually" or "bootup"; changes that cannot be saved
  // first keep the window open unless the user lets them go) or hide (the program stays resident
  // for its schedule).
  void RunCancelHandling();
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // TrayIconEvents: Restore toggles the window, About... is the About button's command, Exit
  // ends the program whatever the schedule. A tray host going away brings a hidden window back.
  void OnTrayCommand(int command) override;
  void OnTrayShownChanged(bool shown) override;
  // Whether a tray host shows the icon, so a hidden window stays reachable. Without one the
  // window never hides: a scheduled start shows it, and closing it ends the program.
  [[nodiscard]] bool TrayShown() const { return tray_ != nullptr && tray_->IsShown(); }

  [[nodiscard]] bool HandleBlockPublished() const { return handleBlock_.Data() != nullptr; }
  [[nodiscard]] CMainController& Controller() { return *controller_; }

 protected:
  void OnInitDialog() override;
  void OnClickElement(dom::Element element) override;

 private:
  // Ends the message loop; the handle block goes first, as nobody may find a dead window.
  void Quit(int exitCode);

  CommandLine commandLine_;
  ScheduleModeReader scheduleMode_;
  UINT handshakeMessage_ = 0;
  bool firstShowPending_ = true;
  SharedMemoryBlock handleBlock_;
  std::unique_ptr<WindowPublisher> publisher_;
  std::unique_ptr<TrayIcon> tray_;
  EventLoop::HookId trayHook_ = 0;
  // Last member: it goes first, so a worker still running ends while the window exists.
  std::unique_ptr<CMainController> controller_;
};

}  // namespace corvane
