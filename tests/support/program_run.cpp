#include "tests/support/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace corvane {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ostringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

RunningProgram::RunningProgram(const std::filesystem::path& outputFolder, std::string name,
                               std::vector<std::string> arguments, std::string_view executable)
    : out_(outputFolder / (name + ".out")), err_(outputFolder / (name + ".err")) {
  const std::string program = std::string(CORVANE_PROGRAM_DIR) + "/" + std::string(executable);
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool RunningProgram::Signal(int signal) {
  return Running() && kill(pid_, signal) == 0;
}

bool RunningProgram::Running() {
  if (pid_ <= 0 || status_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = ExitStatus(status);
    return false;
  }
  return true;
}

std::optional<ProgramRun> RunningProgram::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ProgramRun{status_.value_or(-1), ReadAll(out_), ReadAll(err_)};
}

ProgramRun RunProgram(const std::filesystem::path& outputFolder, std::vector<std::string> arguments,
                      std::string_view executable) {
  RunningProgram program(outputFolder, "run", std::move(arguments), executable);
  return program.Wait(std::chrono::minutes(1)).value_or(ProgramRun{});
}

}  // namespace corvane
