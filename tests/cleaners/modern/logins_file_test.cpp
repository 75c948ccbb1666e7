#include "cleaners/modern/logins_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(LoginsFileTest, AReplacementTakesTheOldFilesPlaceAndMode) {
  const TempDir dir;
  const fs::path file = dir.Path() / "logins.json";
  WriteHostFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
  LoginsFile logins;
  ASSERT_EQ(logins.Read(file.string(), SqliteAccess::Change), SqliteStatus::Ok);
  EXPECT_EQ(logins.Text(), "old");
  ASSERT_EQ(logins.Replace("new text"), SqliteStatus::Ok);
  EXPECT_EQ(ReadHostFile(file), "new text");
  struct stat status {};
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0604u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(LoginsFileTest, AFileTheBrowserWroteMeanwhileIsLeftAsItIs) {
  const TempDir dir;
  const fs::path file = dir.Path() / "logins.json";
  WriteHostFile(file, "{\"logins\":[]}");
  LoginsFile logins;
  ASSERT_EQ(logins.Read(file.string(), SqliteAccess::Change), SqliteStatus::Ok);
  // Written in place (a longer text), then replaced by a file of its own.
  WriteHostFile(file, "{\"logins\":[{}]}");
  EXPECT_EQ(logins.Replace("{}"), SqliteStatus::InUse);
  EXPECT_EQ(ReadHostFile(file), "{\"logins\":[{}]}");
  ASSERT_EQ(logins.Read(file.string(), SqliteAccess::Change), SqliteStatus::Ok);
  WriteHostFile(dir.Path() / "other", "{\"logins\":[{},{}]}");
  fs::rename(dir.Path() / "other", file);
  EXPECT_EQ(logins.Replace("{}"), SqliteStatus::InUse);
  EXPECT_EQ(ReadHostFile(file), "{\"logins\":[{},{}]}");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(LoginsFileTest, LinksPipesAndSharedFilesAreRefused) {
  const TempDir dir;
  const fs::path file = dir.Path() / "logins.json";
  WriteHostFile(file, "{}");
  fs::create_symlink(file, dir.Path() / "link.json");
  ASSERT_EQ(::mkfifo((dir.Path() / "pipe.json").c_str(), 0600), 0);
  LoginsFile logins;
  EXPECT_EQ(logins.Read((dir.Path() / "link.json").string(), SqliteAccess::Read),
            SqliteStatus::Refused);
  EXPECT_EQ(logins.Read((dir.Path() / "pipe.json").string(), SqliteAccess::Read),
            SqliteStatus::Refused);
  EXPECT_EQ(logins.Read((dir.Path() / "none.json").string(), SqliteAccess::Read),
            SqliteStatus::Missing);
  fs::create_hard_link(file, dir.Path() / "second.json");
  EXPECT_EQ(logins.Read(file.string(), SqliteAccess::Read), SqliteStatus::Ok);
  EXPECT_EQ(logins.Read(file.string(), SqliteAccess::Change), SqliteStatus::Refused);
}

}  // namespace
}  // namespace corvane
