#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/program_run.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(CorvaneEraseTest, AMissingPrefixExitsWithStatus2AndCreatesNothing) {
  TempDir dir;
  const fs::path prefix = dir.Path() / "no-prefix";
  const ProgramRun run = RunProgram(dir.Path(), {"--machine", prefix.string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("does not exist"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(prefix));
}

TEST(CorvaneEraseTest, HelpPrintsTheOptionsAndSwitchesAndTouchesNoPrefix) {
  TempDir dir;
  const fs::path prefix = dir.Path() / "no-prefix";
  const ProgramRun run = RunProgram(dir.Path(), {"--machine", prefix.string(), "--help"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* word : {"--machine DIR", "--report", "--allow-foreign-owner", "--desktop",
                           "/remindme", "/emergencyclose"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word << "\n" << run.out;
  }
  EXPECT_FALSE(fs::exists(prefix));
}

TEST(CorvaneEraseTest, TellsWhatItFoundOnTheMachine) {
  TempMachine temp;
  TempDir dir;
  const ProgramRun run = RunProgram(dir.Path(), {"--report", "--machine", temp.Prefix().string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("User: ann\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Profile folder: C:\\users\\ann\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Drive C: fixed " + (temp.Prefix() / "drive_c").string() + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Drive Z: fixed " + temp.HostRoot().string() + "\n"), std::string::npos)
      << run.out;
}

TEST(CorvaneEraseTest, APrefixAnotherUserOwnsIsRefusedWithStatus3) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give the prefix to another user";
  TempMachine temp;
  TempDir dir;
  ASSERT_EQ(::chown(temp.Prefix().c_str(), 54321, 54321), 0);
  const ProgramRun refused = RunProgram(dir.Path(), {"--machine", temp.Prefix().string()});
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("belongs to uid 54321, not to you"), std::string::npos) << refused.err;
  // Allowed, it goes on to look for a display.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const ProgramRun allowed =
      RunProgram(dir.Path(), {"--allow-foreign-owner", "--machine", temp.Prefix().string()});
  EXPECT_EQ(allowed.status, 2);
  EXPECT_NE(allowed.err.find("no display"), std::string::npos) << allowed.err;
}

TEST(CorvaneEraseTest, WithoutADisplayItSaysSoAndExitsWithStatus2) {
  TempMachine temp;
  TempDir dir;
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const ProgramRun run = RunProgram(dir.Path(), {"--machine", temp.Prefix().string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace corvane
