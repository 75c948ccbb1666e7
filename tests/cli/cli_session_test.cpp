#include "cli/cli_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/program_folder.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(CliSessionTest, ProgressShowsOnlyTheCleanersAskedAbout) {
  TempMachine machine;
  ScopedRuntimeFolder runtime;  // the single-instance lock of this test alone
  machine.WriteFile("C:\\users\\" + machine.UserName() + "\\Temp\\a.tmp", "1234");
  const fs::path before = fs::current_path();
  SetProgramFolder(CORVANE_PROGRAM_DIR);
  const CliParseResult parsed = ParseCliArguments(
      {"scan", "--only", "CuPl_UserTemp.pld", "--machine", machine.Prefix().c_str()});
  ASSERT_TRUE(parsed.arguments) << parsed.error;
  std::set<std::string> reported;
  const CliOutcome outcome = RunCliCommand(
      *parsed.arguments, CORVANE_PROGRAM_DIR,
      [&](const std::string& plugin, const std::string&) { reported.insert(plugin); });
  fs::current_path(before);
  SetProgramFolder("");
  ASSERT_EQ(outcome.status, kCliOk) << outcome.error;
  ASSERT_EQ(outcome.plugins.size(), 1u);
  // Every cleaner scans, as the window does; the terminal hears of the one asked about.
  EXPECT_EQ(reported, (std::set<std::string>{outcome.plugins[0].name}));
}

}  // namespace
}  // namespace corvane
