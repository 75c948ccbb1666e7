// The desktop program as a user meets it: a real GTK window on a private X server, on a machine
// made for the test.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/support/program_run.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

bool WindowTitled(const std::string& title) {
  return Output("xwininfo -root -tree 2>/dev/null").find('"' + title + '"') != std::string::npos;
}

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 2min;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

TEST(CorvaneEraseGuiTest, ShowsItsWindowAndHandsASecondLaunchOver) {
  if (!testing::XvfbDisplay::Shared().Running()) GTEST_SKIP() << "no Xvfb";
  if (Output("command -v xwininfo import identify").empty()) GTEST_SKIP() << "no X11 tools";
  TempMachine machine;
  ScopedRuntimeFolder runtime;
  TempDir output;
  const std::vector<std::string> onMachine = {"--machine", machine.Prefix().string()};
  // The window's remembered size goes here, never into the user's own configuration.
  ::setenv("XDG_CONFIG_HOME", (output.Path() / "config").c_str(), 1);

  RunningProgram first(output.Path(), "first", onMachine);
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(WaitFor([&] { return WindowTitled("Corvane Erase") || !first.Running(); }));
  ASSERT_TRUE(first.Running()) << first.Wait(0ms)->err;

  const std::string shot = (output.Path() / "shot.png").string();
  ASSERT_TRUE(WaitFor([&] {
    return std::system(("import -window root '" + shot + "' 2>/dev/null").c_str()) == 0 &&
           std::stoi("0" + Output("identify -format %k '" + shot + "'")) > 2;
  })) << "the screen stayed blank";

  RunningProgram second(output.Path(), "second", onMachine);
  const auto handedOver = second.Wait(1min);
  ASSERT_TRUE(handedOver.has_value());
  EXPECT_EQ(handedOver->status, 1);
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(handedOver->err, "");  // the same prefix: nothing to say
  // A launch naming another prefix learns which one the window it sees works on.
  RunningProgram other(output.Path(), "other",
                       {"--machine", (output.Path() / "other-prefix").string()});
  const auto toldOther = other.Wait(1min);
  ASSERT_TRUE(toldOther.has_value());
  EXPECT_EQ(toldOther->status, 1);
  EXPECT_NE(toldOther->err.find("already running on " + machine.Prefix().string()),
            std::string::npos)
      << toldOther->err;

  // Closing needs no machine of its own: the running instance has one.
  RunningProgram third(output.Path(), "third",
                       {"--machine", (output.Path() / "no-prefix").string(), "/emergencyclose"});
  ASSERT_TRUE(third.Wait(1min).has_value());
  const auto ended = first.Wait(1min);
  ASSERT_TRUE(ended.has_value()) << "the first instance did not close";
  EXPECT_EQ(ended->status, 1);
  // Its shared handle block went with it.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(runtime.Path())) {
    EXPECT_NE(entry.path().extension(), ".shm") << entry.path();
  }
}

}  // namespace
}  // namespace corvane
