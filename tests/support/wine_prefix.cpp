#include "tests/support/wine_prefix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>

#include "tests/support/live_wine.h"

namespace corvane::test {
namespace {

int Spawn(std::vector<std::string> arguments, const std::vector<std::string>& additions) {
  std::vector<std::string> env = additions;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    // The additions win over the test's own environment.
    bool replaced = false;
    for (const std::string& added : additions) {
      replaced = replaced || entry.starts_with(added.substr(0, added.find('=') + 1));
    }
    if (!replaced) env.emplace_back(entry);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

WinePrefix::WinePrefix() : prefix_(dir_.Path() / "prefix"), home_(dir_.Path() / "home") {
  std::filesystem::create_directories(home_);
  environment_ = {"WINEPREFIX=" + prefix_.string(),
                  "HOME=" + home_.string(),
                  "XDG_DATA_HOME=" + (home_ / ".local" / "share").string(),
                  "WINEDEBUG=-all",
                  "WINEDLLOVERRIDES=mscoree,mshtml=",
                  "DISPLAY="};
  if (!HasWine()) {
    why_ = "wine is not installed";
    return;
  }
  if (Run({"wine", "wineboot", "-i"}) != 0) {
    why_ = "wineboot could not make a prefix";
    return;
  }
  ready_ = true;
}

WinePrefix::~WinePrefix() {
  static_cast<void>(Spawn({"wineserver", "-k"}, environment_));
}

std::filesystem::path WinePrefix::Trash() const {
  return home_ / ".local" / "share" / "Trash";
}

int WinePrefix::Run(std::vector<std::string> arguments) const {
  const int status = Spawn(std::move(arguments), environment_);
  static_cast<void>(Spawn({"wineserver", "-w"}, environment_));
  return status;
}

}  // namespace corvane::test
