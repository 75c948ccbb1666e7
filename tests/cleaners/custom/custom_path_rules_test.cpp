#include "cleaners/custom/custom_path_rules.h"

#include <gtest/gtest.h>

#include "cleaners/custom/custom_definition.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

TEST(CustomPathRulesTest, OnlyRootedMachinePathsAreActedOn) {
  EXPECT_TRUE(IsCustomItemPathAllowed("C:\\data\\a.txt", kCustomItemOneFile));
  EXPECT_TRUE(IsCustomItemPathAllowed("c:/data/a.txt", kCustomItemOneFile));
  // What a missing macro leaves: a Linux path, a path relative to the current folder or drive.
  EXPECT_FALSE(IsCustomItemPathAllowed("\\tmp", kCustomItemOneFile));
  EXPECT_FALSE(IsCustomItemPathAllowed("/etc/passwd", kCustomItemOneFile));
  EXPECT_FALSE(IsCustomItemPathAllowed("Temp", kCustomItemFolderFiles));
  EXPECT_FALSE(IsCustomItemPathAllowed("C:Temp", kCustomItemFolderFiles));
  EXPECT_FALSE(IsCustomItemPathAllowed("", kCustomItemFolderFiles));
  EXPECT_FALSE(IsCustomItemPathAllowed("", kCustomItemOneFile));
}

TEST(CustomPathRulesTest, EveryPieceOfAFolderListCountsAndNoTreeCoversADrive) {
  EXPECT_TRUE(IsCustomItemPathAllowed("C:\\a|D:\\b", kCustomItemFolderTree));
  EXPECT_TRUE(IsCustomItemPathAllowed("C:\\a||", kCustomItemFolderFiles));  // empty pieces
  EXPECT_FALSE(IsCustomItemPathAllowed("C:\\a|\\b", kCustomItemFolderFiles));
  EXPECT_FALSE(IsCustomItemPathAllowed("||", kCustomItemFolderTree));
  EXPECT_TRUE(IsCustomItemPathAllowed("C:\\", kCustomItemFolderFiles));  // its own files only
  EXPECT_FALSE(IsCustomItemPathAllowed("C:\\", kCustomItemFolderTree));
  EXPECT_FALSE(IsCustomItemPathAllowed("C:\\a|Z:\\", kCustomItemFolderTree));
  EXPECT_FALSE(IsCustomItemPathAllowed("Z:\\users\\..", kCustomItemFolderTree));
}

TEST(CustomPathRulesTest, ARegistryRootIsAnEmptyKeyOrAHiveBelowTheUsers) {
  EXPECT_TRUE(IsRegistryRootKey(HKEY_CURRENT_USER, ""));
  EXPECT_TRUE(IsRegistryRootKey(HKEY_LOCAL_MACHINE, "\\"));
  EXPECT_TRUE(IsRegistryRootKey(HKEY_CLASSES_ROOT, "\\\\"));
  EXPECT_TRUE(IsRegistryRootKey(HKEY_USERS, ""));
  EXPECT_TRUE(IsRegistryRootKey(HKEY_USERS, ".Default"));
  EXPECT_TRUE(IsRegistryRootKey(HKEY_USERS, "\\S-1-5-21-0-0-0-1000\\"));
  EXPECT_FALSE(IsRegistryRootKey(HKEY_USERS, ".Default\\Software"));
  EXPECT_FALSE(IsRegistryRootKey(HKEY_CURRENT_USER, "Software"));
  EXPECT_FALSE(IsRegistryRootKey(HKEY_LOCAL_MACHINE, "\\System\\"));
}

TEST(CustomPathRulesTest, TheFoldersTheSystemUsesAreKept) {
  TempMachineOptions options;
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n"
      "\"Cache\"=\"C:\\\\users\\\\ann\\\\AppData\\\\Local\\\\Microsoft\\\\Windows\\\\INetCache\"\n"
      "\n[Environment] 0\n\"TEMP\"=\"C:\\\\scratch\"\n";
  TempMachine machine(options);
  machine.MakeFolder("C:\\scratch");
  machine.MakeFolder("C:\\app\\cache");
  for (const char* folder :
       {"C:\\", "Z:\\", "C:\\windows", "c:\\WINDOWS\\temp\\", "C:\\scratch", "C:\\users\\ann",
        "C:\\users\\ann\\Temp", "C:\\users\\ann\\AppData\\Local\\Microsoft\\Windows\\INetCache"}) {
    EXPECT_TRUE(IsSystemFolder(folder)) << folder;
  }
  EXPECT_FALSE(IsSystemFolder("C:\\app\\cache"));
  EXPECT_FALSE(IsSystemFolder("C:\\users\\ann\\Favorites"));
  EXPECT_FALSE(IsSystemFolder("C:\\missing"));
}

}  // namespace
}  // namespace corvane
