#include "engine/erase_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/erase_fault.h"
#include "tests/support/pending_renames.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Remembers every call in order.
class RecordingTally : public DeletionTally {
 public:
  void AddDone(const TallyRecord& record) override { done.push_back(record); }
  void AddFailed(const TallyRecord& record) override { failed.push_back(record); }
  void AddScheduledAtRestart(std::string_view path) override { scheduled.emplace_back(path); }
  std::vector<TallyRecord> done;
  std::vector<TallyRecord> failed;
  std::vector<std::string> scheduled;
};

// The item counts of the records, for comparing batch shapes.
std::vector<std::uint32_t> Items(const std::vector<TallyRecord>& records) {
  std::vector<std::uint32_t> items;
  for (const TallyRecord& record : records) items.push_back(record.items);
  return items;
}

// Fails the step for every path that ends with `name`.
ScopedEraseFault FailFor(EraseStep failing, std::string name, DWORD error = ERROR_ACCESS_DENIED) {
  return ScopedEraseFault([=](EraseStep step, std::string_view path) -> DWORD {
    return step == failing && path.ends_with(name) ? error : ERROR_SUCCESS;
  });
}

TEST(EraseFileTest, DeletedFilesAnswerTheirSizePlusOne) {
  TempMachine temp;
  const fs::path plain = temp.WriteFile("C:\\data\\plain.txt", "12345");
  const fs::path empty = temp.WriteFile("C:\\data\\empty.txt", "");
  const fs::path readOnly = temp.WriteFile("C:\\data\\ro.txt", "abc");
  fs::permissions(readOnly, fs::perms::owner_read);
  const fs::path readOnlyWiped = temp.WriteFile("C:\\data\\ro2.txt", "abcd");
  fs::permissions(readOnlyWiped, fs::perms::owner_read);

  EXPECT_EQ(EraseFile("C:\\data\\plain.txt", Overwrite::Off, WipePattern::WipeRandom, {}), 6);
  EXPECT_EQ(EraseFile("C:\\data\\empty.txt", Overwrite::On, WipePattern::WipeRandom, {}), 1);
  EXPECT_EQ(EraseFile("C:\\data\\ro.txt", Overwrite::Off, WipePattern::WipeOnes, {}), 4);
  EXPECT_EQ(EraseFile("C:\\data\\RO2.TXT", Overwrite::On, WipePattern::WipeOnes, {}), 5);
  for (const fs::path& file : {plain, empty, readOnly, readOnlyWiped})
    EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(test::PendingFileRenames());
}

TEST(EraseFileTest, MissingFilesAnswerZeroAndAreNeverScheduled) {
  TempMachine temp;
  for (Overwrite overwrite : {Overwrite::Off, Overwrite::On}) {
    EXPECT_EQ(EraseFile("C:\\data\\none.txt", overwrite, WipePattern::WipeOnes, {}), 0);
    EXPECT_EQ(EraseFile("C:\\none\\none.txt", overwrite, WipePattern::WipeOnes, {}), 0);
  }
  EXPECT_FALSE(test::PendingFileRenames());
}

TEST(EraseFileTest, FilesThatCannotGoNowAreScheduledForTheNextStart) {
  TempMachine temp;
  const fs::path locked = temp.WriteFile("C:\\data\\locked.dat", "secret");
  const fs::path held = temp.WriteFile("C:\\data\\held.dat", "secret");
  {
    const ScopedEraseFault fault = FailFor(EraseStep::Delete, "locked.dat");
    EXPECT_EQ(EraseFile("C:\\data\\locked.dat", Overwrite::Off, WipePattern::WipeOnes, {}), -1);
  }
  {
    // Held open by another program: with overwrite on it is not deleted with its bytes intact.
    const ScopedEraseFault fault =
        FailFor(EraseStep::OpenForOverwrite, "held.dat", ERROR_SHARING_VIOLATION);
    EXPECT_EQ(EraseFile("C:\\data\\held.dat", Overwrite::On, WipePattern::WipeOnes, {}), -1);
  }
  EXPECT_EQ(ReadHostFile(locked), "secret");
  EXPECT_EQ(ReadHostFile(held), "secret");
  EXPECT_EQ(test::PendingFileRenames(),
            "\\??\\C:\\data\\locked.dat\0\0\\??\\C:\\data\\held.dat\0\0\0"s);
}

