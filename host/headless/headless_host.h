#pragma once
// The scripted host: no view at all. Tests and the command-line front end run dialogs on it.
// Windows remember what a view would show (title, size, visibility, the page and the changes
// sent to it); message boxes take answers given in advance; modal runs turn the queue until
// EndModal, running a script step first if one is set.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_window.h"

namespace corvane {

class HeadlessHost;

class HeadlessWindow final : public HostWindow {
 public:
  HeadlessWindow(HeadlessHost& host, HostWindowEvents& events, HostWindow* parent)
      : host_(host), events_(events), parent_(parent) {}
  ~HeadlessWindow() override;

  void Navigate(const std::string& url, const std::string& html) override;
  void ApplyChanges(const std::vector<dom::Change>& changes) override;
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  [[nodiscard]] bool IsVisible() const override { return visible_; }
  void Raise() override { ++raised_; }
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetIcon(const std::string& imagePath) override { icon_ = imagePath; }
  void SetSizeAndCenter(int width, int height) override;
  void AllowResize(const std::string& sizeName) override { resizeName_ = sizeName; }
  int RunModal() override;
  void EndModal(int result) override;
  bool Print() override;

  // What a view would show.
  [[nodiscard]] const std::string& Url() const { return url_; }
  [[nodiscard]] const std::string& ResizeName() const { return resizeName_; }
  [[nodiscard]] const std::string& Html() const { return html_; }
  [[nodiscard]] const std::vector<dom::Change>& Changes() const { return changes_; }
  [[nodiscard]] const std::string& Title() const { return title_; }
  [[nodiscard]] const std::string& Icon() const { return icon_; }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  [[nodiscard]] int RaiseCount() const { return raised_; }
  [[nodiscard]] int PrintCount() const { return printed_; }
  [[nodiscard]] HostWindow* Parent() const { return parent_; }
  [[nodiscard]] bool InModal() const { return inModal_; }
  // The dialog that owns the window: a modal step reaches its page through it.
  [[nodiscard]] HostWindowEvents& Events() const { return events_; }

  // What a user would do: queued on the loop like a real view's event.
  void Input(const ViewInput& input);
  void Cancel();

 private:
  HeadlessHost& host_;
  HostWindowEvents& events_;
  HostWindow* parent_;
  std::string url_;
  std::string html_;
  std::vector<dom::Change> changes_;
  std::string title_;
  std::string icon_;
  bool visible_ = false;
  int width_ = 0;
  std::string resizeName_;  // set when the user may resize the window
  int height_ = 0;
  int raised_ = 0;
  int printed_ = 0;
  bool inModal_ = false;
  std::optional<int> modalResult_;
};

// A tray icon a test can click: its menu commands are queued like a real menu's.
class HeadlessTray final : public TrayIcon {
 public:
  HeadlessTray(HeadlessHost& host, TrayIconEvents& events, std::string iconPath,
               std::string tooltip);
  ~HeadlessTray() override;
  [[nodiscard]] bool IsShown() const override { return shown_; }
  void SetRestoreChecked(bool checked) override { restoreChecked_ = checked; }

  [[nodiscard]] bool RestoreChecked() const { return restoreChecked_; }
  [[nodiscard]] const std::string& IconPath() const { return iconPath_; }
  [[nodiscard]] const std::string& Tooltip() const { return tooltip_; }
  // What a user does: a menu item, or activating the icon (Restore).
  void Choose(int command);
  // A tray host appears or goes away.
  void SetShown(bool shown);

 private:
  HeadlessHost& host_;
  TrayIconEvents& events_;
  std::string iconPath_;
  std::string tooltip_;
  bool shown_;
  bool restoreChecked_ = false;
};

class HeadlessHost final : public Host {
 public:
  struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned style = 0;
  };
  // A script step for a modal run: called with the window once its modal run has started.
  using ModalStep = std::function<void(HeadlessWindow&)>;

  [[nodiscard]] QueueEventLoop& Loop() override { return loop_; }
  [[nodiscard]] std::unique_ptr<HostWindow> CreateWindow(HostWindowEvents& events,
                                                         HostWindow* parent) override;
  int MessageBox(HostWindow* parent, const std::string& text, const std::string& caption,
                 unsigned style) override;
  bool OpenExternal(const std::string& target, std::function<void()> onFailed = {}) override;
  [[nodiscard]] std::unique_ptr<TrayIcon> CreateTrayIcon(TrayIconEvents& events,
                                                         const std::string& iconPath,
                                                         const std::string& tooltip) override;
  // The tray icon made last and still alive; null when none.
  [[nodiscard]] HeadlessTray* Tray() const { return tray_; }
  // Whether a tray host shows the icons made from now on (it does unless told otherwise).
  void SetTrayHostPresent(bool present) { trayHostPresent_ = present; }
  void WaitFor(const Event& done) override;

  // The answer of the next message box; without one a box answers IDOK (IDNO for MB_YESNO).
  void SetNextAnswer(int answer) { answers_.push_back(answer); }
  [[nodiscard]] const std::vector<ShownMessage>& Messages() const { return messages_; }
  [[nodiscard]] const std::vector<std::string>& Opened() const { return opened_; }
  // What the user does in every print dialog from now on: true prints, false cancels. Without
  // one, every print dialog prints.
  void SetPrintDialog(std::function<bool()> user) { printDialog_ = std::move(user); }
  // From now on every opener gives up, as xdg-open does on a desktop with no program for a type.
  void SetOpenFails(bool fails) { openFails_ = fails; }
  // Steps for the next modal runs, in order. A modal run with no step left ends with IDCANCEL
  // rather than hang a test.
  void AddModalStep(ModalStep step) { modalSteps_.push_back(std::move(step)); }
  [[nodiscard]] std::vector<HeadlessWindow*> Windows() const { return windows_; }

 private:
  friend class HeadlessWindow;
  friend class HeadlessTray;
  std::optional<ModalStep> TakeModalStep();
  void Forget(HeadlessWindow* window);

  QueueEventLoop loop_;
  std::deque<int> answers_;
  std::vector<ShownMessage> messages_;
  std::vector<std::string> opened_;
  bool openFails_ = false;
  std::function<bool()> printDialog_;
  std::deque<ModalStep> modalSteps_;
  std::vector<HeadlessWindow*> windows_;
  HeadlessTray* tray_ = nullptr;
  bool trayHostPresent_ = true;
};

}  // namespace corvane
