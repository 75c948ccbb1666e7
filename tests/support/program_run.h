#pragma once
// Starts the built desktop program as a user would, with its output in files of a folder, and
// waits for it with a time-out, so tests can run several instances side by side.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct ProgramRun {
  int status = -1;  // exit status; -1 when it did not end normally
  std::string out;
  std::string err;
};

class RunningProgram {
 public:
  // Starts an executable of the program folder (the desktop program unless told otherwise) with
  // the arguments; stdout and stderr go to files in `outputFolder` named after `name`.
  RunningProgram(const std::filesystem::path& outputFolder, std::string name,
                 std::vector<std::string> arguments, std::string_view executable = "CorvaneErase");
  // Kills the program if it is still running.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  [[nodiscard]] bool Started() const { return pid_ > 0; }
  // Waits for the program to end; none when it is still running after `timeout`.
  [[nodiscard]] std::optional<ProgramRun> Wait(std::chrono::milliseconds timeout);
  [[nodiscard]] bool Running();
  // Sends a signal to the program while it runs (SIGINT: what Ctrl-C in a terminal does).
  bool Signal(int signal);

 private:
  std::filesystem::path out_;
  std::filesystem::path err_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Runs the program to its end (at most a minute).
[[nodiscard]] ProgramRun RunProgram(const std::filesystem::path& outputFolder,
                                    std::vector<std::string> arguments,
                                    std::string_view executable = "CorvaneErase");

}  // namespace corvane
