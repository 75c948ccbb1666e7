#include "demo/demo_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "app/registry_patterns.h"
#include "cleaners/custom/custom_definition.h"
#include "platform/machine.h"
#include "platform/registry_hive.h"
#include "platform/registry_hive_file.h"
#include "platform/registry_store.h"
#include "platform/shell_folders.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// A program folder whose "CustomPlugins" holds one definition of every item kind.
class DemoMachineTest : public ::testing::Test {
 protected:
  DemoMachineTest() {
    CustomDefinition definition;
    definition.name = "Demo cleaner";
    CustomFileItem oneFile;
    oneFile.path = "%WinDir%\\setupact.log";
    CustomFileItem folderFiles;
    folderFiles.path = "[PATH_SYS_TEMP]";
    folderFiles.kind = kCustomItemFolderFiles;
    folderFiles.masks = "*.tmp|~df?.log";
    folderFiles.exclusions = {"trace-2.tmp"};
    CustomFileItem tree;
    tree.path = "%AppData%\\Viewer\\Cache";
    tree.kind = kCustomItemFolderTree;
    CustomFileItem outside;
    outside.path = "Z:\\etc\\passwd";
    definition.files = {oneFile, folderFiles, tree, outside};
    CustomRegistryItem value;
    value.root = HKEY_CURRENT_USER;
    value.keyPath = "Software\\Viewer";
    value.valueName = "LastFile";
    CustomRegistryItem matching;
    matching.root = HKEY_CURRENT_USER;
    matching.keyPath = "Software\\Viewer\\Recent";
    matching.kind = 2;
    matching.pattern = "File*";
    // Registry patterns take "?" as a plain character and never go back: "a*c" does not match
    // "atrace-7c", whose first "c" comes too early.
    CustomRegistryItem firstPiece = matching;
    firstPiece.keyPath = "Software\\Viewer\\Pieces";
    firstPiece.pattern = "a*c";
    CustomRegistryItem literal = firstPiece;
    literal.keyPath = "Software\\Viewer\\Literal";
    literal.pattern = "Why?*";
    definition.registry = {value, matching, firstPiece, literal};
    WriteHostFile(program_.Path() / "CustomPlugins" / "Demo.pld",
                  WriteCustomDefinition(definition));
    WriteHostFile(program_.Path() / "CustomPlugins" / "Broken.pld", "not a definition");
  }

  [[nodiscard]] fs::path Prefix() const { return dir_.Path() / "demo"; }
  [[nodiscard]] bool Build(std::string& error) const {
    return BuildDemoMachine(Prefix(), program_.Path(), error);
  }

  TempDir dir_{"corvane-demo-test"};
  TempDir program_{"corvane-demo-program"};
};

TEST_F(DemoMachineTest, IsAPrefixWhoseRegistryAndFoldersTheProgramReads) {
  std::string error;
  ASSERT_TRUE(Build(error)) << error;

  for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
    RegistryHive parsed;
    EXPECT_EQ(LoadHiveFile(Prefix() / hive, parsed), HiveLoadResult::Loaded) << hive;
  }
  std::unique_ptr<Machine> machine = Machine::Open(Prefix(), &error);
  ASSERT_NE(machine, nullptr) << error;
  RegistryStore registry(Prefix());
  Machine* previousMachine = Machine::Current();
  RegistryStore* previousRegistry = RegistryStore::Current();
  Machine::SetCurrent(machine.get());
  RegistryStore::SetCurrent(&registry);

  const std::string profile = machine->ProfileFolder();
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_RECENT, FolderCreation::MustExist),
            profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Recent");
  EXPECT_EQ(SHGetSpecialFolderPathW(CSIDL_COOKIES, FolderCreation::MustExist),
            profile + "\\AppData\\Local\\Microsoft\\Windows\\INetCookies");
  EXPECT_EQ(GetTempPathW(), profile + "\\Temp\\");
  EXPECT_EQ(GetEnvironmentVariableW("WinDir"), "C:\\windows");
  // Only drive C:, and the profile's folders are its own, never links into the Linux home.
  ASSERT_EQ(machine->Drives().size(), 1u);
  EXPECT_FALSE(fs::is_symlink(*machine->ToHostPath(profile + "\\Documents")));
  // The program's own settings are left for the program.
  HKEY key = 0;
  EXPECT_NE(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane", &key), 0);

  RegistryStore::SetCurrent(previousRegistry);
  Machine::SetCurrent(previousMachine);
}

