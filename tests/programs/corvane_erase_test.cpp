#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/support/temp_machine.h"

extern char** environ;

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built program with the arguments; its output goes to files in `dir`.
ProgramRun RunProgram(const TempDir& dir, std::vector<std::string> arguments) {
  const std::string program = std::string(CORVANE_PROGRAM_DIR) + "/CorvaneErase";
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const fs::path out = dir.Path() / "stdout";
  const fs::path err = dir.Path() / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ProgramRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    return run;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadHostFile(out);
  run.err = ReadHostFile(err);
  return run;
}

TEST(CorvaneEraseTest, AMissingPrefixExitsWithStatus2AndCreatesNothing) {
  TempDir dir;
  const fs::path prefix = dir.Path() / "no-prefix";
  const ProgramRun run = RunProgram(dir, {"--machine", prefix.string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("does not exist"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(prefix));
}

TEST(CorvaneEraseTest, TellsWhatItFoundOnTheMachine) {
  TempMachine temp;
  TempDir dir;
  const ProgramRun run = RunProgram(dir, {"--report", "--machine", temp.Prefix().string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("User: ann\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Profile folder: C:\\users\\ann\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Drive C: fixed " + (temp.Prefix() / "drive_c").string() + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Drive Z: fixed " + temp.HostRoot().string() + "\n"), std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace corvane
