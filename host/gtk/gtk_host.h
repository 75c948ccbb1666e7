#pragma once
// The desktop host: GTK 3 windows, each with a WebKit view, on the GLib main loop. Views share
// one ephemeral web context, so nothing a page does is written to the user's disk.

#include <filesystem>
#include <memory>
#include <string>

#include "host/gtk/gtk_event_loop.h"
#include "host/gtk/page_url_policy.h"
#include "platform/host_window.h"

typedef struct _WebKitWebContext WebKitWebContext;

namespace corvane {

class GtkHost final : public Host {
 public:
  // Null when GTK cannot open a display. Pages may only come from below `programFolder`.
  [[nodiscard]] static std::unique_ptr<GtkHost> Create(const std::filesystem::path& programFolder);
  ~GtkHost() override;
  GtkHost(const GtkHost&) = delete;
  GtkHost& operator=(const GtkHost&) = delete;

  [[nodiscard]] EventLoop& Loop() override { return loop_; }
  [[nodiscard]] std::unique_ptr<HostWindow> CreateWindow(HostWindowEvents& events,
                                                         HostWindow* parent) override;
  // Closing the box answers IDCANCEL (IDNO for Yes/No, IDOK for a box with only OK), as the
  // Windows box does; the whole program quitting meanwhile answers the same.
  int MessageBox(HostWindow* parent, const std::string& text, const std::string& caption,
                 unsigned style) override;
  bool OpenExternal(const std::string& target, std::function<void()> onFailed = {}) override;
  void WaitFor(const Event& done) override;

 private:
  explicit GtkHost(const std::filesystem::path& programFolder);

  GtkEventLoop loop_;
  PageUrlPolicy policy_;
  WebKitWebContext* context_;
};

}  // namespace corvane
