#include "cleaners/custom/path_macros.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kShellFolders =
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n";
constexpr std::string_view kInternetSettings =
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Internet Settings] 0\n";
constexpr std::string_view kUserEnvironment = "\n[Environment] 0\n";
constexpr std::string_view kSystemEnvironment =
    "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 0\n";
constexpr std::string_view kCurrentVersion =
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 0\n";

// A string value line for hive text, its backslashes escaped as the file stores them.
std::string ValueLine(std::string_view name, std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return "\"" + std::string(name) + "\"=\"" + escaped + "\"\n";
}

// A machine for the user "ann" with every value a macro reads.
TempMachineOptions FullOptions() {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders) + ValueLine("History", "C:\\h") +
                     ValueLine("Cookies", "C:\\c") + ValueLine("Cache", "C:\\x") +
                     ValueLine("Recent", "C:\\r") +
                     ValueLine("AppData", "C:\\users\\ann\\AppData\\Roaming") +
                     std::string(kUserEnvironment) + ValueLine("TMP", "C:\\tmp");
  options.systemHive = std::string(kInternetSettings) + ValueLine("ActiveXCache", "C:\\ax") +
                       std::string(kCurrentVersion) +
                       ValueLine("ProgramFilesDir", "C:\\Program Files");
  return options;
}

TEST(PathMacrosTest, EveryMacroSideBySide) {
  TempMachine machine(FullOptions());
  ::setenv("AppData", "/not/linux", 1);
  ::setenv("WinDir", "/not/linux", 1);
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_HISTORY][PATH_SYS_SHELL_COOKIES]"
                             "[PATH_SYS_SHELL_CACHE][PATH_SYS_SHELL_RECENT]"
                             "[PATH_SYS_DOWNLOADEDPROGRAMS]|[PATH_SYS_TEMP]|%UserProfile%|"
                             "%AppData%|%ProgramFiles%|%WinDir%|[WIN_USERNAME]"),
            "C:\\hC:\\cC:\\xC:\\rC:\\ax|C:\\tmp\\|C:\\users\\ann|C:\\users\\ann\\AppData\\Roaming|"
            "C:\\Program Files|C:\\windows|ann");
  // Every occurrence, and only the exact spelling.
  EXPECT_EQ(ExpandPathMacros("%WinDir%\\a;%WinDir%\\b;%windir%;[path_sys_temp];[PATH_SYS_TEMP"),
            "C:\\windows\\a;C:\\windows\\b;%windir%;[path_sys_temp];[PATH_SYS_TEMP");
  EXPECT_EQ(ExpandPathMacros("C:\\plain\\path"), "C:\\plain\\path");
  EXPECT_EQ(ExpandPathMacros(""), "");
}

TEST(PathMacrosTest, TheTemporaryFolderIsFollowedDirectlyByTheName) {
  TempMachine machine(FullOptions());
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_TEMP]~setup.tmp"), "C:\\tmp\\~setup.tmp");
}

TEST(PathMacrosTest, ValuesComeFromAMachineWineMade) {
  TempMachineOptions options;
  options.userName = "root";
  TempMachine machine(options);
  for (const auto hive :
       {TempMachine::Hive::System, TempMachine::Hive::User, TempMachine::Hive::UserDefault}) {
    const fs::path file = machine.HivePath(hive);
    fs::copy_file(fs::path(CORVANE_FIXTURES_DIR) / "wine" / file.filename(), file,
                  fs::copy_options::overwrite_existing);
  }
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_RECENT]\\a.lnk"),
            "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Recent\\a.lnk");
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_HISTORY]"),
            "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\History");
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_TEMP]x"), "C:\\users\\root\\Temp\\x");
  EXPECT_EQ(ExpandPathMacros("%ProgramFiles%\\%WinDir%"), "C:\\Program Files\\C:\\windows");
}

TEST(PathMacrosTest, AMissingValueIsEmptyNeverAnEarlierOne) {
  TempMachineOptions options;
  // History is there, Cookies is not; ProgramFiles has no ProgramFilesDir to come from; the
  // AppData shell folder names itself, so the variable is undefined.
  options.userHive = std::string(kShellFolders) + "\"History\"=\"C:\\\\h\"\n" +
                     "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User "
                     "Shell Folders] 0\n\"AppData\"=str(2):\"%APPDATA%\\\\x\"\n";
  TempMachine machine(options);
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_HISTORY]|[PATH_SYS_SHELL_COOKIES]|"
                             "[PATH_SYS_DOWNLOADEDPROGRAMS]"),
            "C:\\h||");
  EXPECT_EQ(ExpandPathMacros("%UserProfile%|%AppData%|%ProgramFiles%|%WinDir%"),
            "C:\\users\\ann|||C:\\windows");
}

TEST(PathMacrosTest, MacrosAreReplacedInTheirOrder) {
  TempMachineOptions options;
  // A value may hold a macro that comes later in the order, but not one that came before.
  options.userHive = std::string(kShellFolders) +
                     "\"History\"=\"%UserProfile%\\\\[WIN_USERNAME]\"\n"
                     "\"Cookies\"=\"[PATH_SYS_SHELL_HISTORY]\"\n";
  TempMachine machine(options);
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_HISTORY]"), "C:\\users\\ann\\ann");
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_SHELL_COOKIES]"), "[PATH_SYS_SHELL_HISTORY]");
  // A value holding its own macro is not expanded again.
  EXPECT_EQ(ExpandPathMacros("[WIN_USERNAME]%WinDir%"), "annC:\\windows");
}

TEST(PathMacrosTest, AValueTooLongForItsBufferIsEmpty) {
  TempMachineOptions options;
  const std::string longTemp = "C:\\" + std::string(257, 't');     // 261 with the "\" added
  const std::string fitsTemp = "C:\\" + std::string(255, 't');     // 259 with the "\" added
  const std::string longWindows = "C:\\" + std::string(996, 'w');  // 999 characters
  const std::string fitsWindows = "C:\\" + std::string(995, 'w');
  options.userHive = std::string(kUserEnvironment) + ValueLine("TMP", longTemp);
  options.systemHive = std::string(kSystemEnvironment) + ValueLine("windir", longWindows);
  {
    TempMachine machine(options);
    EXPECT_EQ(ExpandPathMacros("[PATH_SYS_TEMP]|%WinDir%"), "|");
  }
  options.userHive = std::string(kUserEnvironment) + ValueLine("TMP", fitsTemp);
  options.systemHive = std::string(kSystemEnvironment) + ValueLine("windir", fitsWindows);
  TempMachine machine(options);
  EXPECT_EQ(ExpandPathMacros("[PATH_SYS_TEMP]|%WinDir%"), fitsTemp + "\\|" + fitsWindows);
}

}  // namespace
}  // namespace corvane
