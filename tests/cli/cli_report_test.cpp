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
            "  erase: not run (not selected)\n"
            "total: erased 2 items (2.93 KB) with 1 cleaners\n");
  EXPECT_NE(FormatCliText(CliCommand::Scan, Outcome())
                .find("total: found 3 items (3.91 KB) in 2 "
                      "cleaners\n"),
            std::string::npos);
  // Cleaners of entries without sizes: a count alone, no "0.00 B".
  CliOutcome entries = Outcome();
  entries.plugins[0].found = {{"domains", 5}};
  EXPECT_TRUE(
      FormatCliText(CliCommand::Scan, entries).ends_with("total: found 5 items in 2 cleaners\n"));
  EXPECT_EQ(FormatCliText(CliCommand::List, Outcome()),
            "CuPl_Temp.pld  Temporary files  [selected]\nWinGames  Games\n");
}

TEST(CliReportTest, OptionsReadAsAnAlignedListAndAsJson) {
  CliOutcome outcome;
  outcome.options = {{"Owerwrite", true}, {"DeleteBlListOnly", false}};
  EXPECT_EQ(FormatCliText(CliCommand::Options, outcome),
            "Owerwrite         on\n"
            "DeleteBlListOnly  off\n");
  const nlohmann::json json = nlohmann::json::parse(FormatCliJson(CliCommand::Options, outcome));
  EXPECT_EQ(json["options"]["Owerwrite"], true);
  EXPECT_EQ(json["options"]["DeleteBlListOnly"], false);
}

TEST(CliReportTest, ACancelledRunSaysWhatWentBeforeTheStopAndFilesLeftSayHowToFinish) {
  CliOutcome outcome = Outcome();
  outcome.cancelled = true;
  outcome.plugins[0].erase = CliPluginResult::Cancelled;
  outcome.plugins[0].inErase = true;
  outcome.plugins[0].leftForRestart = 2;
  outcome.plugins[1].inErase = true;  // its turn never came
  outcome.restartCommand = "WINEPREFIX='/home/ann/.wine' wineboot --restart";
  const std::string text = FormatCliText(CliCommand::Erase, outcome);
  EXPECT_NE(text.find("  erase: cancelled, erased 2 items (2.93 KB), could not erase 1 items "
                      "(0.98 KB), 2 left for the next Wine start\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  erase: not run (the run was cancelled before its turn)\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("finished, erased"), std::string::npos) << text;
  EXPECT_NE(text.find("cancelled: erased 2 items (2.93 KB) before the stop\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("2 files could not be deleted now and wait for the next start of Wine"),
            std::string::npos)
      << text;
  EXPECT_TRUE(text.ends_with("\n  WINEPREFIX='/home/ann/.wine' wineboot --restart\n")) << text;

  const nlohmann::json document = nlohmann::json::parse(FormatCliJson(CliCommand::Erase, outcome));
  EXPECT_EQ(document["cancelled"], true);
  EXPECT_EQ(document["restart_command"], outcome.restartCommand);
  EXPECT_EQ(document["plugins"][0]["erase"]["left_for_restart"], 2);
}

TEST(CliReportTest, JsonCarriesNumbersAndTheirTextInListOrder) {
  CliOutcome outcome = Outcome();
  outcome.plugins[0].name = "Bad \xff name";
  outcome.status = kCliPluginFailed;
  outcome.error = "some cleaners failed";
  const nlohmann::json document = nlohmann::json::parse(FormatCliJson(CliCommand::Erase, outcome));
  EXPECT_EQ(document["status"], 1);
  EXPECT_EQ(document["error"], "some cleaners failed");
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
