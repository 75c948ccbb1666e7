#include "platform/machine.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/last_error.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(MachineTest, AFolderWithoutBothHivesIsNoMachineAndStaysUntouched) {
  TempDir dir;
  std::string error;
  EXPECT_EQ(Machine::Open(dir.Path() / "missing", &error), nullptr);
  EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir.Path() / "missing"));

  WriteHostFile(dir.Path() / "system.reg", "WINE REGISTRY Version 2\n");
  EXPECT_EQ(Machine::Open(dir.Path(), &error), nullptr);
  EXPECT_NE(error.find("user.reg"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

  EXPECT_EQ(Machine::Open(dir.Path() / "system.reg", &error), nullptr);
  EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
}

TEST(MachineTest, TheDefaultPrefixIsWineprefixElseDotWineAtHome) {
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  ::setenv("WINEPREFIX", "/srv/prefix", 1);
  EXPECT_EQ(Machine::DefaultPrefix(), fs::path("/srv/prefix"));
  ::setenv("WINEPREFIX", "", 1);
  ::setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(Machine::DefaultPrefix(), fs::path("/home/ann/.wine"));
  ::unsetenv("WINEPREFIX");
  ::setenv("HOME", home.c_str(), 1);
}

TEST(MachineTest, DrivesComeFromDosdevices) {
  TempMachine temp;
  const fs::path dosdevices = temp.Prefix() / "dosdevices";
  fs::create_directories(temp.HostRoot() / "media" / "cdrom");
  fs::create_symlink(temp.HostRoot() / "media" / "cdrom", dosdevices / "d:");
  fs::create_symlink("/dev/sr0", dosdevices / "d::");
  fs::create_symlink("/dev/sdz1", dosdevices / "f::");
  fs::create_symlink(temp.HostRoot() / "gone", dosdevices / "e:");  // dangling
  fs::create_symlink("/dev/ttyS0", dosdevices / "com1");

  const std::vector<Drive> drives = temp.GetMachine().Drives();
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].letter, 'C');
  EXPECT_EQ(drives[0].type, DriveType::Fixed);
  EXPECT_EQ(drives[0].root, temp.Prefix() / "drive_c");
  EXPECT_EQ(drives[1].letter, 'D');
  EXPECT_EQ(drives[1].type, DriveType::CdRom);
  EXPECT_EQ(drives[1].root, temp.HostRoot() / "media" / "cdrom");
  EXPECT_EQ(drives[2].letter, 'F');
  EXPECT_EQ(drives[2].type, DriveType::Removable);
  EXPECT_TRUE(drives[2].root.empty());
  EXPECT_EQ(drives[3].letter, 'Z');
  EXPECT_EQ(drives[3].root, temp.HostRoot());
  EXPECT_FALSE(temp.GetMachine().FindDrive('e'));
  EXPECT_FALSE(temp.GetMachine().ToHostPath("E:\\x"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(MachineTest, TheUserIsTheUnixUsersProfileElseTheOnlyOne) {
  TempMachine temp;
  EXPECT_EQ(temp.GetMachine().UserName(), "ann");
  EXPECT_EQ(temp.GetMachine().ProfileFolder(), "C:\\users\\ann");

  const passwd* entry = ::getpwuid(::geteuid());
  ASSERT_NE(entry, nullptr);
  temp.MakeFolder(std::string("C:\\users\\") + entry->pw_name);
  temp.MakeFolder("C:\\users\\bob");
  EXPECT_EQ(Machine::Open(temp.Prefix(), nullptr)->UserName(), entry->pw_name);
}

TEST(MachineTest, MachinePathsResolveCaseInsensitivelyExactNameFirst) {
  TempMachine temp;
  const fs::path history = temp.WriteFile("C:\\users\\ann\\History.dat", "h");
  const Machine& machine = temp.GetMachine();
  EXPECT_EQ(machine.ToHostPath("c:\\USERS\\Ann\\history.dat"), history);
  EXPECT_EQ(machine.ToHostPath("C:/users/ann/History.dat"), history);

  // On the machine, writing "history.dat" would reach History.dat: make the second one directly.
  const fs::path lower = history.parent_path() / "history.dat";
  WriteHostFile(lower, "l");
  EXPECT_EQ(machine.ToHostPath("C:\\users\\ann\\history.dat"), lower);
  EXPECT_EQ(machine.ToHostPath("C:\\users\\ann\\History.dat"), history);
  // Two candidates and neither exact: no spelling is preferred.
  EXPECT_EQ(machine.ToHostPath("C:\\users\\ann\\HISTORY.DAT"),
            temp.Prefix() / "drive_c/users/ann/HISTORY.DAT");
  // A missing folder keeps the rest as written, ready to be created.
  EXPECT_EQ(machine.ToHostPath("C:\\Users\\ANN\\New\\Sub"),
            temp.Prefix() / "drive_c/users/ann/New/Sub");
}

TEST(MachineTest, DotsStayInsideTheDriveAndLongPathsAreRefused) {
  TempMachine temp;
  const Machine& machine = temp.GetMachine();
  const fs::path driveC = temp.Prefix() / "drive_c";
  EXPECT_EQ(machine.ToHostPath("C:\\..\\..\\windows"), driveC / "windows");
  EXPECT_EQ(machine.ToHostPath("C:\\users\\..\\.\\windows\\system32\\"),
            driveC / "windows/system32");
  EXPECT_EQ(machine.ToHostPath("C:"), driveC);
  EXPECT_TRUE(IsDriveRoot("C:\\users\\.."));
  EXPECT_FALSE(IsDriveRoot("C:\\users"));

  const std::string at260 = "C:\\" + std::string(257, 'a');
  EXPECT_TRUE(machine.ToHostPath(at260));
  EXPECT_FALSE(machine.ToHostPath(at260 + "a"));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  // Windows counts UTF-16 units: a character outside the BMP takes two.
  EXPECT_FALSE(machine.ToHostPath("C:\\" + std::string(256, 'a') + "\xF0\x9F\x98\x80"));
}

TEST(MachineTest, HostPathsMapBackThroughTheDeepestDrive) {
  TempMachine temp;
  const Machine& machine = temp.GetMachine();
  EXPECT_EQ(machine.ToMachinePath(temp.Prefix() / "drive_c/users/ann/"), "C:\\users\\ann");
  EXPECT_EQ(machine.ToMachinePath(temp.Prefix() / "drive_c"), "C:\\");
  EXPECT_EQ(machine.ToMachinePath(temp.HostRoot() / "home/x"), "Z:\\home\\x");
  EXPECT_FALSE(machine.ToMachinePath(temp.Prefix() / "system.reg"));
  // A folder whose name only begins like a drive's is not on that drive.
  EXPECT_FALSE(machine.ToMachinePath(temp.Prefix() / "drive_c2/f"));
}

TEST(MachineTest, AnyPathGoesThroughTheCurrentMachine) {
  TempMachine temp;
  EXPECT_TRUE(IsMachinePath("c:"));
  EXPECT_FALSE(IsMachinePath("/c:"));
  EXPECT_EQ(HostPath("C:\\windows"), temp.Prefix() / "drive_c/windows");
  EXPECT_EQ(HostPath("files\\Common\\a.html"), fs::path("files/Common/a.html"));
  EXPECT_FALSE(HostPath(""));
  using namespace std::string_view_literals;
  EXPECT_FALSE(HostPath("C:\\windows\0\\..\\.."sv));
  EXPECT_FALSE(HostPath("/tmp/a\0/etc"sv));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);

  Machine::SetCurrent(nullptr);
  EXPECT_FALSE(HostPath("C:\\windows"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  Machine::SetCurrent(&temp.GetMachine());
}

}  // namespace
}  // namespace corvane