TEST(EraseFileTest, AFileNoDriveShowsIsAFailureNotAScheduledRestart) {
  TempMachine temp;
  // Neither drive shows this folder, so no restart can name the file.
  const test::ScratchFolder elsewhere;
  const std::string file = elsewhere.Write("stuck.dat", "secret");
  const ScopedEraseFault fault = FailFor(EraseStep::Delete, "stuck.dat");
  EXPECT_EQ(EraseFile(file, Overwrite::Off, WipePattern::WipeOnes, {}), kEraseNothing);
  EXPECT_TRUE(EraseFailed(kEraseNothing));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  RecordingTally tally;
  EXPECT_FALSE(EraseFileList({file, elsewhere / "none.dat"}, Overwrite::Off, WipePattern::WipeOnes,
                             {}, &tally));
  EXPECT_TRUE(tally.scheduled.empty());
  ASSERT_EQ(tally.failed.size(), 1u);  // the missing file is no failure
  EXPECT_EQ(tally.failed[0].items, 1u);
  EXPECT_FALSE(test::PendingFileRenames());
  EXPECT_EQ(ReadHostFile(file), "secret");
}

TEST(EraseFileTest, AnOverwriteThatDidNotReachTheDiskDoesNotCount) {
  TempMachine temp;
  const fs::path file = temp.WriteFile("C:\\data\\unsynced.dat", "secret");
  const ScopedEraseFault fault = FailFor(EraseStep::Sync, "unsynced.dat", ERROR_WRITE_FAULT);
  EXPECT_EQ(EraseFile("C:\\data\\unsynced.dat", Overwrite::On, WipePattern::WipeOnes, {}),
            kEraseAtRestart);
  EXPECT_TRUE(fs::exists(file));
}

TEST(EraseFileTest, AHardLinkedFileIsDeletedWithoutOverwritingItsOtherNames) {
  TempMachine temp;
  const fs::path witness = temp.HostRoot() / "backup" / "shared.txt";
  WriteHostFile(witness, "kept elsewhere");
  const fs::path inside = temp.Host("C:\\data") / "shared.txt";
  fs::create_directories(inside.parent_path());
  fs::create_hard_link(witness, inside);
  EXPECT_EQ(EraseFile("C:\\data\\shared.txt", Overwrite::On, WipePattern::WipeRandom, {}), 15);
  EXPECT_FALSE(fs::exists(inside));
  EXPECT_EQ(ReadHostFile(witness), "kept elsewhere");
}

