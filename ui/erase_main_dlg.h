#pragma once
// The main window: the "Common\layout.html" page, published under the application title so a
// second launch finds it, with the start-up and shut-down messages of the application.

#include <functional>
#include <memory>
#include <string>

#include "app/erase_app.h"
#include "platform/remote_window.h"
#include "platform/shared_memory.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr int kMainDialogTemplate = 102;
inline constexpr UINT WM_APP_RESTORE_CURSOR = WM_USER + 4;  // 1028
// The window icon, below the program folder.
inline constexpr char kMainIconPath[] = "icons/corvane-erase.svg";

class CEraseMainDlg final : public CNoScrollHtmlDlg, public CEraseMainWindow {
 public:
  using ScheduleModeReader = std::function<std::string()>;

  CEraseMainDlg(Host& host, CommandLine commandLine, ScheduleModeReader scheduleMode);
  ~CEraseMainDlg() override;

  // CEraseMainWindow.
  void SetHandshakeMessage(UINT message) override { handshakeMessage_ = message; }
  void Create() override;

  void OnDocumentComplete() override;
  void OnCancel() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  [[nodiscard]] bool HandleBlockPublished() const { return handleBlock_.Data() != nullptr; }

 protected:
  void OnInitDialog() override;

 private:
  // Ends the message loop; the handle block goes first, as nobody may find a dead window.
  void Quit(int exitCode);

  CommandLine commandLine_;
  ScheduleModeReader scheduleMode_;
  UINT handshakeMessage_ = 0;
  bool firstShowPending_ = true;
  SharedMemoryBlock handleBlock_;
  std::unique_ptr<WindowPublisher> publisher_;
};

}  // namespace corvane
