#include "platform/file_handle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/last_error.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(FileHandleTest, ReadsWritesSeeksAndSyncsAnExistingFile) {
  TempMachine temp;
  const fs::path host = temp.WriteFile("C:\\data\\index.dat", "0123456789");
  FileHandle file = OpenExistingFile("C:\\DATA\\Index.dat", FileAccess::ReadWrite);
  ASSERT_TRUE(file);
  EXPECT_EQ(file.Size(), 10u);
  std::size_t done = 0;
  ASSERT_TRUE(file.Seek(2));
  ASSERT_TRUE(file.Write("ab", 2, &done));
  EXPECT_EQ(done, 2u);
  EXPECT_TRUE(file.Sync());

  char buffer[16] = {};
  ASSERT_TRUE(file.Seek(0));
  ASSERT_TRUE(file.Read(buffer, sizeof buffer, &done));
  EXPECT_EQ(std::string(buffer, done), "01ab456789");  // short only at the end
  file.Close();
  EXPECT_EQ(ReadHostFile(host), "01ab456789");
}

TEST(FileHandleTest, NothingIsCreatedAndMissingPathsSayWhatIsMissing) {
  TempMachine temp;
  EXPECT_FALSE(OpenExistingFile("C:\\windows\\new.txt", FileAccess::ReadWrite));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(OpenExistingFile("C:\\nowhere\\new.txt", FileAccess::Read));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fs::exists(temp.Prefix() / "drive_c/windows/new.txt"));
}

TEST(FileHandleTest, OnlyRegularFilesOpenAndLinksNeverForWriting) {
  TempMachine temp;
  const fs::path target = temp.HostRoot() / "home" / "secret.txt";
  WriteHostFile(target, "secret");
  const fs::path link = temp.Host("C:\\data\\link.txt");
  fs::create_directories(link.parent_path());
  fs::create_symlink(target, link);

  EXPECT_FALSE(OpenExistingFile("C:\\data\\link.txt", FileAccess::ReadWrite));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(OpenExistingFile("C:\\data\\link.txt", FileAccess::Read));
  EXPECT_EQ(ReadHostFile(target), "secret");

  // A pipe would block a reader for ever; a folder is no file.
  ASSERT_EQ(::mkfifo(temp.Host("C:\\data\\pipe").c_str(), 0600), 0);
  EXPECT_FALSE(OpenExistingFile("C:\\data\\pipe", FileAccess::Read));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(OpenExistingFile("C:\\data", FileAccess::Read));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  // Read-only means read-only, even for root.
  const fs::path readOnly = temp.WriteFile("C:\\data\\ro.txt", "r");
  fs::permissions(readOnly, fs::perms::owner_read);
  EXPECT_FALSE(OpenExistingFile("C:\\data\\ro.txt", FileAccess::ReadWrite));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
}  // namespace corvane
