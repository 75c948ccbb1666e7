#include "cli/cli_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace corvane {
namespace {

CliOutcome Outcome() {
  CliOutcome outcome;
  outcome.machine = "/home/ann/.wine";
  CliPluginReport temp;
  temp.id = "CuPl_Temp.pld";
  temp.name = "Temporary files";
  temp.selected = true;
  temp.scan = CliPluginResult::Finished;
  temp.erase = CliPluginResult::Failed;
  temp.found = {{"files", 3}, {"bytes", 4000}};
  temp.erased = {2, 3000};
  temp.failed = {1, 1000};
  CliPluginReport games;
  games.id = "WinGames";
  games.name = "Games";
  games.scan = CliPluginResult::Failed;
  outcome.plugins = {temp, games};
  return outcome;
}

TEST(CliReportTest, TextSaysPerPluginWhatWasFoundErasedAndLeft) {
  EXPECT_EQ(FormatCliText(CliCommand::Erase, Outcome()),
            "CuPl_Temp.pld  Temporary files  [selected]\n"
            "  scan: finished, found files 3, bytes 3.91 KB\n"
            "  erase: failed, erased 2 items (2.93 KB), could not erase 1 items (0.98 KB)\n"
            "WinGames  Games\n"
            "  scan: failed, nothing found\n"
            "  erase: not run (not selected)\n");
  EXPECT_EQ(FormatCliText(CliCommand::List, Outcome()),
            "CuPl_Temp.pld  Temporary files  [selected]\nWinGames  Games\n");
}

TEST(CliReportTest, JsonCarriesNumbersAndTheirTextInListOrder) {
  CliOutcome outcome = Outcome();
  outcome.plugins[0].name = "Bad \xff name";
  outcome.status = kCliPluginFailed;
  outcome.error = "some plug-ins failed";
  const nlohmann::json document = nlohmann::json::parse(FormatCliJson(CliCommand::Erase, outcome));
  EXPECT_EQ(document["status"], 1);
  EXPECT_EQ(document["error"], "some plug-ins failed");
  const nlohmann::json& temp = document["plugins"][0];
  EXPECT_EQ(temp["name"], "Bad \xef\xbf\xbd name");
  EXPECT_EQ(temp["scan"]["found"]["bytes"], 4000);
  EXPECT_EQ(temp["scan"]["found"]["bytes_text"], "3.91 KB");
  EXPECT_EQ(temp["erase"]["failed"]["items"], 1);
  EXPECT_EQ(document["plugins"][1]["id"], "WinGames");
  EXPECT_FALSE(
      nlohmann::json::parse(FormatCliJson(CliCommand::List, outcome))["plugins"][0].contains(
          "scan"));
}

}  // namespace
}  // namespace corvane
