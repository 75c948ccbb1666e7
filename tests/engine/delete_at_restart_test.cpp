#include "engine/delete_at_restart.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "tests/support/live_wine.h"
#include "tests/support/pending_renames.h"
#include "tests/support/temp_machine.h"

extern char** environ;

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

void SetPendingValue(DWORD type, const std::u16string& units) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, kSessionManagerKey, &key), ERROR_SUCCESS);
  std::vector<BYTE> data;
  for (char16_t unit : units) {
    data.push_back(static_cast<BYTE>(unit & 0xFF));
    data.push_back(static_cast<BYTE>(unit >> 8));
  }
  ASSERT_EQ(RegSetValueExW(key, kPendingFileRenameOperations, type, data.data(),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(DeleteAtRestartTest, OnNtTheFileJoinsPendingFileRenameOperationsAsWineStoresIt) {
  TempMachine temp;
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\data\\x.tmp"));
  unsigned type = 0;
  EXPECT_EQ(test::PendingFileRenames(&type), "\\??\\C:\\data\\x.tmp\0\0\0"s);
  EXPECT_EQ(type, REG_MULTI_SZ);
  ASSERT_TRUE(temp.Registry().Flush());
  EXPECT_NE(
      ReadHostFile(temp.HivePath(TempMachine::Hive::System))
          .find("\"PendingFileRenameOperations\"=str(7):\"\\\\??\\\\C:\\\\data\\\\x.tmp\\0\\0\"\n"),
      std::string::npos);
}

TEST(DeleteAtRestartTest, EarlierRenamesAreKeptAndEachFileIsRegisteredOnce) {
  TempMachine temp;
  SetPendingValue(REG_MULTI_SZ, u"\\??\\C:\\a.new\0!\\??\\C:\\a.dll\0\0"s);
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\data\\x.tmp"));
  EXPECT_TRUE(ScheduleDeleteAtRestart("c:\\DATA\\x.tmp"));
  // A host path is named through the drive that shows it.
  EXPECT_TRUE(ScheduleDeleteAtRestart(temp.Host("C:\\data").string() + "/y.tmp"));
  EXPECT_EQ(test::PendingFileRenames(),
            "\\??\\C:\\a.new\0!\\??\\C:\\a.dll\0\\??\\C:\\data\\x.tmp\0\0"
            "\\??\\C:\\data\\y.tmp\0\0\0"s);
}

TEST(DeleteAtRestartTest, DataWithoutItsFinalNulIsRepairedAndOtherTypesAreLeftAlone) {
  TempMachine temp;
  SetPendingValue(REG_MULTI_SZ, u"\\??\\C:\\old.tmp\0"s);
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\x.tmp"));
  EXPECT_EQ(test::PendingFileRenames(), "\\??\\C:\\old.tmp\0\0\\??\\C:\\x.tmp\0\0\0"s);

  SetPendingValue(REG_SZ, u"not ours\0"s);
  EXPECT_FALSE(ScheduleDeleteAtRestart("C:\\y.tmp"));
  unsigned type = 0;
  EXPECT_EQ(test::PendingFileRenames(&type), "not ours\0"s);
  EXPECT_EQ(type, REG_SZ);

  // A path no drive shows (though it begins like one: "drive_c2" is not "drive_c"), or one too
  // long for Windows, cannot be named at all.
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, kSessionManagerKey, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key, kPendingFileRenameOperations), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_FALSE(ScheduleDeleteAtRestart("/nowhere/x.tmp"));
  EXPECT_FALSE(ScheduleDeleteAtRestart(temp.Prefix().string() + "/drive_c2/f"));
  EXPECT_FALSE(ScheduleDeleteAtRestart("C:\\" + std::string(270, 'n')));
  EXPECT_FALSE(test::PendingFileRenames());
}

TempMachineOptions Windows98() {
  TempMachineOptions options;
  options.userHive = "\n[Software\\\\Wine] 0\n\"Version\"=\"win98\"\n";
  return options;
}

TEST(DeleteAtRestartTest, OnWindows9xEachFileBecomesTheFirstLineOfTheRenameSection) {
  TempMachine temp(Windows98());
  const fs::path wininit = temp.Host("C:\\windows") / "WININIT.INI";
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\a.tmp"));
  EXPECT_EQ(ReadHostFile(wininit), "[rename]\r\nnul = C:\\a.tmp\r\n");
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\Program Files\\b.tmp"));
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\a.tmp"));
  EXPECT_EQ(ReadHostFile(wininit),
            "[rename]\r\nnul = C:\\Program Files\\b.tmp\r\nnul = C:\\a.tmp\r\n");
  EXPECT_FALSE(test::PendingFileRenames());

  WriteHostFile(wininit, "[boot]\r\nx=1\r\n[rename]\r\nC:\\new.dll=C:\\old.dll\r\n[end]\r\n");
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\c.tmp"));
  EXPECT_EQ(ReadHostFile(wininit),
            "[boot]\r\nx=1\r\n[rename]\r\nnul = C:\\c.tmp\r\nC:\\new.dll=C:\\old.dll\r\n[end]\r\n");

  // A last line without its line end keeps its own line.
  WriteHostFile(wininit, "[boot]\r\nx=1");
  EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\d.tmp"));
  EXPECT_EQ(ReadHostFile(wininit), "[boot]\r\nx=1\r\n[rename]\r\nnul = C:\\d.tmp\r\n");

  fs::permissions(wininit, fs::perms::owner_read);
  EXPECT_FALSE(ScheduleDeleteAtRestart("C:\\e.tmp"));
  EXPECT_EQ(ReadHostFile(wininit), "[boot]\r\nx=1\r\n[rename]\r\nnul = C:\\d.tmp\r\n");
}

// Runs a program with the given environment additions; its exit status, -1 when it did not end
// normally.
int RunWithEnvironment(std::vector<std::string> arguments,
                       const std::vector<std::string>& environment) {
  std::vector<std::string> env = environment;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
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

// Wine's own start-up sequence reads what we wrote and deletes both files.
TEST(DeleteAtRestartTest, WinebootDeletesWhatWasScheduled) {
  if (!test::HasWine()) CORVANE_SKIP_LIVE_WINE("wine is not installed");
  TempDir dir("corvane-wine");
  const fs::path prefix = dir.Path() / "prefix";
  const fs::path home = dir.Path() / "home";
  fs::create_directories(home);
  const std::vector<std::string> env = {"WINEPREFIX=" + prefix.string(), "HOME=" + home.string(),
                                        "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
  struct ServerStop {
    const std::vector<std::string>& env;
    ~ServerStop() { (void)RunWithEnvironment({"wineserver", "-k"}, env); }
  } stop{env};
  if (RunWithEnvironment({"wine", "wineboot", "-i"}, env) != 0 ||
      RunWithEnvironment({"wineserver", "-w"}, env) != 0)
    CORVANE_SKIP_LIVE_WINE("wineboot could not make a prefix");

  {
    std::unique_ptr<Machine> machine = Machine::Open(prefix, nullptr);
    ASSERT_TRUE(machine);
    Machine::SetCurrent(machine.get());
    RegistryStore registry(prefix);
    RegistryStore::SetCurrent(&registry);
    WriteHostFile(prefix / "drive_c" / "nt.tmp", "x");
    WriteHostFile(prefix / "drive_c" / "users" / "Public" / "9x file.tmp", "x");
    EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\nt.tmp"));
    // The same prefix as Windows 98 for one call, then back.
    HKEY wine = 0;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Wine", &wine), ERROR_SUCCESS);
    const std::u16string win98 = u"win98"s + u'\0';
    ASSERT_EQ(RegSetValueExW(wine, "Version", REG_SZ, reinterpret_cast<const BYTE*>(win98.data()),
                             static_cast<DWORD>(win98.size() * 2)),
              ERROR_SUCCESS);
    EXPECT_TRUE(ScheduleDeleteAtRestart("C:\\users\\Public\\9x file.tmp"));
    ASSERT_EQ(RegDeleteValueW(wine, "Version"), ERROR_SUCCESS);
    RegCloseKey(wine);
    EXPECT_TRUE(registry.Flush());
    RegistryStore::SetCurrent(nullptr);
    Machine::SetCurrent(nullptr);
  }

  ASSERT_EQ(RunWithEnvironment({"wine", "wineboot", "-r"}, env), 0);
  ASSERT_EQ(RunWithEnvironment({"wineserver", "-w"}, env), 0);
  EXPECT_FALSE(fs::exists(prefix / "drive_c" / "nt.tmp"));
  EXPECT_FALSE(fs::exists(prefix / "drive_c" / "users" / "Public" / "9x file.tmp"));
  EXPECT_EQ(ReadHostFile(prefix / "system.reg").find("PendingFileRenameOperations"),
            std::string::npos);
}

}  // namespace
}  // namespace corvane
