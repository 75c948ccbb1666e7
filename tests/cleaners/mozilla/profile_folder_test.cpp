#include "cleaners/mozilla/profile_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(ProfileFolderTest, OpensFoldersAndFilesIgnoringCase) {
  TempMachine machine;
  machine.WriteFile("C:\\users\\ann\\Profile\\Cookies.TXT", "c");
  const std::optional<ProfileFolder> folder = ProfileFolder::Open("c:\\USERS\\ann\\profile");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->Path(), "c:\\USERS\\ann\\profile\\");
  EXPECT_EQ(folder->FindName("cookies.txt"), "Cookies.TXT");
  FileHandle file = folder->OpenFile("COOKIES.txt");
  ASSERT_TRUE(file);
  char byte = 0;
  std::size_t read = 0;
  ASSERT_TRUE(file.Read(&byte, 1, &read));
  EXPECT_EQ(byte, 'c');
  EXPECT_FALSE(folder->OpenFile("missing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\missing\\"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(ProfileFolderTest, NeverThroughALinkAPipeOrOutOfTheFolder) {
  TempMachine machine;
  const fs::path outside = machine.HostRoot() / "outside";
  WriteHostFile(outside / "secret", "s");
  const fs::path profile = machine.MakeFolder("C:\\users\\ann\\Profile");
  fs::create_directory_symlink(outside, profile / "linked");
  fs::create_symlink(outside / "secret", profile / "secret");
  ASSERT_EQ(::mkfifo((profile / "pipe").c_str(), 0600), 0);
  machine.WriteFile("C:\\users\\ann\\Profile\\file", "f");

  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\Profile\\linked"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\Profile\\linked\\"));
  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\Profile\\file\\"));
  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\Profile\\pipe\\"));  // and no wait
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ProfileFolder::Open("C:\\users\\ann\\Profile\\..\\..\\..\\"));
  EXPECT_FALSE(ProfileFolder::Open("\\users\\ann\\Profile"));

  const std::optional<ProfileFolder> folder = ProfileFolder::Open("C:\\users\\ann\\Profile");
  ASSERT_TRUE(folder);
  for (const char* name : {"secret", "pipe", "linked"}) {
    EXPECT_FALSE(folder->OpenFile(name)) << name;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << name;
  }
  for (const char* name : {"..\\outside\\secret", "../file", "..", "C:file", ""}) {
    EXPECT_FALSE(folder->FindName(name)) << name;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << name;
  }
}

}  // namespace
}  // namespace corvane
