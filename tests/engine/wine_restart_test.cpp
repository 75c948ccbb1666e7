#include "engine/wine_restart.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace corvane
