#include "platform/wine_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/live_wine.h"
#include "tests/support/temp_registry.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

using test::ScratchFolder;

TEST(WineServer, LockPathIsNamedAfterThePrefixFolder) {
  ScratchFolder prefix;
  struct stat info {};
  ASSERT_EQ(::stat(prefix.Path().c_str(), &info), 0);
  char expected[128];
  std::snprintf(expected, sizeof expected, "/tmp/.wine-%u/server-%llx-%llx/lock",
                static_cast<unsigned>(::getuid()), static_cast<unsigned long long>(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  const auto paths = WineServerLockPaths(prefix.Path());
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0], expected);

  // A private server folder recorded in the prefix is checked too; names that would leave /tmp
  // are not.
  prefix.Write("wineserver", "wine-Ab12Cd");
  ASSERT_EQ(WineServerLockPaths(prefix.Path()).size(), 2u);
  EXPECT_EQ(WineServerLockPaths(prefix.Path())[1].parent_path().parent_path(), "/tmp/wine-Ab12Cd");
  for (const char* hostile : {"../etc", "..", "a/b", ""}) {
    prefix.Write("wineserver", hostile);
    EXPECT_EQ(WineServerLockPaths(prefix.Path()).size(), 1u) << hostile;
  }
  EXPECT_TRUE(WineServerLockPaths(prefix.Path() / "missing").empty());
}

TEST(WineServer, ALockHolderIsSeenAndItsEndIsToo) {
  ScratchFolder prefix;
  EXPECT_FALSE(IsWineServerRunning(prefix.Path()));
  {
    test::WineServerLockHolder server(prefix.Path());
    EXPECT_TRUE(IsWineServerRunning(prefix.Path()));
  }
  EXPECT_FALSE(IsWineServerRunning(prefix.Path()));
}

// The real thing, when Wine is installed: a persistent server for a throw-away prefix and HOME.
TEST(WineServer, ARealWineserverIsSeen) {
  if (::access("/usr/bin/wineserver", X_OK) != 0) {
    CORVANE_SKIP_LIVE_WINE("wineserver is not installed");
  }
  ScratchFolder prefix;
  ScratchFolder home;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("WINEPREFIX", prefix.Path().c_str(), 1);
    ::setenv("HOME", home.Path().c_str(), 1);
    ::execl("/usr/bin/wineserver", "wineserver", "-f", "-p", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool seen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) break;  // it ended on its own
    seen = IsWineServerRunning(prefix.Path());
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(IsWineServerRunning(prefix.Path()));
  for (const auto& lock : WineServerLockPaths(prefix.Path())) {
    std::error_code ignored;
    std::filesystem::remove_all(lock.parent_path(), ignored);
    if (lock.parent_path().parent_path().filename().string().starts_with("wine-")) {
      std::filesystem::remove_all(lock.parent_path().parent_path(), ignored);
    }
  }
}

}  // namespace
}  // namespace corvane
