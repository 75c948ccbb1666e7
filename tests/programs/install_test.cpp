// cmake --install into a temporary prefix (with a blank in its name): the program folder, the
// command links, the desktop launcher and the log-in entry (both passing desktop-file-validate),
// the icon and the man page; the installed corvane-cli runs from its link.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command line; answers its exit status and output.
std::pair<int, std::string> Shell(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, {}};
  char buffer[512];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(InstallTest, TheInstalledTreeRunsAndItsDesktopEntriesValidate) {
  TempDir dir("corvane-install");
  const fs::path prefix = dir.Path() / "my prefix";
  const auto [installed, log] =
      Shell(std::string(CORVANE_CMAKE_COMMAND) + " --install " + Quoted(CORVANE_BINARY_DIR) +
            " --prefix " + Quoted(prefix.string()));
  ASSERT_EQ(installed, 0) << log;

  const fs::path folder = prefix / "lib" / "corvane-erase";
  for (const char* file : {"CorvaneErase", "corvane-cli", "html/Common/layout.html",
                           "html/English/stat_content.html", "icons/corvane-erase.svg"}) {
    EXPECT_TRUE(fs::exists(folder / file)) << file;
  }
  EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/scalable/apps/corvane-erase.svg"));
  EXPECT_TRUE(fs::exists(prefix / "share/man/man1/corvane-cli.1"));
  EXPECT_TRUE(fs::is_symlink(prefix / "bin" / "corvane-erase"));
  EXPECT_TRUE(fs::read_symlink(prefix / "bin" / "corvane-cli").is_relative());

  const fs::path launcher = prefix / "share/applications/corvane-erase.desktop";
  const fs::path autostart = prefix / "etc/xdg/autostart/corvane-erase.desktop";
  const std::string exec = "Exec=\"" + (prefix / "bin" / "corvane-erase").string() + "\"";
  // The menu start has no terminal: start-up errors go to a message box as well.
  EXPECT_NE(ReadHostFile(launcher).find(exec + " --desktop\n"), std::string::npos)
      << ReadHostFile(launcher);
  EXPECT_NE(ReadHostFile(autostart).find(exec + " /remindme\n"), std::string::npos)
      << ReadHostFile(autostart);
  if (Shell("command -v desktop-file-validate").first != 0) {
    GTEST_SKIP() << "desktop-file-validate is not installed (scripts/install-deps installs it)";
  }
  for (const fs::path& entry : {launcher, autostart}) {
    const auto [valid, problems] = Shell("desktop-file-validate " + Quoted(entry.string()));
    EXPECT_EQ(valid, 0) << entry << ": " << problems;
    EXPECT_EQ(problems, "") << entry;
  }

  // The installed command finds its program folder through its link.
  const auto [help, usage] = Shell(Quoted((prefix / "bin" / "corvane-cli").string()) + " --help");
  EXPECT_EQ(help, 0);
  EXPECT_NE(usage.find("stats"), std::string::npos);
}

}  // namespace
}  // namespace corvane
