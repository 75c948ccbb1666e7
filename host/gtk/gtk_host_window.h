#pragma once
// One dialog window of the desktop host: a GtkWindow holding a WebKitWebView that mirrors the
// dialog's DOM. The window never closes itself: closing it or pressing Escape asks the dialog
// (OnCancel), which decides.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "host/gtk/gtk_event_loop.h"
#include "host/gtk/page_url_policy.h"
#include "platform/host_window.h"

namespace corvane {

class GtkHostWindow final : public HostWindow {
 public:
  GtkHostWindow(GtkEventLoop& loop, const PageUrlPolicy& policy, WebKitWebContext* context,
                HostWindowEvents& events, GtkHostWindow* parent);
  ~GtkHostWindow() override;
  GtkHostWindow(const GtkHostWindow&) = delete;
  GtkHostWindow& operator=(const GtkHostWindow&) = delete;

  void Navigate(const std::string& url, const std::string& html) override;
  void ApplyChanges(const std::vector<dom::Change>& changes) override;
  void Show() override;
  void Hide() override;
  [[nodiscard]] bool IsVisible() const override;
  void Raise() override;
  void SetTitle(const std::string& title) override;
  void SetIcon(const std::string& imagePath) override;
  void SetSizeAndCenter(int width, int height) override;
  void AllowResize(const std::string& sizeName) override;
  // The nested loop does not show the window: a dialog shows itself once its page has sized it,
  // and a print dialog never does. Answers -1 when the whole program quits meanwhile.
  int RunModal() override;
  void EndModal(int result) override;
  // Runs the platform's print dialog for the page; works while the window has never been shown.
  bool Print() override;

  [[nodiscard]] GtkWindow* Window() const { return GTK_WINDOW(window_); }
  [[nodiscard]] WebKitWebView* View() const { return view_; }

 private:
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static void OnPrintFinished(WebKitPrintOperation* operation, gpointer self);
  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer self);

  void Cancel();
  // Writes the size of a resizable window for its next opening.
  void RememberSize() const;
  void Evaluate(const std::string& script);
  // The nearest window of the chain that the user can see, for dialogs opened over this one.
  [[nodiscard]] GtkWindow* VisibleAncestor() const;

  GtkEventLoop& loop_;
  const PageUrlPolicy& policy_;
  HostWindowEvents& events_;
  GtkHostWindow* parent_;
  GtkWidget* window_;
  WebKitUserContentManager* content_;
  WebKitWebView* view_;
  bool loading_ = false;
  std::string blankUrl_;              // set while a refused page is replaced by an empty one
  std::vector<dom::Change> pending_;  // changes made while the page was still loading
  GMainLoop* modal_ = nullptr;
  int modalResult_ = -1;
  bool endedBeforeRun_ = false;
  WebKitPrintOperation* printJob_ = nullptr;  // a job handed to the printing system, running
  std::string sizeName_;                      // set once the user may resize the window
};

}  // namespace corvane
