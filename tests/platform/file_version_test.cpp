// Version blocks of real PE files made by mingw-w64 (tests/fixtures/version/make-fixtures.sh)
// and of our own ELF executables.

#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

const std::string kFixtures = std::string(CORVANE_FIXTURES_DIR) + "/version/";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FileVersionTest, VersionResourceOfPeFiles) {
  // File version 1.2.3.4, product version 5.6.7.8: the text mixes them as the version string
  // always has (product major, file minor, file build, product revision).
  for (const char* name : {"with-version.exe", "with-version-32.exe"}) {
    const auto block = ReadFixedFileVersion(kFixtures + name);
    ASSERT_TRUE(block) << name;
    EXPECT_EQ(block->fileVersionMS, 0x00010002u);
    EXPECT_EQ(block->fileVersionLS, 0x00030004u);
    EXPECT_EQ(block->productVersionMS, 0x00050006u);
    EXPECT_EQ(block->productVersionLS, 0x00070008u);
    EXPECT_EQ(GetFileVersionString(kFixtures + name), "5.2.3.8");
  }
  EXPECT_EQ(GetFileVersionString(kFixtures + "without-version.exe"), "0.0.0.0");
  EXPECT_EQ(GetFileVersionString(kFixtures + "no-such-file.exe"), "0.0.0.0");
}

TEST(FileVersionTest, OurExecutablesCarryTheProjectVersion) {
  const std::string own = OwnExecutablePath();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(GetFileVersionString(own), CORVANE_VERSION_TEXT);
  const std::string program = std::string(CORVANE_PROGRAM_DIR) + "/CorvaneErase";
  ASSERT_TRUE(std::filesystem::exists(program));
  EXPECT_EQ(GetFileVersionString(program), CORVANE_VERSION_TEXT);
  EXPECT_EQ(GetFileVersionString(program), CORVANE_VERSION_TEXT);  // the kept answer
}

TEST(FileVersionTest, DamagedFilesGiveNoVersionAndNoCrash) {
  test::ScratchFolder folder;
  const std::string good = ReadAll(kFixtures + "with-version.exe");
  const std::string elf = ReadAll(OwnExecutablePath());
  const std::string path = folder / "damaged";
  auto write = [&](const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  };
  // Every cut of the PE file, and every 4-byte field of its headers set to 0xFFFFFFFF.
  for (std::size_t length = 0; length < good.size(); length += 7) {
    write(good.substr(0, length));
    const auto block = ReadFixedFileVersion(path);
    if (block) {
      EXPECT_EQ(block->fileVersionMS, 0x00010002u);
    }
  }
  for (std::size_t at = 0; at + 4 <= 1024; at += 4) {
    std::string bytes = good;
    bytes.replace(at, 4, "\xff\xff\xff\xff");
    write(bytes);
    static_cast<void>(ReadFixedFileVersion(path));
  }
  // The ELF header's section table pointing past the end.
  std::string bytes = elf.substr(0, 4096);
  write(bytes);
  EXPECT_FALSE(ReadFixedFileVersion(path));
  bytes = elf;
  bytes.replace(0x28, 8, "\xff\xff\xff\xff\xff\xff\xff\x7f");
  write(bytes);
  EXPECT_FALSE(ReadFixedFileVersion(path));
}

}  // namespace
}  // namespace corvane
