#include "platform/shell_folders.h"

#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TempMachineOptions UserNamed(std::string name) {
  TempMachineOptions options;
  options.userName = std::move(name);
  return options;
}

// A machine whose hives are the ones wineboot made (tests/fixtures/wine), for the user "root".
class WineHivesTest : public ::testing::Test {
 protected:
  WineHivesTest() : machine_(UserNamed("root")) {
    for (const auto hive :
         {TempMachine::Hive::System, TempMachine::Hive::User, TempMachine::Hive::UserDefault}) {
      const fs::path file = machine_.HivePath(hive);
      fs::copy_file(fs::path(CORVANE_FIXTURES_DIR) / "wine" / file.filename(), file,
                    fs::copy_options::overwrite_existing);
    }
  }

  TempMachine machine_;
};

TEST_F(WineHivesTest, SpecialFoldersComeFromTheUserShellFolders) {
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_APPDATA, FolderCreation::MustExist),
            "C:\\users\\root\\AppData\\Roaming");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_LOCAL_APPDATA, FolderCreation::MustExist),
            "C:\\users\\root\\AppData\\Local");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_INTERNET_CACHE, FolderCreation::MustExist),
            "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCache");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_COOKIES, FolderCreation::MustExist),
            "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCookies");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_HISTORY, FolderCreation::MustExist),
            "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\History");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_PERSONAL, FolderCreation::MustExist),
            "C:\\users\\root\\Documents");
  EXPECT_FALSE(SHGetSpecialFolderPathW(0x7777, FolderCreation::MustExist));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WineHivesTest, AMissingFolderFailsUnlessItMayBeCreated) {
  const fs::path recent = machine_.Host("C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows");
  fs::remove_all(recent);
  EXPECT_FALSE(SHGetSpecialFolderPathW(CSIDL_RECENT, FolderCreation::MustExist));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(recent));
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_RECENT, FolderCreation::CreateIfMissing),
            "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Recent");
  EXPECT_TRUE(fs::is_directory(recent / "Recent"));
}

TEST_F(WineHivesTest, TheEnvironmentIsTheMachinesNotLinuxs) {
  ::setenv("APPDATA", "/not/this", 1);
  EXPECT_EQ(GetEnvironmentVariableW("windir"), "C:\\windows");
  EXPECT_EQ(GetEnvironmentVariableW("COMSPEC"), "C:\\windows\\system32\\cmd.exe");
  EXPECT_EQ(GetEnvironmentVariableW("UserProfile"), "C:\\users\\root");
  EXPECT_EQ(GetEnvironmentVariableW("APPDATA"), "C:\\users\\root\\AppData\\Roaming");
  EXPECT_EQ(GetEnvironmentVariableW("LOCALAPPDATA"), "C:\\users\\root\\AppData\\Local");
  EXPECT_EQ(GetEnvironmentVariableW("ProgramFiles"), "C:\\Program Files");
  EXPECT_EQ(GetEnvironmentVariableW("TEMP"), "C:\\users\\root\\Temp");  // the user's wins
  EXPECT_FALSE(GetEnvironmentVariableW("NO_SUCH_VARIABLE"));
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
  EXPECT_EQ(ExpandEnvironmentStringsW("%NOPE%\\a;%SystemRoot%\\b;50%"),
            "%NOPE%\\a;C:\\windows\\b;50%");
  EXPECT_EQ(GetTempPathW(), "C:\\users\\root\\Temp\\");
  EXPECT_EQ(GetUserNameW(), "root");
}

TEST(ShellFoldersTest, FallsBackToShellFoldersAndSurvivesSelfReference) {
  TempMachineOptions options;
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 0\n"
      "\"AppData\"=str(2):\"%APPDATA%\\\\x\"\n"
      "\"Cache\"=str(2):\"%UNDEFINED%\\\\Cache\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n"
      "\"Cache\"=\"C:\\\\Cache\"\n"
      "\n[Environment] 0\n"
      "\"Path\"=\"C:\\\\tools\"\n";
  options.systemHive =
      "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 0\n"
      "\"Path\"=\"C:\\\\windows\"\n";
  TempMachine machine(options);
  machine.MakeFolder("C:\\Cache");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_INTERNET_CACHE, FolderCreation::MustExist), "C:\\Cache");
  EXPECT_FALSE(SHGetSpecialFolderPathW(CSIDL_APPDATA, FolderCreation::CreateIfMissing));
  EXPECT_FALSE(GetEnvironmentVariableW("APPDATA"));
  EXPECT_EQ(GetEnvironmentVariableW("PATH"), "C:\\windows;C:\\tools");
}

}  // namespace
}  // namespace corvane
