// corvane-cli as a script or cron job runs it: the real executable on a temporary prefix, with the
// custom definitions shipped in the program folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

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
  // The built-in cleaners in their places, then the three shipped definitions.
  std::vector<std::string> ids;
  for (const nlohmann::json& plugin : document["plugins"]) ids.push_back(plugin["id"]);
  ASSERT_GE(ids.size(), 8u);
  EXPECT_EQ(
      std::vector<std::string>(ids.begin(), ids.begin() + 8),
      (std::vector<std::string>{"BrowserHistory", "BrowserCookies", "BrowserCache", "BrowserForms",
                                "RecentUsed", "MessageHistory", "RecycleBin", "WinGames"}));
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
  EXPECT_NE(plugin["details"].get<std::string>().find("Files                2  3.91 KB\n"),
            std::string::npos)
      << plugin["details"];
  // And as data: the summary table's rows by its column names.
  const nlohmann::json summary = plugin["details_tables"][0];
  EXPECT_EQ(summary["columns"], (nlohmann::json{"Kind", "Items", "Size"}));
  EXPECT_EQ(summary["rows"][0],
            (nlohmann::json{{"Kind", "Files"}, {"Items", "2"}, {"Size", "3.91 KB"}}));
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

// An erase turns a built-in cleaner's counters into what is left; its report still says what the
// scan found before the erase, as a scan alone does.
TEST_F(CorvaneCliTest, TheEraseReportSaysWhatTheScanFoundBeforeTheErase) {
  machine_.AppendHive(TempMachine::Hive::User,
                      "\n[Software\\\\Microsoft\\\\WinMine] 0\n"
                      "\"Name1\"=\"Ann\"\n\"Time1\"=dword:0000002a\n");
  const ProgramRun scan = Cli({"scan", "--json", "--only", "WinGames"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  const nlohmann::json found = Plugin(nlohmann::json::parse(scan.out), "WinGames")["scan"]["found"];
  ASSERT_GT(found["items"].get<std::uint64_t>(), 0u) << found.dump();

  const ProgramRun erase = Cli({"erase", "--yes", "--json", "--only", "WinGames"});
  ASSERT_EQ(erase.status, 0) << erase.err;
  const nlohmann::json games = Plugin(nlohmann::json::parse(erase.out), "WinGames");
  EXPECT_EQ(games["scan"]["found"], found) << erase.out;
  EXPECT_GT(games["erase"]["erased"]["items"].get<std::uint64_t>(), 0u) << erase.out;
}

TEST_F(CorvaneCliTest, StatsShowWhatEarlierErasesRemovedAsTheStatisticsPageDoes) {
  const nlohmann::json before = nlohmann::json::parse(Cli({"stats", "--json"}).out);
  EXPECT_TRUE(before["last_cleanup"].is_null());
  EXPECT_TRUE(before["statistics_enabled"].get<bool>());
  EXPECT_EQ(Plugin(before, kUserTemp)["all"]["items"], 0);

  const ProgramRun erase = Cli({"erase", "--yes", "--json", "--only", kUserTemp});
  ASSERT_EQ(erase.status, 0) << erase.err;
  const nlohmann::json erased =
      Plugin(nlohmann::json::parse(erase.out), kUserTemp)["erase"]["erased"];
  ASSERT_GT(erased["items"].get<int>(), 0);

  const ProgramRun stats = Cli({"stats", "--json"});
  ASSERT_EQ(stats.status, 0) << stats.err;
  const nlohmann::json after = nlohmann::json::parse(stats.out);
  EXPECT_TRUE(after["last_cleanup"].is_string());
  for (const char* pair : {"all", "today", "last"}) {
    EXPECT_EQ(Plugin(after, kUserTemp)[pair]["items"], erased["items"]) << pair;
    EXPECT_EQ(Plugin(after, kUserTemp)[pair]["bytes"], erased["bytes"]) << pair;
    EXPECT_EQ(after["total"][pair]["items"], erased["items"]) << pair;
  }
  const std::string text = Cli({"stats"}).out;
  EXPECT_NE(text.find("statistics on, last cleanup 2"), std::string::npos) << text;
  EXPECT_NE(text.find("all runs " + std::to_string(erased["items"].get<int>()) + " items ("),
            std::string::npos)
      << text;
}

TEST_F(CorvaneCliTest, SettingsWrittenAtExitReachTheHive) {
  // The erase settings page fills in the options never stored; the window writes them when it
  // closes, the last thing before the command ends.
  const ProgramRun run = Cli({"erase", "--yes", "--only", kUserTemp});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string system = ReadHostFile(machine_.HivePath(TempMachine::Hive::System));
  const std::size_t options = system.find("[Software\\\\Corvane\\\\Erase\\\\Options]");
  ASSERT_NE(options, std::string::npos) << system;
  const std::string key = system.substr(options, system.find("\n[", options + 1) - options);
  EXPECT_NE(key.find("\"DeleteBlListOnly\"=\"\""), std::string::npos) << key;
  EXPECT_NE(key.find("\"Owerwrite\"=\"\""), std::string::npos) << key;
}

TEST_F(CorvaneCliTest, OptionsAreReadAndSetWhereTheDesktopKeepsThem) {
  ProgramRun run = Cli({"options"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Owerwrite         off\nDeleteBlListOnly  off\nNoEraseQuestion   off\n");
  run = Cli({"options", "set", "owerwrite", "on"});  // names in any letter case, as the registry
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Owerwrite         on\n"), std::string::npos) << run.out;
  const std::string system = ReadHostFile(machine_.HivePath(TempMachine::Hive::System));
  EXPECT_NE(system.find("\"Owerwrite\"=\"1\""), std::string::npos);
  run = Cli({"options", "set", "Overwrite", "on"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no option is named \"Overwrite\""), std::string::npos) << run.err;
  const nlohmann::json json = nlohmann::json::parse(Cli({"options", "--json"}).out);
  EXPECT_EQ(json["options"]["Owerwrite"], true);
}

TEST_F(CorvaneCliTest, CtrlCStopsAnEraseAtOnceAndTheReportSaysWhatWentBeforeTheStop) {
  // Enough files that the erase is still going when the interrupt comes.
  constexpr int kFiles = 6000;
  const fs::path folder = machine_.MakeFolder("C:\\users\\ann\\Temp\\many");
  for (int i = 0; i < kFiles; ++i) {
    WriteHostFile(folder / ("f" + std::to_string(i) + ".tmp"), std::string(64, 'x'));
  }
  const auto left = [&folder] {
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  };
  RunningProgram cli(
      output_.Path(), "erase",
      {"erase", "--yes", "--json", "--only", kUserTemp, "--machine", machine_.Prefix().string()},
      "corvane-cli");
  ASSERT_TRUE(cli.Started());
  // The interrupt comes once the erase is under way: the first files are gone.
  while (cli.Running() && left() == kFiles) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(cli.Signal(SIGINT)) << "the erase ended before it could be interrupted";
  const std::optional<ProgramRun> run = cli.Wait(std::chrono::minutes(1));
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->status, 1) << run->err;
  EXPECT_NE(run->err.find("cancelled"), std::string::npos) << run->err;

  const nlohmann::json document = nlohmann::json::parse(run->out);
  EXPECT_EQ(document["cancelled"], true);
  const nlohmann::json plugin = Plugin(document, kUserTemp);
  EXPECT_EQ(plugin["erase"]["result"], "cancelled") << run->out;
  // The report counts exactly what went, and the stop came long before the end.
  const int remaining = left();
  const int erasedHere = kFiles - remaining;
  EXPECT_GT(remaining, 0);
  EXPECT_GE(plugin["erase"]["erased"]["items"].get<int>(), erasedHere);
  // At most the other traces besides: setup.log, build\obj.tmp and its folder.
  EXPECT_LE(plugin["erase"]["erased"]["items"].get<int>(), erasedHere + 3);
}

TEST_F(CorvaneCliTest, RefusesWhatCouldLoseDataWithClearStatuses) {
  const fs::path trace = machine_.Host("C:\\users\\ann\\Temp\\setup.log");

  const ProgramRun unconfirmed = Cli({"erase"});
  EXPECT_EQ(unconfirmed.status, 3);
  EXPECT_NE(unconfirmed.err.find("add --yes"), std::string::npos) << unconfirmed.err;

  const ProgramRun unknown = Cli({"erase", "--yes", "--only", "BrowserCache,NoSuchThing"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("no cleaner has the id \"NoSuchThing\""), std::string::npos)
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

// Every file below `folder` and the folder itself given to another user, as `chown -R` does.
void GiveTo(const fs::path& folder, uid_t owner, gid_t group) {
  ASSERT_EQ(::lchown(folder.c_str(), owner, group), 0);
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    ASSERT_EQ(::lchown(entry.path().c_str(), owner, group), 0) << entry.path();
  }
}

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

TEST_F(CorvaneCliTest, APrefixAnotherUserOwnsIsRefusedUnlessRootAllowsIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give the prefix to another user";
  constexpr uid_t kOwner = 54321;
  constexpr gid_t kGroup = 54322;
  GiveTo(machine_.Prefix(), kOwner, kGroup);
  const fs::path system = machine_.HivePath(TempMachine::Hive::System);
  ASSERT_EQ(::chmod(system.c_str(), 0640), 0);
  const std::string before = ReadHostFile(system);

  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"list"}, {"scan"}, {"erase", "--yes"}}) {
    const ProgramRun refused = Cli(command);
    EXPECT_EQ(refused.status, 3) << command[0];
    EXPECT_NE(refused.err.find("belongs to uid 54321, not to you"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--allow-foreign-owner"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(ReadHostFile(system), before);
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\setup.log")));

  // Allowed, the erase saves the settings into system.reg, which stays the owner's.
  const ProgramRun allowed = Cli({"erase", "--yes", "--only", kUserTemp, "--allow-foreign-owner"});
  ASSERT_EQ(allowed.status, 0) << allowed.err;
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\setup.log")));
  EXPECT_NE(ReadHostFile(system), before);
  for (const TempMachine::Hive hive :
       {TempMachine::Hive::System, TempMachine::Hive::User, TempMachine::Hive::UserDefault}) {
    const struct stat st = StatOf(machine_.HivePath(hive));
    EXPECT_EQ(st.st_uid, kOwner) << machine_.HivePath(hive);
    EXPECT_EQ(st.st_gid, kGroup) << machine_.HivePath(hive);
  }
  EXPECT_EQ(StatOf(system).st_mode & 07777, 0640u);
  for (const auto& entry : fs::directory_iterator(machine_.Prefix())) {
    EXPECT_EQ(StatOf(entry.path()).st_uid, kOwner) << entry.path();
  }
}

TEST(CorvaneCliReadOnlyHive, ValuesThatStayMakeTheEraseFail) {
  // user.reg ends in a line the parser does not understand: it is used read-only, so nothing of
  // it can be deleted, and saying "erased" would be a lie.
  TempMachineOptions options;
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\RunMRU] 0\n"
      "\"a\"=\"notepad\\\\1\"\n\"MRUList\"=\"a\"\n"
      "\n[Software\\\\Broken\n";
  ScopedRuntimeFolder runtime;
  TempMachine machine(options);
  TempDir output;
  const std::string before = ReadHostFile(machine.HivePath(TempMachine::Hive::User));
  const ProgramRun run =
      RunProgram(output.Path(),
                 {"erase", "--yes", "--json", "--only", "CuPl_RecentDocuments.pld", "--machine",
                  machine.Prefix().string()},
                 "corvane-cli");
  EXPECT_EQ(run.status, 1) << run.err;
  const nlohmann::json document = nlohmann::json::parse(run.out);
  ASSERT_EQ(document["plugins"].size(), 1u);
  const nlohmann::json& plugin = document["plugins"][0];
  EXPECT_EQ(plugin["scan"]["found"]["registry"], 2);
  EXPECT_EQ(plugin["erase"]["erased"]["items"], 0);
  EXPECT_EQ(plugin["erase"]["failed"]["items"], 2);
  EXPECT_EQ(ReadHostFile(machine.HivePath(TempMachine::Hive::User)), before);
}

}  // namespace
}  // namespace corvane
