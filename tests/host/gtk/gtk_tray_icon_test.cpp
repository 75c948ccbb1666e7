// The desktop tray icon on a private session bus: it counts as shown exactly while a tray host
// (the owner of the StatusNotifierWatcher name) is there, and says so when one comes or goes.

#include "host/gtk/gtk_tray_icon.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/gtk/gtk_host.h"
#include "tests/host/gtk/gui_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

using testing::RunUntil;

// A session bus of this test alone, so no desktop's panel takes part.
class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--session"),
                    const_cast<char*>("--nofork"), const_cast<char*>("--print-address=1"), nullptr};
    if (posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char c = 0;
    while (pid_ > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
    ::close(out[0]);
  }
  ~PrivateSessionBus() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  [[nodiscard]] const std::string& Address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

struct Recorder : TrayIconEvents {
  void OnTrayCommand(int command) override { commands.push_back(command); }
  void OnTrayShownChanged(bool shown) override { changes.push_back(shown); }
  std::vector<int> commands;
  std::vector<bool> changes;
};

TEST(GtkTrayIconTest, ShownExactlyWhileATrayHostIsThere) {
  PrivateSessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon could not start";
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
  if (!testing::XvfbDisplay::Shared().Running()) GTEST_SKIP() << "Xvfb could not start";
  TempDir root("corvane-tray");
  std::unique_ptr<GtkHost> host = GtkHost::Create(root.Path());
  if (!host) GTEST_SKIP() << "GTK cannot open the display";

  Recorder events;
  std::unique_ptr<TrayIcon> tray =
      host->CreateTrayIcon(events, (root.Path() / "corvane-erase.svg").string(), "Corvane Erase");
  EXPECT_FALSE(tray->IsShown());  // no panel yet

  // A panel starts.
  const guint owner =
      g_bus_own_name(G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher",
                     G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(RunUntil([&] { return !events.changes.empty(); }));
  EXPECT_TRUE(tray->IsShown());
  EXPECT_EQ(events.changes, std::vector<bool>{true});

  // Checking Restore is no command of the user's.
  tray->SetRestoreChecked(true);
  tray->SetRestoreChecked(false);

  // The panel goes away.
  g_bus_unown_name(owner);
  ASSERT_TRUE(RunUntil([&] { return events.changes.size() == 2; }));
  EXPECT_FALSE(tray->IsShown());
  EXPECT_EQ(events.changes, (std::vector<bool>{true, false}));
  EXPECT_TRUE(events.commands.empty());
  tray.reset();
  host.reset();
}

}  // namespace
}  // namespace corvane
