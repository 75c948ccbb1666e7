#include "platform/shell/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(TrashTest, InfoFilesGiveAbsoluteDecodedPathsOnly) {
  EXPECT_EQ(ParseTrashInfo("[Trash Info]\nPath=/tmp/a%20b.txt\nDeletionDate=2024-01-02T03:04:05\n"),
            "/tmp/a b.txt");
  EXPECT_EQ(ParseTrashInfo("\r\n[Trash Info]\r\nPath=/x/%C3%BC\r\n"), "/x/ü");
  EXPECT_EQ(ParseTrashInfo("[Trash Info]\nDeletionDate=x\nPath=/late\n"), "/late");
  for (const char* bad :
       {"", "[Trash Info]\n", "[Trash Info]\nPath=relative/a.txt\n", "[Trash Info]\nPath=\n",
        "[Trash Info]\nPath=/a%2\n", "[Trash Info]\nPath=/a%zz\n", "[Trash Info]\nPath=/a%00b\n",
        "[Trash Info]\nPath=/a%FF\n", "[Trash Info]\nPath=/a\xFF\n", "Path=/no/group\n",
        "[Other]\nPath=/wrong/group\n", "[Other]\nPath=/x\n[Trash Info]\nPath=/y\n"}) {
    EXPECT_FALSE(ParseTrashInfo(bad)) << bad;
  }
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\n[Other]\nPath=/in/another/group\n"));
}

// The entry Wine's shell made for a file it deleted (tests/fixtures/shell/make-shell-traces.sh).
TEST(TrashTest, ReadsTheEntryWineMade) {
  const fs::path fixture = fs::path(CORVANE_FIXTURES_DIR) / "shell" / "trash";
  const Trash trash(fixture);
  ASSERT_TRUE(trash.IsOpen());
  const std::vector<TrashItem> items = trash.List();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "trash me.txt");
  std::string prefix = ReadHostFile(fixture / "prefix.txt");
  prefix.pop_back();
  EXPECT_EQ(items[0].originalPath, prefix + "/dosdevices/c:/docs/trash me.txt");
  EXPECT_EQ(items[0].kind, TrashItem::Kind::File);
  EXPECT_EQ(items[0].size, 8u);
}

class TrashFolderTest : public ::testing::Test {
 protected:
  void Item(const std::string& name, const std::string& path) {
    WriteHostFile(folder_ / "info" / (name + ".trashinfo"),
                  "[Trash Info]\nPath=" + path + "\nDeletionDate=2024-01-01T00:00:00\n");
  }
  TrashItem Find(const std::vector<TrashItem>& items, const std::string& name) {
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const TrashItem& item) { return item.name == name; });
    EXPECT_NE(found, items.end()) << name;
    return found != items.end() ? *found : TrashItem{};
  }

  TempDir dir_;
  fs::path folder_ = dir_.Path() / "Trash";
  fs::path outside_ = dir_.Path() / "outside";
};

TEST_F(TrashFolderTest, ItemsAreListedAndRemovedAsExactlyTheirEntries) {
  WriteHostFile(outside_ / "canary.txt", "canary");
  WriteHostFile(folder_ / "files" / "a.txt", "aaaa");
  Item("a.txt", "/p/a.txt");
  WriteHostFile(folder_ / "files" / "tree" / "x", "xx");
  WriteHostFile(folder_ / "files" / "tree" / "sub" / "y", "yyy");
  fs::create_directory_symlink(outside_, folder_ / "files" / "tree" / "sub" / "out");
  Item("tree", "/p/tree");
  fs::create_symlink(outside_ / "canary.txt", folder_ / "files" / "link");
  Item("link", "/p/link");
  Item("gone", "/p/gone");  // its file is missing
  WriteHostFile(folder_ / "files" / "shared", "shared bytes");
  fs::create_hard_link(folder_ / "files" / "shared", outside_ / "shared");
  Item("shared", "/p/shared");
  fs::create_symlink(folder_ / "info" / "a.txt.trashinfo", folder_ / "info" / "sneaky.trashinfo");
  WriteHostFile(folder_ / "info" / "bad.trashinfo", "[Trash Info]\nPath=relative\n");
  WriteHostFile(folder_ / "files" / "bad", "no usable info");

  const Trash trash(folder_);
  const std::vector<TrashItem> items = trash.List();
  EXPECT_EQ(items.size(), 5u);  // neither the linked info file nor the relative path
  EXPECT_EQ(Find(items, "a.txt").size, 4u);
  EXPECT_EQ(Find(items, "tree").kind, TrashItem::Kind::Folder);
  EXPECT_EQ(Find(items, "tree").size, 5u);  // the link inside counts nothing
  EXPECT_EQ(Find(items, "link").kind, TrashItem::Kind::Link);
  EXPECT_EQ(Find(items, "gone").kind, TrashItem::Kind::Missing);

  for (const TrashItem& item : items) {
    EXPECT_TRUE(trash.Remove(item, TrashOverwrite::On)) << item.name;
  }
  EXPECT_EQ(ReadHostFile(outside_ / "canary.txt"), "canary");
  EXPECT_TRUE(fs::exists(outside_));
  // A file with another hard link is never overwritten: the other name keeps its bytes.
  EXPECT_EQ(ReadHostFile(outside_ / "shared"), "shared bytes");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder_ / "files")) {
    left.push_back(entry.path().filename());
  }
  EXPECT_EQ(left, std::vector<std::string>{"bad"});
  left.clear();
  for (const auto& entry : fs::directory_iterator(folder_ / "info")) {
    left.push_back(entry.path().filename());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bad.trashinfo", "sneaky.trashinfo"}));
}

TEST_F(TrashFolderTest, AnEntrySwappedAfterTheListingIsLeftAlone) {
  WriteHostFile(folder_ / "files" / "a.txt", "aaaa");
  Item("a.txt", "/p/a.txt");
  const Trash trash(folder_);
  const std::vector<TrashItem> items = trash.List();
  ASSERT_EQ(items.size(), 1u);
  WriteHostFile(outside_ / "canary.txt", "canary");
  fs::rename(folder_ / "files" / "a.txt", outside_ / "moved.txt");  // its inode stays in use
  fs::create_symlink(outside_ / "canary.txt", folder_ / "files" / "a.txt");
  EXPECT_FALSE(trash.Remove(items[0], TrashOverwrite::On));
  EXPECT_TRUE(fs::is_symlink(folder_ / "files" / "a.txt"));
  EXPECT_TRUE(fs::exists(folder_ / "info" / "a.txt.trashinfo"));
  EXPECT_EQ(ReadHostFile(outside_ / "canary.txt"), "canary");
}

TEST_F(TrashFolderTest, AMissingOrLinkedTrashListsNothing) {
  EXPECT_TRUE(Trash(folder_).List().empty());
  fs::create_directories(outside_ / "files");
  fs::create_directories(outside_ / "info");
  WriteHostFile(outside_ / "files" / "a", "a");
  WriteHostFile(outside_ / "info" / "a.trashinfo", "[Trash Info]\nPath=/p/a\n");
  fs::create_directory_symlink(outside_, folder_);
  const Trash trash(folder_);
  EXPECT_FALSE(trash.IsOpen());
  EXPECT_TRUE(trash.List().empty());
}

}  // namespace
}  // namespace corvane
