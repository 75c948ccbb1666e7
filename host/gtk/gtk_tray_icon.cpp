#include "host/gtk/gtk_tray_icon.h"

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <filesystem>

namespace corvane {

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kCommandKey[] = "corvane-command";

}  // namespace

GtkTrayIcon::GtkTrayIcon(EventLoop& loop, TrayIconEvents& events, const std::string& iconPath,
                         const std::string& tooltip)
    : loop_(loop), events_(events) {
  const std::filesystem::path icon(iconPath);
  indicator_ = app_indicator_new("corvane-erase", icon.stem().c_str(),
                                 APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  // The icon is a file of the program folder, found as a themed name in its own folder.
  app_indicator_set_icon_theme_path(indicator_, icon.parent_path().c_str());
  app_indicator_set_title(indicator_, tooltip.c_str());

  menu_ = gtk_menu_new();
  g_object_ref_sink(menu_);
  const auto add = [this](GtkWidget* item, int command) {
    g_object_set_data(G_OBJECT(item), kCommandKey, GINT_TO_POINTER(command));
    g_signal_connect(item, "activate", G_CALLBACK(&GtkTrayIcon::OnActivate), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_), item);
  };
  restore_ = gtk_check_menu_item_new_with_label("Restore");
  add(restore_, kTrayRestoreCommand);
  add(gtk_menu_item_new_with_label("About..."), kTrayAboutCommand);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu_), gtk_separator_menu_item_new());
  add(gtk_menu_item_new_with_label("Exit"), kTrayExitCommand);
  gtk_widget_show_all(menu_);
  app_indicator_set_menu(indicator_, GTK_MENU(menu_));
  // A panel's activation of the icon (a middle click) is Restore, the menu's default.
  app_indicator_set_secondary_activate_target(indicator_, restore_);
  app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);

  watch_ = g_bus_watch_name(
      G_BUS_TYPE_SESSION, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, gpointer self) {
        static_cast<GtkTrayIcon*>(self)->WatcherChanged(true);
      },
      [](GDBusConnection*, const gchar*, gpointer self) {
        static_cast<GtkTrayIcon*>(self)->WatcherChanged(false);
      },
      this, nullptr);
}

GtkTrayIcon::~GtkTrayIcon() {
  if (watch_ != 0) g_bus_unwatch_name(watch_);
  if (indicator_ != nullptr) {
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(indicator_);
  }
  if (menu_ != nullptr) {
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
  }
}

void GtkTrayIcon::SetRestoreChecked(bool checked) {
  // Setting the check emits "activate" too: that is not the user choosing Restore.
  settingCheck_ = true;
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(restore_), checked ? TRUE : FALSE);
  settingCheck_ = false;
}

void GtkTrayIcon::OnActivate(GtkWidget* item, void* self) {
  auto* tray = static_cast<GtkTrayIcon*>(self);
  if (tray->settingCheck_) return;
  tray->Command(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kCommandKey)));
}

void GtkTrayIcon::Command(int command) {
  // Through the loop, so the window's changes and the settings reach the view and the disk.
  static_cast<void>(loop_.Post([this, command] { events_.OnTrayCommand(command); }));
}

void GtkTrayIcon::WatcherChanged(bool present) {
  if (present == shown_) return;
  shown_ = present;
  static_cast<void>(loop_.Post([this, present] { events_.OnTrayShownChanged(present); }));
}

}  // namespace corvane
