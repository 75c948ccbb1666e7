#include "engine/wine_restart.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/delete_at_restart.h"
#include "platform/machine.h"
#include "platform/registry_store.h"
#include "tests/support/live_wine.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

// What a shell makes of the command's WINEPREFIX (popen hands the text to sh as it is).
std::string PrefixAShellSees(const std::string& command) {
  const std::string script =
      command.substr(0, command.rfind(" wineboot --restart")) + "; printf %s \"$WINEPREFIX\"";
  std::string seen;
  if (FILE* shell = ::popen(script.c_str(), "r")) {
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, shell)) > 0) seen.append(buffer, n);
    ::pclose(shell);
  }
  return seen;
}

TEST(WineRestartTest, TheCommandNamesThePrefixSoAShellReadsItBackExactly) {
  EXPECT_EQ(WineRestartCommand("/home/ann/.wine"),
            "WINEPREFIX='/home/ann/.wine' wineboot --restart");
  for (const char* prefix : {"/home/ann/.wine", "/tmp/it's $HOME `id` \"x\"", "/a b/''/c"}) {
    EXPECT_EQ(PrefixAShellSees(WineRestartCommand(prefix)), prefix);
  }
}

TEST(WineRestartTest, TheRestartFinishesTheDeletionsLeftForIt) {
  if (!test::HasWine()) CORVANE_SKIP_LIVE_WINE("wine is not installed");
  namespace fs = std::filesystem;
  TempDir dir("corvane-restart");
  const fs::path prefix = dir.Path() / "prefix";
  const fs::path home = dir.Path() / "home";
  fs::create_directories(home);
  // This test's own process: Wine gets a throw-away home and stays quiet.
  setenv("HOME", home.c_str(), 1);
  setenv("WINEDEBUG", "-all", 1);
  setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
  setenv("WINEPREFIX", prefix.c_str(), 1);
  struct ServerStop {
    ~ServerStop() { static_cast<void>(std::system("wineserver -k 2>/dev/null")); }
  } stop;
  if (std::system("wineboot -i >/dev/null 2>&1 && wineserver -w") != 0) {
    CORVANE_SKIP_LIVE_WINE("wineboot could not make a prefix");
  }
  unsetenv("WINEPREFIX");  // the restart must name the prefix itself

  std::unique_ptr<Machine> machine = Machine::Open(prefix, nullptr);
  ASSERT_TRUE(machine);
  Machine::SetCurrent(machine.get());
  {
    RegistryStore registry(prefix);
    RegistryStore::SetCurrent(&registry);
    WriteHostFile(prefix / "drive_c" / "left.tmp", "x");
    EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\left.tmp"));
    EXPECT_TRUE(registry.Flush());
    RegistryStore::SetCurrent(nullptr);
  }
  Machine::SetCurrent(nullptr);

  EXPECT_EQ(RestartWine(prefix), WineRestartResult::Restarted);
  EXPECT_FALSE(fs::exists(prefix / "drive_c" / "left.tmp"));
  EXPECT_EQ(ReadHostFile(prefix / "system.reg").find("PendingFileRenameOperations"),
            std::string::npos);
}

TEST(WineRestartTest, WhileWineRunsOrWithoutWineNothingIsStarted) {
  TempDir dir("corvane-restart");
  {
    test::WineServerLockHolder server(dir.Path());
    EXPECT_EQ(RestartWine(dir.Path()), WineRestartResult::WineRunning);
  }
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", dir.Path().c_str(), 1);
  EXPECT_EQ(RestartWine(dir.Path()), WineRestartResult::WineMissing);
  setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace corvane
