#include "ui/erase_main_dlg.h"

#include <cstring>

#include "platform/program_folder.h"
#include "ui/sortable_table.h"

namespace corvane {

namespace {
constexpr std::size_t kHandleBlockSize = 1024;
}  // namespace

CEraseMainDlg::CEraseMainDlg(Host& host, CommandLine commandLine, ScheduleModeReader scheduleMode,
                             const CMainController::PluginListBuilder& buildPlugins)
    : CNoScrollHtmlDlg(host, kMainPageName, kMainDialogTemplate, nullptr),
      commandLine_(std::move(commandLine)),
      scheduleMode_(std::move(scheduleMode)),
      controller_(std::make_unique<CMainController>(*this, buildPlugins)) {
  tray_ = host.CreateTrayIcon(*this, ProgramFilePath(kMainIconPath).value_or(std::string()),
                              kApplicationTitle);
  // "Restore" is checked exactly while the window shows, whatever showed or hid it.
  trayHook_ = host.Loop().AddAfterEventHook([this] {
    if (tray_ && Window() != nullptr) tray_->SetRestoreChecked(Window()->IsVisible());
  });
}

CEraseMainDlg::~CEraseMainDlg() {
  if (trayHook_ != 0) GetHost().Loop().RemoveAfterEventHook(trayHook_);
}

void CEraseMainDlg::Create() {
  CreateModeless();
  HostWindow* window = Window();
  publisher_ = std::make_unique<WindowPublisher>(
      *this, kApplicationTitle,
      PublishedWindowActions{[window] { window->Show(); }, [window] { window->Raise(); }});
}

void CEraseMainDlg::OnInitDialog() {
  CNoScrollHtmlDlg::OnInitDialog();
  Window()->SetIcon(ProgramFilePath(kMainIconPath).value_or(std::string()));
  Window()->SetTitle(kApplicationTitle);
}

void CEraseMainDlg::OnDocumentComplete() {
  CNoScrollHtmlDlg::OnDocumentComplete();
  controller_->OnDocumentComplete();
  if (firstShowPending_) {
    firstShowPending_ = false;
    const std::string mode = scheduleMode_();
    const bool staysInBackground = mode != kScheduleBootUp && mode != kScheduleManually &&
                                   commandLine_.IsReminder() && TrayShown();
    if (!staysInBackground) {
      Window()->Show();
      Window()->SetTitle(kApplicationTitle);
    }
  }
  if (handleBlock_.Create(kSharedHandleBlockName, kHandleBlockSize)) {
    const std::uint32_t handle = Handle();
    std::memcpy(handleBlock_.Data(), &handle, sizeof handle);
  }
}

void CEraseMainDlg::OnCancel() {
  if (controller_->State() == PageState::Scan) return;  // a scan is running
  RunCancelHandling();
}

void CEraseMainDlg::RunCancelHandling() {
  controller_->RunRebootCheck();
  const std::string mode = scheduleMode_();
  if (mode == kScheduleManually || mode == kScheduleBootUp || !TrayShown()) {
    // What is not on disk yet is never dropped without the user's word.
    if (!controller_->SaveBeforeClosing()) return;
    Quit(1);
  } else {
    Window()->Hide();  // the program stays resident and prompts on its schedule
  }
}

void CEraseMainDlg::OnTrayCommand(int command) {
  if (Window() == nullptr) return;  // not created: a scheduled start that ends at once
  switch (command) {
    case kTrayRestoreCommand:
      if (!Window()->IsVisible()) {
        Window()->Show();
        Window()->Raise();
      } else {
        controller_->RunRebootCheck();
        if (TrayShown()) Window()->Hide();
      }
      return;
    case kTrayAboutCommand:
      // Exactly what the About button does, through the same dispatcher.
      if (Document() != nullptr) {
        dom::Element about = Document()->CreateElement("span");
        about.SetAttribute("cid", "btn_about");
        static_cast<void>(controller_->OnClick(about));
      }
      return;
    case kTrayExitCommand:
      if (controller_->SaveBeforeClosing()) Quit(0);
      return;
    default:
      return;
  }
}

void CEraseMainDlg::OnTrayShownChanged(bool shown) {
  if (!shown && Window() != nullptr && !Window()->IsVisible()) {
    Window()->Show();
    Window()->Raise();
  }
}

void CEraseMainDlg::OnClickElement(dom::Element element) {
  // Report tables whose headers the templates mark sort themselves.
  if (Document() != nullptr && OnSortedColumnClick(*Document(), element)) return;
  controller_->ShowClickedDescription(element);
  static_cast<void>(controller_->OnClick(element));
}

void CEraseMainDlg::Quit(int exitCode) {
  handleBlock_.Close();
  GetHost().Loop().Quit(exitCode);
}

LRESULT CEraseMainDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == handshakeMessage_ && handshakeMessage_ != 0) return kHandshakeReply;
  switch (message) {
    case WM_APP_EMERGENCY_CLOSE:
      GetHost().Loop().Quit(1);
      return 0;
    case WM_APP_RESTORE_CURSOR:
      return 1;  // the view draws itself; nothing to invalidate
    case WM_APP_HELP_NOT_OPENED:
      controller_->OnHelpNotOpened();
      return 0;
    case WM_CLOSE:
      OnCancel();
      return 0;
    case WM_APP_PLUGIN_SCANNED:
      if (const auto id = TakeRecord<PluginId>(wParam)) controller_->OnPluginScanned(*id, lParam);
      return 0;
    case WM_APP_PLUGIN_ERASED:
      if (const auto id = TakeRecord<PluginId>(wParam)) controller_->OnPluginErased(*id, lParam);
      return 0;
    case WM_APP_PROGRESS:
      if (const auto record = TakeRecord<ProgressRecord>(wParam)) {
        controller_->ShowProgress(*record);
      }
      return 0;
    case WM_QUERYENDSESSION:
      Quit(0);
      return 1;
    default:
      return CNoScrollHtmlDlg::WindowProc(message, wParam, lParam);
  }
}

}  // namespace corvane
