#include "platform/file_services.h"

#include <gtest/gtest.h>

#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(FileServicesTest, AttributesFollowTheModeAndNeverCallALinkADirectory) {
  TempMachine temp;
  temp.WriteFile("C:\\data\\a.txt", "abc");
  fs::create_directory_symlink(temp.HostRoot(), temp.Host("C:\\data\\outside"));

  EXPECT_EQ(GetFileAttributesW("C:\\data"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW("c:\\Data\\A.TXT"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesW("C:\\data\\outside"), FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(IsDirectory("C:\\data"));
  EXPECT_FALSE(IsDirectory("C:\\data\\outside"));
  EXPECT_EQ(GetFileSize64("C:\\data\\a.txt"), 3u);

  EXPECT_EQ(GetFileAttributesW("C:\\data\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW("C:\\none\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(FileServicesTest, ReadOnlyFilesAreKeptUntilTheirAttributesAreReset) {
  TempMachine temp;
  const fs::path host = temp.WriteFile("C:\\data\\a.txt", "abc");
  ASSERT_TRUE(SetFileAttributesW("C:\\data\\a.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.txt"), FILE_ATTRIBUTE_READONLY);
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  EXPECT_EQ(fs::status(host).permissions() & kWrite, fs::perms::none);
  EXPECT_FALSE(DeleteFileW("C:\\data\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  ASSERT_TRUE(SetFileAttributesW("C:\\data\\a.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileW("C:\\data\\a.txt"));
  EXPECT_FALSE(fs::exists(host));
  EXPECT_FALSE(DeleteFileW("C:\\data\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(FileServicesTest, LinksAreRemovedAsLinksAndTheirTargetsAreLeftAlone) {
  TempMachine temp;
  const fs::path home = temp.HostRoot() / "home";
  WriteHostFile(home / "Documents" / "thesis.doc", "years of work");
  WriteHostFile(home / "notes.txt", "n");
  fs::permissions(home / "notes.txt", fs::perms::owner_read);
  temp.MakeFolder("C:\\data");
  fs::create_directory_symlink(home / "Documents", temp.Host("C:\\data\\Documents"));
  fs::create_directory_symlink(home / "Documents", temp.Host("C:\\data\\Docs2"));
  fs::create_symlink(home / "notes.txt", temp.Host("C:\\data\\notes.txt"));

  // Attributes are not changed through a link: that would change the target.
  EXPECT_TRUE(SetFileAttributesW("C:\\data\\notes.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(fs::status(home / "notes.txt").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(DeleteFileW("C:\\data\\notes.txt"));
  EXPECT_TRUE(DeleteFileW("C:\\data\\Documents"));
  EXPECT_TRUE(RemoveDirectoryW("C:\\data\\Docs2"));
  EXPECT_EQ(ReadHostFile(home / "Documents" / "thesis.doc"), "years of work");
  EXPECT_TRUE(fs::exists(home / "notes.txt"));
  EXPECT_TRUE(fs::is_empty(temp.Host("C:\\data")));
}

TEST(FileServicesTest, FoldersAreRemovedOnlyWhenEmpty) {
  TempMachine temp;
  temp.WriteFile("C:\\data\\sub\\f.txt", "f");
  EXPECT_FALSE(DeleteFileW("C:\\data\\sub"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(RemoveDirectoryW("C:\\data\\sub"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(RemoveDirectoryW("C:\\data\\sub\\f.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  ASSERT_TRUE(DeleteFileW("C:\\data\\sub\\f.txt"));
  EXPECT_TRUE(RemoveDirectoryW("C:\\data\\SUB"));
  EXPECT_FALSE(IsDirectory("C:\\data\\sub"));
}

TEST(FileServicesTest, TheWindowsFolderIsSpelledAsOnTheDrive) {
  TempMachine temp;
  EXPECT_EQ(GetWindowsDirectoryW(), "C:\\windows");
  fs::rename(temp.Prefix() / "drive_c/windows", temp.Prefix() / "drive_c/Windows");
  EXPECT_EQ(GetWindowsDirectoryW(), "C:\\Windows");
}

}  // namespace
}  // namespace corvane