TEST_F(DemoMachineTest, PlantsWhatTheCustomDefinitionsCleanInsideDriveCOnly) {
  std::string error;
  ASSERT_TRUE(Build(error)) << error;
  std::unique_ptr<Machine> machine = Machine::Open(Prefix(), &error);
  ASSERT_NE(machine, nullptr);
  const fs::path profile = *machine->ToHostPath(machine->ProfileFolder());

  EXPECT_TRUE(fs::is_regular_file(Prefix() / "drive_c/windows/setupact.log"));
  EXPECT_TRUE(fs::is_regular_file(profile / "Temp/trace-3.tmp"));
  EXPECT_FALSE(fs::exists(profile / "Temp/trace-2.tmp")) << "an excluded name is never planted";
  EXPECT_TRUE(fs::is_regular_file(profile / "Temp/~dfx.log"));
  EXPECT_FALSE(fs::is_empty(profile / "AppData/Roaming/Viewer/Cache/Demo Subfolder"));
  EXPECT_FALSE(fs::exists(Prefix() / "dosdevices/z:"));

  const std::string user = ReadHostFile(Prefix() / "user.reg");
  EXPECT_NE(user.find("[Software\\\\Viewer]"), std::string::npos);
  EXPECT_NE(user.find("\"LastFile\"=\"a trace left for the demo\""), std::string::npos);
  EXPECT_NE(user.find("\"Filetrace-"), std::string::npos);

  // Every planted value is one its own pattern finds.
  RegistryStore registry(Prefix());
  RegistryStore* previousRegistry = RegistryStore::Current();
  Machine* previousMachine = Machine::Current();
  Machine::SetCurrent(machine.get());
  RegistryStore::SetCurrent(&registry);
  for (const auto& [key, pattern] : {std::pair{"Software\\Viewer\\Recent", "File*"},
                                     std::pair{"Software\\Viewer\\Pieces", "a*c"},
                                     std::pair{"Software\\Viewer\\Literal", "Why?*"}}) {
    std::uint32_t found = 0;
    EXPECT_TRUE(CountMatchingValues(HKEY_CURRENT_USER, key, pattern, found)) << key;
    EXPECT_EQ(found, 2u) << pattern;
  }
  RegistryStore::SetCurrent(previousRegistry);
  Machine::SetCurrent(previousMachine);
}

TEST_F(DemoMachineTest, ReplacesAnEarlierDemoButNoOtherFolder) {
  std::string error;
  ASSERT_TRUE(Build(error)) << error;
  WriteHostFile(Prefix() / "drive_c/left-over.txt", "x");
  ASSERT_TRUE(Build(error)) << error;
  EXPECT_FALSE(fs::exists(Prefix() / "drive_c/left-over.txt"));

  const fs::path other = dir_.Path() / "other";
  WriteHostFile(other / "precious.txt", "keep me");
  EXPECT_FALSE(BuildDemoMachine(other, program_.Path(), error));
  EXPECT_NE(error.find("not empty"), std::string::npos) << error;
  EXPECT_EQ(ReadHostFile(other / "precious.txt"), "keep me");

  // A link to an earlier demo is refused too: the folder must be named as itself.
  const fs::path link = dir_.Path() / "link";
  fs::create_directory_symlink(Prefix(), link);
  EXPECT_FALSE(BuildDemoMachine(link, program_.Path(), error));
  EXPECT_TRUE(fs::exists(Prefix() / kDemoMachineMarker));
}

TEST_F(DemoMachineTest, WhitelistsOneDemoCookieDomainOnce) {
  std::string error;
  ASSERT_TRUE(Build(error)) << error;  // no "files" folder: nothing written
  EXPECT_FALSE(fs::exists(program_.Path() / "files"));

  WriteHostFile(program_.Path() / "files" / "web_whitelist.txt", "mine.example");
  ASSERT_TRUE(Build(error)) << error;
  ASSERT_TRUE(Build(error)) << error;
  EXPECT_EQ(ReadHostFile(program_.Path() / "files" / "web_whitelist.txt"),
            "mine.example\r\nshop.example.org\r\n");
}

}  // namespace
}  // namespace corvane
