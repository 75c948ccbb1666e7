#include "platform/shell/shell_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

fs::path Fixture(std::string_view name) {
  return fs::path(CORVANE_FIXTURES_DIR) / "shell" / "recent" /
         fs::path(std::u8string(name.begin(), name.end()));
}

std::string Bytes(std::string_view name) {
  return ReadHostFile(Fixture(name));
}

void PutU16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
std::uint32_t U32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}
std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

// Where the link information of a link with an item-ID list starts.
std::size_t LinkInfoAt(const std::string& bytes) {
  return 0x4C + 2 + U16(bytes, 0x4C);
}

// Shortcuts Wine's shell wrote for SHAddToRecentDocs (tests/fixtures/shell/make-shell-traces.sh).
TEST(ShellLinkTest, ReadsTheShortcutsWineWrites) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"report.txt.lnk", "C:\\docs\\report.txt"},
      {"Budget 2024.xls.lnk", "C:\\docs\\Budget 2024.xls"},
      {"Ünïcödé.doc.lnk", "C:\\docs\\Ünïcödé.doc"},
      {"noextension.lnk", "C:\\docs\\noextension"},
      {"Project Folder.lnk", "C:\\docs\\Project Folder"},
      {"deleted later.txt.lnk", "C:\\docs\\deleted later.txt"},
  };
  for (const auto& [file, target] : expected) {
    std::string error;
    const auto link = ReadShellLink(Fixture(file), &error);
    ASSERT_TRUE(link) << file << ": " << error;
    EXPECT_EQ(link->targetPath, target) << file;
    EXPECT_EQ(link->name, "Shortcut to " + target.substr(target.rfind('\\') + 1)) << file;
  }
}

// Without its link information the same target comes from the item-ID list, as Wine wrote it
// (My Computer, the drive, then the names).
TEST(ShellLinkTest, TheItemIdListAloneGivesTheTarget) {
  for (const char* file : {"report.txt.lnk", "Ünïcödé.doc.lnk", "Project Folder.lnk"}) {
    std::string bytes = Bytes(file);
    const std::size_t info = LinkInfoAt(bytes);
    const std::uint32_t infoSize = U32(bytes, info);
    bytes.erase(info, infoSize);
    PutU32(bytes, 20, U32(bytes, 20) & ~0x2u);
    const auto link = ParseShellLink(bytes);
    ASSERT_TRUE(link) << file;
    EXPECT_EQ(link->targetPath, ParseShellLink(Bytes(file))->targetPath) << file;
  }
}

TEST(ShellLinkTest, BadShortcutsAreRefusedWithoutReadingPastTheirEnd) {
  const std::string good = Bytes("report.txt.lnk");
  // Every cut: whatever parses must not claim more than the bytes hold.
  for (std::size_t size = 0; size < good.size(); ++size) {
    const std::string cut = good.substr(0, size);
    const auto link = ParseShellLink(cut);
    if (size < 0x100) {
      EXPECT_FALSE(link) << size;
    }
  }
  std::string error;
  EXPECT_FALSE(ParseShellLink("", &error));
  EXPECT_FALSE(error.empty());

  std::string lying = good;
  PutU16(lying, 0x4C, 0xFFFF);  // an item-ID list larger than the file
  EXPECT_FALSE(ParseShellLink(lying));

  lying = good;
  PutU32(lying, LinkInfoAt(good), 0xFFFFFFF0);  // link information larger than the file
  EXPECT_FALSE(ParseShellLink(lying));

  lying = good;
  PutU32(lying, LinkInfoAt(good) + 16, 0x7FFFFFFF);  // its local path far outside it
  PutU32(lying, LinkInfoAt(good) + 4, 0x1C);         // and only the ANSI offsets
  EXPECT_FALSE(ParseShellLink(lying));

  lying = good;
  lying[0] = 0x4D;  // another header size
  EXPECT_FALSE(ParseShellLink(lying));

  // An item that claims to run past its list, and one of size 0 right away (the list's end).
  std::string items = good;
  items.erase(LinkInfoAt(good), U32(good, LinkInfoAt(good)));
  PutU32(items, 20, U32(items, 20) & ~0x2u);
  PutU16(items, 0x4C + 2, 0x7FFF);
  const auto noItems = ParseShellLink(items);
  ASSERT_TRUE(noItems);
  EXPECT_EQ(noItems->targetPath, "");
  PutU16(items, 0x4C + 2, 0);
  EXPECT_TRUE(ParseShellLink(items));

  // A string count past the end, and extra blocks that would loop or overrun.
  std::string strings = good;
  const std::size_t nameAt = LinkInfoAt(good) + U32(good, LinkInfoAt(good));
  PutU16(strings, nameAt, 0xFFFF);
  EXPECT_FALSE(ParseShellLink(strings));
  std::string extra = good + std::string("\x04\x00\x00\x00", 4);
  EXPECT_TRUE(ParseShellLink(extra));
  extra = good.substr(0, good.size() - 4) + std::string("\xFF\xFF\xFF\x0F\x01\x00\x00\xA0", 8);
  EXPECT_EQ(ParseShellLink(extra)->targetPath, "C:\\docs\\report.txt");
}

// A link holding only the environment-variable block names its target there.
TEST(ShellLinkTest, TheEnvironmentBlockIsKeptUnexpanded) {
  std::string bytes = Bytes("report.txt.lnk").substr(0, 0x4C);
  PutU32(bytes, 20, 0x200);  // HasExpString only
  std::string block(8 + 260 + 520, '\0');
  PutU32(block, 0, static_cast<std::uint32_t>(block.size()));
  PutU32(block, 4, 0xA0000001);
  const std::string ansi = "%USERPROFILE%\\a.txt";
  block.replace(8, ansi.size(), ansi);
  bytes += block + std::string(4, '\0');
  const auto link = ParseShellLink(bytes);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->targetPath, "");
  EXPECT_EQ(link->environmentTarget, "%USERPROFILE%\\a.txt");
}

TEST(ShellLinkTest, OnlyARegularFileIsRead) {
  TempDir dir;
  const fs::path link = dir.Path() / "a.lnk";
  fs::copy_file(Fixture("report.txt.lnk"), link);
  EXPECT_TRUE(ReadShellLink(link));
  fs::create_symlink(link, dir.Path() / "b.lnk");
  EXPECT_FALSE(ReadShellLink(dir.Path() / "b.lnk"));
  ASSERT_EQ(::mkfifo((dir.Path() / "c.lnk").c_str(), 0600), 0);
  EXPECT_FALSE(ReadShellLink(dir.Path() / "c.lnk"));  // and does not hang
  WriteHostFile(dir.Path() / "d.lnk", std::string(kMaxShellLinkBytes + 1, 'L'));
  EXPECT_FALSE(ReadShellLink(dir.Path() / "d.lnk"));
}

}  // namespace
}  // namespace corvane
