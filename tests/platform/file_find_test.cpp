#include "platform/file_find.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/file_status.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// Every entry of a search, in the order given, by name.
std::vector<FindData> FindAll(std::string_view pattern) {
  std::vector<FindData> found;
  FindData data;
  FindHandlePtr handle = FindFirstFileW(pattern, &data);
  if (!handle) return found;
  do found.push_back(data);
  while (FindNextFileW(*handle, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  FindClose(std::move(handle));
  return found;
}

std::vector<std::string> Names(const std::vector<FindData>& entries) {
  std::vector<std::string> names;
  for (const FindData& entry : entries) names.push_back(entry.name);
  std::sort(names.begin() + std::min<std::ptrdiff_t>(2, std::ssize(names)), names.end());
  return names;
}

TEST(FileFindTest, ListsEntriesWithDotsFirstExceptAtADriveRoot) {
  TempMachine temp;
  temp.WriteFile("C:\\data\\Index.DAT", "12345");
  temp.WriteFile("C:\\data\\notes.txt", "");
  temp.MakeFolder("C:\\data\\Sub");

  const std::vector<FindData> all = FindAll("c:\\DATA\\*");
  EXPECT_EQ(Names(all), (std::vector<std::string>{".", "..", "Index.DAT", "Sub", "notes.txt"}));
  std::map<std::string, FindData> byName;
  for (const FindData& entry : all) byName[entry.name] = entry;
  EXPECT_EQ(byName["."].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(byName["Index.DAT"].size, 5u);
  EXPECT_EQ(byName["Index.DAT"].attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(byName["Sub"].attributes, FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_EQ(Names(FindAll("C:\\data\\*.dat")), std::vector<std::string>{"Index.DAT"});
  for (const FindData& entry : FindAll("C:\\*")) {
    EXPECT_NE(entry.name, ".");
    EXPECT_NE(entry.name, "..");
  }
}

TEST(FileFindTest, ALinkToAFolderIsAReparsePointNeverADirectory) {
  // As Wine 8 makes a profile: Documents and its siblings lead into the Linux home.
  TempMachineOptions options;
  options.profileFolders = ProfileFolders::LinkedToHome;
  TempMachine temp(options);
  WriteHostFile(temp.HostRoot() / "home/ann/Documents/private.txt", "keep");

  std::map<std::string, DWORD> attributes;
  for (const FindData& entry : FindAll("C:\\users\\ann\\*.*"))
    attributes[entry.name] = entry.attributes;
  EXPECT_EQ(attributes["Documents"], FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(attributes["Desktop"], FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(attributes["AppData"], FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FileFindTest, APlainNameFindsOneEntryAsTheFolderSpellsIt) {
  TempMachine temp;
  temp.WriteFile("C:\\data\\History.dat", "x");
  const std::vector<FindData> found = FindAll("C:\\DATA\\HISTORY.DAT");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "History.dat");
}

TEST(FileFindTest, ReportsWhatIsMissingLikeWindows) {
  TempMachine temp;
  temp.MakeFolder("C:\\empty");
  FindData data;
  EXPECT_FALSE(FindFirstFileW("C:\\empty\\*.txt", &data));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FindFirstFileW("C:\\missing\\*", &data));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(FindFirstFileW("C:\\empty\\", &data));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FindFirstFileW("C:\\" + std::string(260, 'a') + "\\*", &data));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST(FileFindTest, HostPatternsCarryLargeSizesAndWriteTimes) {
  TempDir dir;
  const fs::path big = dir.Path() / "big.bin";
  WriteHostFile(big, "");
  fs::resize_file(big, 5ull << 30);                  // sparse: takes no space
  const timespec times[2] = {{0, 0}, {0, 1234500}};  // 1970-01-01 plus 1.2345 ms
  ASSERT_EQ(::utimensat(AT_FDCWD, big.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);

  const std::vector<FindData> found = FindAll(dir.Path().string() + "\\*.BIN");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].size, 5ull << 30);
  EXPECT_EQ(found[0].lastWriteTime, 116444736000000000ull + 12345u);
}

}  // namespace
}  // namespace corvane