TEST(EraseFileTest, ACancelledOverwriteKeepsTheFile) {
  TempMachine temp;
  const fs::path big = temp.WriteFile("C:\\data\\big.bin", std::string(400'000, 'A'));
  EXPECT_EQ(
      EraseFile("C:\\data\\big.bin", Overwrite::On, WipePattern::WipeRandom, [] { return true; }),
      0);
  EXPECT_TRUE(fs::exists(big));
  EXPECT_FALSE(test::PendingFileRenames());
}

TEST(EraseFileTest, ALinkIsDeletedAsALinkAndItsTargetIsNeverWritten) {
  TempMachine temp;
  const fs::path target = temp.HostRoot() / "home" / "thesis.doc";
  WriteHostFile(target, "years of work");
  fs::permissions(target, fs::perms::owner_read);
  const fs::path link = temp.Host("C:\\data\\thesis.doc");
  fs::create_directories(link.parent_path());
  fs::create_symlink(target, link);

  EXPECT_EQ(EraseFile("C:\\data\\thesis.doc", Overwrite::On, WipePattern::WipeOnes, {}), 1);
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(ReadHostFile(target), "years of work");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(EraseFileTest, APathLongerThanWindowsAllowsIsRefused) {
  TempMachine temp;
  const std::string name(270, 'n');
  EXPECT_EQ(EraseFile("C:\\" + name, Overwrite::Off, WipePattern::WipeOnes, {}), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

class EraseFileListTest : public ::testing::Test {
 protected:
  std::vector<std::string> MakeFiles(int count) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      files.push_back("C:\\list\\f" + std::to_string(i) + ".txt");
      temp_.WriteFile(files.back(), "ab");
    }
    return files;
  }
  TempMachine temp_;
};

TEST_F(EraseFileListTest, TheTallyHearsBatchesOfTwentyFiles) {
  const std::vector<std::string> files = MakeFiles(45);
  RecordingTally tally;
  int polls = 0;
  EXPECT_TRUE(EraseFileList(
      files, Overwrite::Off, WipePattern::WipeOnes, [&] { return ++polls < 0; }, &tally));
  EXPECT_EQ(Items(tally.done), (std::vector<std::uint32_t>{20, 20, 5}));
  EXPECT_EQ(tally.done[0].bytes, 40u);
  EXPECT_EQ(polls, 2);
  EXPECT_TRUE(fs::is_empty(temp_.Host("C:\\list")));

  // Without a cancel check the same batches; an empty list still reports its (empty) batch.
  RecordingTally quiet;
  EXPECT_TRUE(EraseFileList(MakeFiles(45), Overwrite::On, WipePattern::WipeOnes, {}, &quiet));
  EXPECT_EQ(Items(quiet.done), (std::vector<std::uint32_t>{20, 20, 5}));
  RecordingTally none;
  EXPECT_TRUE(EraseFileList({}, Overwrite::Off, WipePattern::WipeOnes, {}, &none));
  EXPECT_EQ(Items(none.done), (std::vector<std::uint32_t>{0}));
}

TEST_F(EraseFileListTest, CancellingStopsAtTheNextBatch) {
  const std::vector<std::string> files = MakeFiles(45);
  RecordingTally tally;
  EXPECT_FALSE(EraseFileList(
      files, Overwrite::Off, WipePattern::WipeOnes, [] { return true; }, &tally));
  // The first batch went out when the run was asked; nothing is pending after it.
  EXPECT_EQ(Items(tally.done), (std::vector<std::uint32_t>{20, 0}));
  EXPECT_FALSE(fs::exists(temp_.Host("C:\\list\\f19.txt")));
  EXPECT_TRUE(fs::exists(temp_.Host("C:\\list\\f20.txt")));
}

TEST_F(EraseFileListTest, AFailedFileMakesTheListFailAndTellsTheTallyOfTheRestart) {
  std::vector<std::string> files = MakeFiles(3);
  files.insert(files.begin() + 1, "C:\\list\\gone.txt");
  const ScopedEraseFault fault = FailFor(EraseStep::Delete, "f2.txt");
  RecordingTally tally;
  EXPECT_FALSE(EraseFileList(files, Overwrite::Off, WipePattern::WipeOnes, {}, &tally));
  EXPECT_EQ(Items(tally.done), (std::vector<std::uint32_t>{2}));
  EXPECT_EQ(tally.scheduled, (std::vector<std::string>{"C:\\list\\f2.txt"}));
  EXPECT_TRUE(tally.failed.empty());

  DeletionAccumulator accumulator;
  EXPECT_FALSE(
      EraseFileList({"C:\\list\\f2.txt"}, Overwrite::Off, WipePattern::WipeOnes, {}, &accumulator));
  EXPECT_EQ(accumulator.ScheduledAtRestart(), 1u);
  // Registered once, however often it failed.
  EXPECT_EQ(test::PendingFileRenames(), "\\??\\C:\\list\\f2.txt\0\0\0"s);
}

}  // namespace
}  // namespace corvane
