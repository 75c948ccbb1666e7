#pragma once
// The tray icon on the desktop: a StatusNotifierItem (what current panels show) with its menu
// exported over D-Bus. Whether a panel shows it is followed through the session bus: the icon is
// shown exactly while some program owns the StatusNotifierWatcher name.

#include <string>

#include "platform/event_loop.h"
#include "platform/host_window.h"

typedef struct _AppIndicator AppIndicator;
typedef struct _GtkWidget GtkWidget;

namespace corvane {

class GtkTrayIcon final : public TrayIcon {
 public:
  GtkTrayIcon(EventLoop& loop, TrayIconEvents& events, const std::string& iconPath,
              const std::string& tooltip);
  ~GtkTrayIcon() override;
  GtkTrayIcon(const GtkTrayIcon&) = delete;
  GtkTrayIcon& operator=(const GtkTrayIcon&) = delete;

  [[nodiscard]] bool IsShown() const override { return shown_; }
  void SetRestoreChecked(bool checked) override;

 private:
  static void OnActivate(GtkWidget* item, void* self);
  void Command(int command);
  void WatcherChanged(bool present);

  EventLoop& loop_;
  TrayIconEvents& events_;
  AppIndicator* indicator_ = nullptr;
  GtkWidget* menu_ = nullptr;
  GtkWidget* restore_ = nullptr;
  unsigned watch_ = 0;
  bool shown_ = false;
  bool settingCheck_ = false;
};

}  // namespace corvane
