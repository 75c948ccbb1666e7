// corvane-cli as a script or cron job runs it: the real executable on a temporary prefix, with the
// custom definitions shipped in the program folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "app/erase_app.h"
#include "platform/named_lock.h"
#include "tests/support/program_run.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr char kUserTemp[] = "CuPl_UserTemp.pld";
constexpr char kWindowsTemp[] = "CuPl_WindowsTemp.pld";

class CorvaneCliTest : public ::testing::Test {
 protected:
  CorvaneCliTest() {
    machine_.WriteFile("C:\\users\\ann\\Temp\\setup.log", std::string(3000, 'a'));
    machine_.WriteFile("C:\\users\\ann\\Temp\\build\\obj.tmp", std::string(1000, 'b'));
    machine_.WriteFile("C:\\windows\\Temp\\winetmp.dat", std::string(500, 'c'));
    machine_.WriteFile("C:\\users\\ann\\Documents\\letter.txt", "keep me");
  }

  ProgramRun Cli(std::vector<std::string> arguments) {
    arguments.push_back("--machine");
    arguments.push_back(machine_.Prefix().string());
    return RunProgram(output_.Path(), std::move(arguments), "corvane-cli");
  }

  [[nodiscard]] static nlohmann::json Plugin(const nlohmann::json& document,
                                             const std::string& id) {
    for (const nlohmann::json& plugin : document["plugins"]) {
      if (plugin["id"] == id) return plugin;
    }
    return {};
  }

  ScopedRuntimeFolder runtime_;  // the single-instance lock of this test alone
  TempMachine machine_;
  TempDir output_;
};

TEST_F(CorvaneCliTest, ListsThePluginsInListOrderAsTextAndJson) {
  const ProgramRun text = Cli({"list"});
  ASSERT_EQ(text.status, 0) << text.err;
  const ProgramRun json = Cli({"list", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json document = nlohmann::json::parse(json.out);

  std::string expected;
  for (const nlohmann::json& plugin : document["plugins"]) {
    expected += plugin["id"].get<std::string>() + "  " + plugin["name"].get<std::string>() +
                (plugin["selected"].get<bool>() ? "  [selected]" : "") + "\n";
  }
  EXPECT_EQ(text.out, expected);
  EXPECT_NE(text.out.find(std::string(kUserTemp) + "  Temporary files of the user\n"),
            std::string::npos)
      << text.out;
  // The built-in cleaners in their order, then the three shipped definitions.
  std::vector<std::string> ids;
  for (const nlohmann::json& plugin : document["plugins"]) ids.push_back(plugin["id"]);
  ASSERT_GE(ids.size(), 7u);
  const std::vector<std::string> last(ids.end() - 7, ids.end() - 3);
  EXPECT_EQ(last,
            (std::vector<std::string>{"RecentUsed", "MessageHistory", "RecycleBin", "WinGames"}));
}

TEST_F(CorvaneCliTest, ScanCountsWhatTheDetailsPageShowsAndErasesNothing) {
  const ProgramRun run = Cli({"scan", "--details", "--json", "--only", kUserTemp});
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json document = nlohmann::json::parse(run.out);
  ASSERT_EQ(document["plugins"].size(), 1u);
  const nlohmann::json plugin = Plugin(document, kUserTemp);
  EXPECT_EQ(plugin["scan"]["result"], "finished");
  EXPECT_EQ(plugin["scan"]["found"]["files"], 2);
  EXPECT_EQ(plugin["scan"]["found"]["bytes"], 4000);
  EXPECT_EQ(plugin["scan"]["found"]["bytes_text"], "3.91 KB");
  // The same figures as the page the desktop shows.
  EXPECT_NE(plugin["details"].get<std::string>().find("Files  |  2  |  3.91 KB"), std::string::npos)
      << plugin["details"];
  // A definition without registry values says so rather than showing an empty list.
  EXPECT_NE(plugin["details"].get<std::string>().find("Registry values it looks for\nNone\n"),
            std::string::npos)
      << plugin["details"];
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\setup.log")));
}

TEST_F(CorvaneCliTest, EraseRemovesWhatTheScanFoundAndNothingElse) {
  // A link in the temporary folder leads to the user's documents: only the link may go.
  fs::create_directory_symlink(machine_.Host("C:\\users\\ann\\Documents"),
                               machine_.Host("C:\\users\\ann\\Temp\\docs"));
  const ProgramRun run = Cli({"erase", "--yes", "--only", kUserTemp});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  erase: finished, erased "), std::string::npos) << run.out;

  EXPECT_FALSE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\setup.log")));
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\build\\obj.tmp")));
  EXPECT_EQ(ReadHostFile(machine_.Host("C:\\users\\ann\\Documents\\letter.txt")), "keep me");
  // Another plug-in's traces, not named, stay; so does its selection.
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\windows\\Temp\\winetmp.dat")));
  const nlohmann::json listed = nlohmann::json::parse(Cli({"list", "--json"}).out);
  EXPECT_FALSE(Plugin(listed, kUserTemp)["selected"].get<bool>());
  EXPECT_FALSE(Plugin(listed, kWindowsTemp)["selected"].get<bool>());
}

TEST_F(CorvaneCliTest, RefusesWhatCouldLoseDataWithClearStatuses) {
  const fs::path trace = machine_.Host("C:\\users\\ann\\Temp\\setup.log");

  const ProgramRun unconfirmed = Cli({"erase"});
  EXPECT_EQ(unconfirmed.status, 3);
  EXPECT_NE(unconfirmed.err.find("add --yes"), std::string::npos) << unconfirmed.err;

  const ProgramRun unknown = Cli({"erase", "--yes", "--only", "BrowserCache,NoSuchThing"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("no plug-in has the id \"BrowserCache\""), std::string::npos)
      << unknown.err;

  const ProgramRun option = Cli({"scan", "--force"});
  EXPECT_EQ(option.status, 2);
  EXPECT_NE(option.err.find("unknown option \"--force\""), std::string::npos) << option.err;

  {
    NamedLock desktop;  // what the running desktop program holds
    ASSERT_TRUE(desktop.Open(kSingleInstanceMutexName) && desktop.TryLock());
    const ProgramRun running = Cli({"erase", "--yes"});
    EXPECT_EQ(running.status, 3);
    EXPECT_NE(running.err.find("CorvaneErase is running"), std::string::npos) << running.err;
  }
  {
    test::WineServerLockHolder server(machine_.Prefix());
    const ProgramRun wine = Cli({"scan"});
    EXPECT_EQ(wine.status, 3);
    EXPECT_NE(wine.err.find("Wine is running"), std::string::npos) << wine.err;
  }
  EXPECT_TRUE(fs::exists(trace));

  TempDir empty;
  const ProgramRun missing = RunProgram(
      output_.Path(), {"scan", "--machine", (empty.Path() / "none").string()}, "corvane-cli");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot open the machine"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace corvane
