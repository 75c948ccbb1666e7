#include "engine/waip_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/erase_fault.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kSeed = 20260;

// The bytes an overwrite must leave, built the slow way: a buffer of 16-bit units (random) or
// bytes (ones), and one write of min(run, rest) bytes from the buffer's start after another.
std::string ExpectedBytes(WipePattern pattern, std::size_t size) {
  std::string bytes;
  if (pattern == WipePattern::WipeOnes) {
    while (bytes.size() < size)
      bytes.append(std::min<std::size_t>(65'536, size - bytes.size()), '\xFF');
    return bytes;
  }
  const std::size_t run = size >= 4'352 && size < 69'632 ? 4'096 : 256;
  std::vector<std::uint16_t> units(run, 0);
  std::srand(kSeed);
  for (std::size_t i = 0; i < std::min(run, size); ++i)
    units[i] = static_cast<std::uint16_t>(std::rand() % 256);
  const auto* buffer = reinterpret_cast<const char*>(units.data());  // little-endian, as on disk
  while (bytes.size() < size) bytes.append(buffer, std::min(run, size - bytes.size()));
  return bytes;
}

std::uint64_t Wipe(const std::string& path, WipePattern pattern, const CancelCheck& cancel = {}) {
  std::srand(kSeed);
  return WaipFile(path, pattern, cancel);
}

TEST(WaipFileTest, EachPatternLeavesExactlyItsBytesAtEverySize) {
  TempMachine temp;
  // Around the random pattern's run changes (4,352 and 69,632), a cancel poll (150,000) and a
  // ones write (65,536).
  for (std::size_t size :
       {1u, 2u, 255u, 257u, 4'351u, 4'352u, 69'631u, 69'632u, 65'537u, 150'001u, 1'300'001u}) {
    for (WipePattern pattern : {WipePattern::WipeOnes, WipePattern::WipeRandom}) {
      SCOPED_TRACE(std::to_string(size) + (pattern == WipePattern::WipeOnes ? " ones" : " random"));
      const fs::path host = temp.WriteFile("C:\\data\\f.bin", std::string(size, 'A'));
      EXPECT_EQ(Wipe("C:\\data\\f.bin", pattern, [] { return false; }), size + 1);
      EXPECT_EQ(ReadHostFile(host), ExpectedBytes(pattern, size));
    }
  }
}

TEST(WaipFileTest, AnEmptyFileIsOpenedAndLeftEmpty) {
  TempMachine temp;
  const fs::path host = temp.WriteFile("C:\\data\\empty", "");
  EXPECT_EQ(WaipFile("C:\\data\\empty", WipePattern::WipeRandom, {}), 1u);
  EXPECT_EQ(fs::file_size(host), 0u);
}

// Run by run, the pass asks after every 587th write of 256 bytes (every 150,272 bytes), and for
// ones after every 4th write of 65,536 bytes; bigger writes must keep those points.
TEST(WaipFileTest, CancellingStopsAtTheSamePollPointsAsRunSizedWrites) {
  TempMachine temp;
  struct Case {
    WipePattern pattern;
    std::size_t run;
    std::size_t period;
  };
  for (const Case& c : {Case{WipePattern::WipeRandom, 256, 150'272},
                        Case{WipePattern::WipeOnes, 65'536, 262'144}}) {
    constexpr std::size_t kSize = 1'000'000;
    const fs::path host = temp.WriteFile("C:\\data\\big.bin", std::string(kSize, 'A'));
    int polls = 0;
    EXPECT_EQ(Wipe("C:\\data\\big.bin", c.pattern, [&] { return ++polls == 2; }), 0u);
    EXPECT_EQ(polls, 2);
    const std::string bytes = ReadHostFile(host);
    ASSERT_EQ(bytes.size(), kSize);
    EXPECT_EQ(bytes.substr(0, 2 * c.period),
              ExpectedBytes(c.pattern, kSize).substr(0, 2 * c.period));
    EXPECT_EQ(bytes.substr(2 * c.period), std::string(kSize - 2 * c.period, 'A'));

    // Uncancelled, the pass asks after each period's last run-sized write that it makes.
    polls = 0;
    EXPECT_EQ(Wipe("C:\\data\\big.bin", c.pattern, [&] { return ++polls == 0; }), kSize + 1);
    EXPECT_EQ(polls, static_cast<int>((kSize + c.run - 1) / c.period));
  }
}

TEST(WaipFileTest, FilesThatCannotBeWrittenAreNotOverwritten) {
  TempMachine temp;
  EXPECT_EQ(WaipFile("C:\\data\\none.bin", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  const fs::path readOnly = temp.WriteFile("C:\\data\\ro.bin", "keep");
  fs::permissions(readOnly, fs::perms::owner_read);
  EXPECT_EQ(WaipFile("C:\\data\\ro.bin", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(ReadHostFile(readOnly), "keep");

  // Never through a link: its target may be anything of the user's.
  const fs::path target = temp.HostRoot() / "home" / "thesis.doc";
  WriteHostFile(target, "years of work");
  fs::create_symlink(target, temp.Host("C:\\data\\link.doc"));
  EXPECT_EQ(WaipFile("C:\\data\\link.doc", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(ReadHostFile(target), "years of work");

  // A write that fails half way ends the pass unfinished.
  temp.WriteFile("C:\\data\\f.bin", std::string(3'000'000, 'A'));
  int writes = 0;
  const ScopedEraseFault fault([&](EraseStep step, std::string_view) -> DWORD {
    return step == EraseStep::Write && ++writes == 2 ? ERROR_DISK_FULL : ERROR_SUCCESS;
  });
  EXPECT_EQ(WaipFile("C:\\data\\f.bin", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

TEST(WaipFileTest, AnOverwriteCountsOnlyOnceItIsSynced) {
  TempMachine temp;
  temp.WriteFile("C:\\data\\f.bin", std::string(1000, 'A'));
  std::vector<EraseStep> steps;
  bool syncFails = false;
  const ScopedEraseFault fault([&](EraseStep step, std::string_view) -> DWORD {
    steps.push_back(step);
    return step == EraseStep::Sync && syncFails ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
  });
  EXPECT_EQ(WaipFile("C:\\data\\f.bin", WipePattern::WipeOnes, {}), 1001u);
  EXPECT_EQ(steps, (std::vector<EraseStep>{EraseStep::OpenForOverwrite, EraseStep::Write,
                                           EraseStep::Sync}));
  syncFails = true;
  EXPECT_EQ(WaipFile("C:\\data\\f.bin", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
}

TEST(WaipFileTest, AFileWithOtherHardLinksIsNeverOverwritten) {
  TempMachine temp;
  const fs::path file = temp.WriteFile("C:\\data\\f.bin", "shared bytes");
  const fs::path other = temp.HostRoot() / "backup.bin";
  fs::create_hard_link(file, other);
  EXPECT_EQ(WaipFile("C:\\data\\f.bin", WipePattern::WipeOnes, {}), 0u);
  EXPECT_EQ(ReadHostFile(other), "shared bytes");
}

}  // namespace
}  // namespace corvane
