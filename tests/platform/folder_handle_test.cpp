#include "platform/folder_handle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_find.h"
#include "platform/file_handle.h"
#include "platform/file_problems.h"
#include "platform/file_services.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// Collects what the file services report while it lives.
class ProblemLog {
 public:
  ProblemLog() {
    SetFileProblemReporter([this](const std::string& problem) { lines.push_back(problem); });
  }
  ~ProblemLog() { SetFileProblemReporter({}); }
  ProblemLog(const ProblemLog&) = delete;
  ProblemLog& operator=(const ProblemLog&) = delete;
  std::vector<std::string> lines;
};

constexpr const char* kDepths[] = {"users", "ann", "AppData", "Local", "Temp", "deep"};

// The machine path of the test file, spelled exactly or in other cases (which takes the
// component-by-component way instead of the one-call resolution).
std::string ProfileFile(bool exactCase) {
  return exactCase ? "C:\\users\\ann\\AppData\\Local\\Temp\\deep\\x.txt"
                   : "c:\\USERS\\Ann\\appdata\\LOCAL\\temp\\Deep\\x.txt";
}

// Every service refuses a path that crosses a link, at whatever depth the link is, and says so;
// the file behind the link keeps its bytes, its mode and its name.
TEST(FolderHandleTest, NoServiceCrossesALinkBelowTheDriveRoot) {
  for (std::size_t depth = 0; depth < std::size(kDepths); ++depth) {
    for (const bool exactCase : {true, false}) {
      SCOPED_TRACE(std::string(kDepths[depth]) + (exactCase ? " exact" : " other case"));
      TempMachine temp;
      temp.WriteFile(ProfileFile(true), "ours");
      // The folder at this depth moves outside the prefix and a link takes its place.
      fs::path inside = temp.Host("C:\\");
      for (std::size_t i = 0; i <= depth; ++i) inside /= kDepths[i];
      const fs::path outside = temp.HostRoot() / "outside";
      fs::rename(inside, outside);
      fs::create_directory_symlink(outside, inside);
      fs::path witness = outside;
      for (std::size_t i = depth + 1; i < std::size(kDepths); ++i) witness /= kDepths[i];
      witness /= "x.txt";
      ASSERT_EQ(ReadHostFile(witness), "ours");

      const std::string file = ProfileFile(exactCase);
      const std::string folder = file.substr(0, file.size() - 6);
      ProblemLog log;
      EXPECT_FALSE(OpenPathEntry(file));
      EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
      EXPECT_EQ(GetFileAttributesW(file), INVALID_FILE_ATTRIBUTES);
      EXPECT_FALSE(GetFileSize64(file));
      EXPECT_FALSE(SetFileAttributesW(file, FILE_ATTRIBUTE_READONLY));
      EXPECT_FALSE(DeleteFileW(file));
      EXPECT_FALSE(OpenExistingFile(file, FileAccess::ReadWrite));
      EXPECT_FALSE(OpenExistingFile(file, FileAccess::Read));
      FindData data;
      EXPECT_FALSE(FindFirstFileW(folder + "\\*", &data));
      EXPECT_FALSE(FindFirstFileW(file, &data));
      EXPECT_FALSE(IsDirectory(folder));
      EXPECT_FALSE(OpenFolderPath(folder));
      ASSERT_FALSE(log.lines.empty());
      EXPECT_NE(log.lines.front().find(file), std::string::npos) << log.lines.front();
      // The link itself, named as the path's last component, goes as a link.
      const bool lastIsLink = depth + 1 == std::size(kDepths);
      EXPECT_EQ(RemoveDirectoryW(folder), lastIsLink);

      EXPECT_EQ(ReadHostFile(witness), "ours");
      EXPECT_NE(fs::status(witness).permissions() & fs::perms::owner_write, fs::perms::none);
    }
  }
}

TEST(FolderHandleTest, TheDrivesOwnMappingIsFollowedAndNamesResolveWithoutCase) {
  TempMachine temp;
  temp.WriteFile("C:\\Data\\Sub\\File.TXT", "abc");
  // C: is a dosdevices link to drive_c: the one link a machine path goes through.
  const std::optional<PathEntry> entry = OpenPathEntry("c:\\data\\SUB\\file.txt");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "File.TXT");
  struct stat st;
  ASSERT_TRUE(entry->folder.Status(entry->name, &st));
  EXPECT_EQ(st.st_size, 3);

  // A missing name is kept as written, for the caller to create or to find missing.
  const std::optional<PathEntry> missing = OpenPathEntry("C:\\data\\sub\\new.txt");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->name, "new.txt");
  EXPECT_FALSE(OpenPathEntry("C:\\data\\none\\new.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // A drive root is its own folder.
  const std::optional<PathEntry> root = OpenPathEntry("C:\\");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->name, ".");

  // A listing reads every entry once, a link as a link.
  fs::create_symlink(temp.HostRoot(), temp.Host("C:\\Data\\Sub") / "out");
  const FolderHandle folder = OpenFolderPath("C:\\data\\sub");
  ASSERT_TRUE(folder);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(folder.List(entries));
  ASSERT_EQ(entries.size(), 2u);
  for (const FolderEntry& listed : entries)
    EXPECT_EQ(S_ISLNK(listed.status.st_mode), listed.name == "out") << listed.name;
  EXPECT_FALSE(folder.OpenFolder("out"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  // A second listing of the same handle starts at the beginning again.
  entries.clear();
  ASSERT_TRUE(folder.List(entries));
  EXPECT_EQ(entries.size(), 2u);
}

}  // namespace
}  // namespace corvane
