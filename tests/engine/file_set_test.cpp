#include "engine/file_set.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/erase_fault.h"
#include "platform/file_problems.h"
#include "tests/support/pending_renames.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::vector<std::string> Sorted(std::vector<std::string> list) {
  std::sort(list.begin(), list.end());
  return list;
}

struct Count {
  std::uint32_t items = 0;
  std::uint64_t bytes = 0;
  bool operator==(const Count&) const = default;
};

Count Collect(std::string_view folders, std::string_view masks,
              const std::vector<std::string>& exclusions = {}) {
  Count count;
  EXPECT_TRUE(CollectFileSet(folders, exclusions, masks, count.items, count.bytes));
  return count;
}

Count CollectTree(std::string_view folders, std::string_view masks,
                  const std::vector<std::string>& exclusions = {}) {
  Count count;
  EXPECT_TRUE(CollectFileSetTree(folders, exclusions, masks, count.items, count.bytes, {}));
  return count;
}

std::ostream& operator<<(std::ostream& out, const Count& count) {
  return out << count.items << " items, " << count.bytes << " bytes";
}

TEST(FileSetTest, JoinPathAddsOneBackslash) {
  EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(JoinPath("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(JoinPath("/tmp/", "b"), "/tmp/b");
}

TEST(FileSetTest, ListingsNameFilesAndRealSubfoldersOnly) {
  TempMachine temp;
  temp.WriteFile("C:\\d\\a.txt", "a");
  temp.WriteFile("C:\\d\\B.TXT", "b");
  temp.WriteFile("C:\\d\\c.dat", "c");
  temp.WriteFile("C:\\d\\.hidden", "h");
  temp.MakeFolder("C:\\d\\sub");
  temp.MakeFolder("C:\\d\\.dot");
  fs::create_directory_symlink(temp.HostRoot(), temp.Host("C:\\d\\outside"));

  std::vector<std::string> files;
  EXPECT_TRUE(ListFiles("C:\\D", "*.txt", files, ListedNames::FullPaths));
  EXPECT_EQ(Sorted(files), (std::vector<std::string>{"C:\\D\\B.TXT", "C:\\D\\a.txt"}));
  files.clear();
  // A link to a folder is a file to a walk: it is deleted as a link, never entered.
  EXPECT_TRUE(ListFiles("C:\\d", "*", files, ListedNames::NamesOnly));
  EXPECT_EQ(Sorted(files),
            (std::vector<std::string>{".hidden", "B.TXT", "a.txt", "c.dat", "outside"}));

  std::vector<std::string> folders;
  EXPECT_TRUE(ListSubfolders("C:\\d", "*.*", folders));
  EXPECT_EQ(folders, (std::vector<std::string>{"C:\\d\\sub"}));

  EXPECT_FALSE(ListFiles("C:\\d\\a.txt", "*", files, ListedNames::FullPaths));
  EXPECT_FALSE(ListSubfolders("C:\\d\\outside", "*", folders));
  EXPECT_FALSE(ListFiles("C:\\none", "*", files, ListedNames::FullPaths));
  EXPECT_EQ(files.size(), 5u);
  EXPECT_EQ(folders.size(), 1u);
}

TEST(FileSetTest, DropByFileNameComparesTheLastComponentExactly) {
  std::vector<std::string> paths = {"C:\\a\\index.dat", "C:\\a\\INDEX.DAT", "index.dat",
                                    "C:\\b\\keep.txt"};
  DropByFileName(paths, {"index.dat"});
  EXPECT_EQ(paths, (std::vector<std::string>{"C:\\a\\INDEX.DAT", "C:\\b\\keep.txt"}));
}

TEST(FileSetTest, CollectingCountsEachMasksFilesInTheNamedFolders) {
  TempMachine temp;
  temp.WriteFile("C:\\two\\a.txt", "12");
  temp.WriteFile("C:\\two\\b.log", "1234");
  temp.WriteFile("C:\\two\\sub\\c.txt", "123456");

  // The first folder is missing and the first mask matches nothing: the rest still counts.
  EXPECT_EQ(Collect("C:\\one|C:\\two", "*.none|*.txt"), (Count{1, 2}));
  // A file two masks match counts once per mask; empty pieces name nothing.
  EXPECT_EQ(Collect("C:\\two||", "*|*.txt|"), (Count{3, 8}));
  // An excluded file counts under no mask; an exclusion is exact and case-sensitive.
  EXPECT_EQ(Collect("C:\\two", "*.txt|*", {"a.txt"}), (Count{1, 4}));
  EXPECT_EQ(Collect("C:\\two", "*", {"A.TXT"}), (Count{2, 6}));
  EXPECT_EQ(Collect("C:\\two\\", "*", {"a.txt"}), (Count{1, 4}));
}

TEST(FileSetTest, TreesAreCountedWithoutDotFoldersOrLinkedFolders) {
  TempMachineOptions options;
  options.profileFolders = ProfileFolders::LinkedToHome;
  TempMachine temp(options);
  temp.WriteFile("C:\\users\\ann\\a.txt", "1");
  temp.WriteFile("C:\\users\\ann\\AppData\\Local\\Temp\\b.txt", "22");
  temp.WriteFile("C:\\users\\ann\\AppData\\Local\\Temp\\keep.txt", "22");
  temp.WriteFile("C:\\users\\ann\\.cache\\c.txt", "333");
  WriteHostFile(temp.HostRoot() / "home" / "ann" / "Documents" / "thesis.txt", "years");

  // Desktop, Documents, ... are links to the home folder: counted as links, never entered.
  EXPECT_EQ(CollectTree("C:\\users\\ann", "*.txt", {"keep.txt"}), (Count{2, 3}));
  EXPECT_EQ(CollectTree("C:\\users\\ann\\Documents", "*"), (Count{0, 0}));
  EXPECT_EQ(CollectTree("C:\\users\\ann", "*"), (Count{9, 5}));

  // Cancelled after the first folder: the walk goes no deeper.
  Count count;
  int polls = 0;
  EXPECT_FALSE(CollectFileSetTree("C:\\users\\ann", {}, "*", count.items, count.bytes,
                                  [&] { return ++polls > 1; }));
  EXPECT_EQ(count, (Count{7, 1}));
}

TEST(FileSetTest, PathsTooLongForWindowsAreSkipped) {
  TempMachine temp;
  const std::string deep = "C:\\deep\\" + std::string(240, 'd');
  WriteHostFile(temp.Host("C:\\deep") / std::string(240, 'd') / "short.txt", "1");
  WriteHostFile(temp.Host("C:\\deep") / std::string(240, 'd') / (std::string(20, 'n') + ".txt"),
                "22");
  EXPECT_EQ(CollectTree("C:\\deep", "*"), (Count{1, 1}));
  EXPECT_TRUE(
      EraseFileSetTree("C:\\deep", {}, "*", Overwrite::Off, WipePattern::WipeOnes, {}, nullptr));
  EXPECT_EQ(fs::directory_entry(temp.Host("C:\\deep") / std::string(240, 'd')).exists(), true);
  EXPECT_FALSE(fs::exists(temp.Host("C:\\deep") / std::string(240, 'd') / "short.txt"));
}

TEST(FileSetTest, ErasingASetDeletesEachListedFileOnce) {
  TempMachine temp;
  temp.WriteFile("C:\\e\\a.txt", "12");
  temp.WriteFile("C:\\e\\b.log", "1234");
  temp.WriteFile("C:\\e\\keep.txt", "1");
  temp.WriteFile("C:\\e\\sub\\c.txt", "1");
  DeletionAccumulator tally;
  EXPECT_TRUE(EraseFileSet("C:\\e|C:\\none", {"keep.txt"}, "*.txt|*", Overwrite::On,
                           WipePattern::WipeRandom, {}, &tally));
  EXPECT_EQ(tally.Erased().items, 2u);
  EXPECT_EQ(tally.Erased().bytes, 6u);
  EXPECT_TRUE(fs::exists(temp.Host("C:\\e\\keep.txt")));
  EXPECT_TRUE(fs::exists(temp.Host("C:\\e\\sub\\c.txt")));

  // Cancelled before the first file: nothing goes.
  temp.WriteFile("C:\\e\\a.txt", "12");
  EXPECT_FALSE(EraseFileSet(
      "C:\\e", {}, "*", Overwrite::Off, WipePattern::WipeOnes, [] { return true; }, &tally));
  EXPECT_TRUE(fs::exists(temp.Host("C:\\e\\a.txt")));
}

TEST(FileSetTest, ATreeEraseKeepsWhatHoldsAnUndeletableFile) {
  TempMachine temp;
  temp.WriteFile("C:\\t\\top.txt", "1");
  temp.WriteFile("C:\\t\\gone\\deeper\\a.txt", "22");
  temp.WriteFile("C:\\t\\kept\\inner\\locked.dat", "333");
  temp.WriteFile("C:\\t\\kept\\inner\\b.txt", "4444");
  temp.WriteFile("C:\\t\\.git\\config", "5");
  // A dot-folder is walked by neither the scan nor the erase, even for files the masks match.
  temp.WriteFile("C:\\t\\.cache\\hidden.txt", "55");
  temp.WriteFile("C:\\t\\masked\\other.log", "6");
  const ScopedEraseFault fault([](EraseStep step, std::string_view path) -> DWORD {
    return step == EraseStep::Delete && path.ends_with("locked.dat") ? ERROR_ACCESS_DENIED
                                                                     : ERROR_SUCCESS;
  });
  EXPECT_EQ(CollectTree("C:\\t", "*.txt|*.dat"), (Count{4, 10}));
  DeletionAccumulator tally;
  EXPECT_FALSE(EraseFileSetTree("C:\\t", {}, "*.txt|*.dat", Overwrite::Off, WipePattern::WipeOnes,
                                {}, &tally));
  // Three files and the two folders "gone\deeper" and "gone".
  EXPECT_EQ(tally.Erased().items, 5u);
  EXPECT_EQ(tally.Erased().bytes, 7u);
  EXPECT_EQ(tally.ScheduledAtRestart(), 1u);
  EXPECT_TRUE(fs::exists(temp.Host("C:\\t")));
  EXPECT_FALSE(fs::exists(temp.Host("C:\\t\\gone")));
  EXPECT_TRUE(fs::exists(temp.Host("C:\\t\\kept\\inner\\locked.dat")));
  EXPECT_FALSE(fs::exists(temp.Host("C:\\t\\kept\\inner\\b.txt")));
  EXPECT_TRUE(fs::exists(temp.Host("C:\\t\\.git\\config")));
  EXPECT_EQ(ReadHostFile(temp.Host("C:\\t\\.cache\\hidden.txt")), "55");
  // A folder that still holds files of no mask is kept without failing the erase.
  EXPECT_TRUE(fs::exists(temp.Host("C:\\t\\masked\\other.log")));
  EXPECT_EQ(test::PendingFileRenames(), "\\??\\C:\\t\\kept\\inner\\locked.dat\0\0\0"s);
}

TEST(FileSetTest, ATreeEraseRemovesALinkedFolderAsALinkAndLeavesItsTarget) {
  TempMachine temp;
  const fs::path home = temp.HostRoot() / "home";
  WriteHostFile(home / "Documents" / "thesis.doc", "years of work");
  WriteHostFile(home / "notes.txt", "notes");
  temp.WriteFile("C:\\t\\sub\\a.txt", "1");
  fs::create_directory_symlink(home / "Documents", temp.Host("C:\\t\\sub\\Documents"));
  fs::create_symlink(home / "notes.txt", temp.Host("C:\\t\\notes.txt"));

  DeletionAccumulator tally;
  EXPECT_TRUE(EraseFileSetTree("C:\\t", {}, "*", Overwrite::On, WipePattern::WipeOnes, {}, &tally));
  EXPECT_TRUE(fs::is_empty(temp.Host("C:\\t")));
  EXPECT_EQ(ReadHostFile(home / "Documents" / "thesis.doc"), "years of work");
  EXPECT_EQ(ReadHostFile(home / "notes.txt"), "notes");
  // a.txt, the two links (no bytes of their own) and the folder "sub".
  EXPECT_EQ(tally.Erased().items, 4u);
  EXPECT_EQ(tally.Erased().bytes, 1u);
}

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

TEST(FileSetTest, AFolderThatCannotBeReadIsAFailureNotASkip) {
  TempMachine temp;
  temp.WriteFile("C:\\t\\a.txt", "1");
  temp.WriteFile("C:\\t\\shut\\b.txt", "22");
  const ScopedEraseFault fault([](EraseStep step, std::string_view path) -> DWORD {
    return step == EraseStep::ListFolder && path.ends_with("shut") ? ERROR_ACCESS_DENIED
                                                                   : ERROR_SUCCESS;
  });
  ProblemLog log;
  Count count;
  EXPECT_FALSE(CollectFileSetTree("C:\\t", {}, "*", count.items, count.bytes, {}));
  EXPECT_EQ(count, (Count{1, 1}));
  EXPECT_FALSE(CollectFileSet("C:\\t\\shut", {}, "*", count.items, count.bytes));
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_NE(log.lines[0].find("C:\\t\\shut"), std::string::npos) << log.lines[0];

  DeletionAccumulator tally;
  EXPECT_FALSE(
      EraseFileSetTree("C:\\t", {}, "*", Overwrite::Off, WipePattern::WipeOnes, {}, &tally));
  EXPECT_EQ(tally.Erased().items, 1u);
  EXPECT_EQ(tally.NotErased().items, 1u);
  EXPECT_TRUE(fs::exists(temp.Host("C:\\t\\shut\\b.txt")));
  EXPECT_FALSE(
      EraseFileSet("C:\\t\\shut", {}, "*", Overwrite::Off, WipePattern::WipeOnes, {}, &tally));
  EXPECT_EQ(tally.NotErased().items, 2u);
  // A folder that is not there is nothing to read, and no failure.
  EXPECT_TRUE(CollectFileSetTree("C:\\none", {}, "*", count.items, count.bytes, {}));
}

TEST(FileSetTest, AHardLinkedFileLosesItsNameButNeverItsBytes) {
  TempMachine temp;
  // A backup made with hard links, outside the prefix.
  const fs::path backup = temp.HostRoot() / "backup" / "letter.txt";
  WriteHostFile(backup, "dear ann");
  const fs::path inside = temp.Host("C:\\h") / "letter.txt";
  fs::create_directories(inside.parent_path());
  fs::create_hard_link(backup, inside);
  temp.WriteFile("C:\\h\\own.txt", "mine");

  ProblemLog log;
  DeletionAccumulator tally;
  EXPECT_TRUE(EraseFileSetTree("C:\\h", {}, "*", Overwrite::On, WipePattern::WipeOnes, {}, &tally));
  EXPECT_EQ(tally.Erased().items, 2u);
  EXPECT_EQ(tally.Erased().bytes, 12u);
  EXPECT_FALSE(fs::exists(inside));
  EXPECT_EQ(ReadHostFile(backup), "dear ann");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("C:\\h\\letter.txt"), std::string::npos) << log.lines[0];
}

// The folder changes places with a link to an outside folder just after the walk has listed its
// parent (while the parent's own files are erased): what was listed as a folder is now the link.
TEST(FileSetTest, AFolderSwappedForALinkAfterItWasListedIsNeverEntered) {
  TempMachine temp;
  const fs::path outside = temp.HostRoot() / "outside";
  WriteHostFile(outside / "w.txt", "witness");
  temp.WriteFile("C:\\t\\a.txt", "1");
  temp.WriteFile("C:\\t\\sub\\f.txt", "2");
  const fs::path folder = temp.Host("C:\\t\\sub");
  const fs::path link = temp.Host("C:\\t") / "swap";
  fs::create_directory_symlink(outside, link);
  bool swapped = false;
  const ScopedEraseFault swap([&](EraseStep step, std::string_view path) -> DWORD {
    if (!swapped && step == EraseStep::Delete && path.ends_with("a.txt"))
      swapped = ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0;
    return ERROR_SUCCESS;
  });
  DeletionAccumulator tally;
  (void)EraseFileSetTree("C:\\t", {}, "*.txt", Overwrite::On, WipePattern::WipeOnes, {}, &tally);
  ASSERT_TRUE(swapped);
  EXPECT_EQ(ReadHostFile(outside / "w.txt"), "witness");
  // The real folder, now named "swap", was listed as a link and left alone.
  EXPECT_EQ(ReadHostFile(temp.Host("C:\\t") / "swap" / "f.txt"), "2");
}

// A folder of the tree and a link to a folder outside the prefix change places again and again
// while the tree is erased. Whatever the walk meets, it never reaches through the link.
TEST(FileSetTest, AFolderSwappedForALinkMidWalkNeverRedirectsTheErase) {
  TempMachine temp;
  const fs::path outside = temp.HostRoot() / "outside";
  constexpr int kWitnesses = 60;
  for (int i = 0; i < kWitnesses; ++i)
    WriteHostFile(outside / ("w" + std::to_string(i) + ".txt"), "witness");
  const fs::path tree = temp.Host("C:\\t");
  const fs::path folder = tree / "sub";
  const fs::path link = tree / "swap";

  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    fs::remove_all(tree);  // removes links as links
    for (int i = 0; i < 150; ++i) WriteHostFile(folder / ("f" + std::to_string(i) + ".txt"), "x");
    for (int i = 0; i < 20; ++i) WriteHostFile(tree / ("t" + std::to_string(i) + ".txt"), "x");
    WriteHostFile(folder / "deeper" / "g.txt", "y");
    fs::create_directory_symlink(outside, link);

    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
      while (!stop.load()) {
        if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0)
          swaps.fetch_add(1);
      }
    });
    // Let the swapper get going before the walk starts.
    while (swaps.load() < 2) std::this_thread::yield();
    // Each deletion pauses a little, so the swapper gets to run between the walk's steps even
    // on a busy machine.
    const ScopedEraseFault pause([](EraseStep, std::string_view) -> DWORD {
      std::this_thread::sleep_for(std::chrono::microseconds(20));
      return ERROR_SUCCESS;
    });
    const Overwrite overwrite = round % 2 == 0 ? Overwrite::On : Overwrite::Off;
    DeletionAccumulator tally;
    // The link's name matches no mask, so it stays in place for the whole walk.
    (void)EraseFileSetTree("C:\\t", {}, "*.txt", overwrite, WipePattern::WipeOnes, {}, &tally);
    stop = true;
    swapper.join();

    int left = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(outside)) {
      ++left;
      EXPECT_EQ(ReadHostFile(entry.path()), "witness") << entry.path();
    }
    ASSERT_EQ(left, kWitnesses);
  }
}

}  // namespace
}  // namespace corvane
