#include "engine/wine_restart.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/wine_server.h"

extern char** environ;

namespace corvane {

namespace {

bool OnPath(std::string_view program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string_view rest(path);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string folder(rest.substr(0, colon));
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + std::string(program);
    if (access(candidate.c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return false;
}

// Runs the program with the environment plus WINEPREFIX; answers its exit status, -1 when it did
// not start or did not exit normally.
int RunWithPrefix(const std::filesystem::path& prefix, std::vector<std::string> arguments) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "WINEPREFIX=", 11) != 0) environment.emplace_back(*entry);
  }
  environment.push_back("WINEPREFIX=" + prefix.string());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string WineRestartCommand(const std::filesystem::path& prefix) {
  // Inside single quotes only the quote itself needs care: it ends the quoted part, is given
  // escaped, and a new quoted part begins.
  std::string quoted = "'";
  for (const char c : prefix.string()) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  return "WINEPREFIX=" + quoted + " wineboot --restart";
}

WineRestartResult RestartWine(const std::filesystem::path& prefix) {
  if (IsWineServerRunning(prefix)) return WineRestartResult::WineRunning;
  if (!OnPath("wineboot")) return WineRestartResult::WineMissing;
  if (RunWithPrefix(prefix, {"wineboot", "--restart"}) != 0) return WineRestartResult::Failed;
  // wineboot leaves its wineserver behind for a few seconds; until it has gone it owns the
  // registry files, which this program reads and writes next.
  if (OnPath("wineserver")) static_cast<void>(RunWithPrefix(prefix, {"wineserver", "-w"}));
  return WineRestartResult::Restarted;
}

}  // namespace corvane
