#include "cleaners/custom/custom_definition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/last_error.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

std::string Le32(std::uint32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(value >> shift));
  return bytes;
}

std::string Str(std::string_view text) {
  return Le32(static_cast<std::uint32_t>(text.size())) + std::string(text);
}

// Overwrites the 32-bit field at `offset`.
void Patch(std::string& bytes, std::size_t offset, std::uint32_t value) {
  bytes.replace(offset, 4, Le32(value));
}

// A definition that uses every field and every section, with text beyond ASCII.
CustomDefinition FullDefinition() {
  CustomDefinition d;
  d.name = "Caf\u00e9 tracks \u20ac";
  d.description = "Removes \u201cleft-overs\u201d";
  d.defaultEnabled = 1;
  d.number = -7;
  CustomFileItem folder;
  folder.path = "%AppData%\\Caf\u00e9";
  folder.kind = kCustomItemFolderTree;
  folder.masks = "*.tmp|*.log";
  folder.flagA = 0xFE;
  folder.overwrite = 1;
  folder.flagC = 0x80;
  for (std::size_t i = 0; i < folder.date.size(); ++i)
    folder.date[i] = static_cast<std::uint8_t>(0xF0 + i);
  folder.number = 0x12345678;
  folder.exclusions = {"keep.tmp", "sub\\also.log"};
  folder.names = {"one", "", "three"};
  CustomFileItem file;
  file.path = "[PATH_SYS_TEMP]a.txt";
  file.kind = 99;
  d.files = {folder, file};
  d.registry = {{"Software\\App\\Recent", "File1", 0x80000001u, 0, "", 0},
                {"Software\\App", "", 0x80000002u, kCustomItemFolderTree, "Url*", 0}};
  d.texts1 = {"a"};
  d.texts2 = {};
  d.texts3 = {"b", "\u00fc"};
  d.pairs = {{"p", "q", -1}};
  d.entries = std::vector<CustomEntryRecord>{{"e1", "e2", 1, 2, "e3", "e4", 3, 4}};
  d.groups = std::vector<CustomGroupRecord>{{"g", 5, {"x", "y"}}, {"h", 6, {}}};
  d.trailer = CustomTrailer{42, "tail"};
  d.finalText = "the end";
  return d;
}

CustomDefinition WithoutTrailingSections(CustomDefinition d, int kept) {
  if (kept < 4) d.finalText.reset();
  if (kept < 3) d.trailer.reset();
  if (kept < 2) d.groups.reset();
  if (kept < 1) d.entries.reset();
  return d;
}

TEST(CustomDefinitionTest, AFullDefinitionRoundTrips) {
  const CustomDefinition d = FullDefinition();
  const std::string bytes = WriteCustomDefinition(d);
  const auto read = ReadCustomDefinition(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, d);
  EXPECT_EQ(WriteCustomDefinition(*read), bytes);
}

TEST(CustomDefinitionTest, TheLayoutIsLittleEndianFieldsInOrder) {
  CustomDefinition d;
  d.name = "N";
  d.defaultEnabled = 1;
  d.number = 0x01020304;
  CustomFileItem item;
  item.path = "P";
  item.kind = 2;
  item.masks = "*";
  item.overwrite = 1;
  item.date[0] = 0xE6;
  item.number = -2;
  item.exclusions = {"x"};
  d.files = {item};
  d.registry = {{"K", "V", 0x80000001u, 0, "", 0}};
  const std::string expected =
      Str("[&&^%&A c t i o n##]") + Str("N") + Str("") + "\x01" + Le32(0x01020304) + Le32(1) +
      Str("P") + Le32(2) + Str("*") + std::string("\0\x01\0", 3) + "\xE6" + std::string(15, '\0') +
      Le32(0xFFFFFFFE) + Le32(1) + Str("x") + Le32(0) + Le32(1) + Str("K") + Str("V") +
      Le32(0x80000001u) + Le32(0) + Str("") + Le32(0) + Le32(0) + Le32(0) + Le32(0);
  EXPECT_EQ(WriteCustomDefinition(d), expected);
  const auto read = ReadCustomDefinition(expected);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, d);
  EXPECT_EQ(read->registry[0].root, HKEY_CURRENT_USER);
}

TEST(CustomDefinitionTest, TrailingSectionsAreReadOnlyWhileBytesRemain) {
  for (int kept = 0; kept <= 4; ++kept) {
    SCOPED_TRACE(kept);
    const CustomDefinition d = WithoutTrailingSections(FullDefinition(), kept);
    const auto read = ReadCustomDefinition(WriteCustomDefinition(d));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, d);
    EXPECT_EQ(read->entries.has_value(), kept >= 1);
    EXPECT_EQ(read->finalText.has_value(), kept >= 4);
  }
  // A later section cannot be stored without the ones before it: they are written empty.
  CustomDefinition gap = WithoutTrailingSections(FullDefinition(), 0);
  gap.finalText = "only";
  const auto read = ReadCustomDefinition(WriteCustomDefinition(gap));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->entries, std::vector<CustomEntryRecord>{});
  EXPECT_EQ(read->groups, std::vector<CustomGroupRecord>{});
  EXPECT_EQ(read->trailer, CustomTrailer{});
  EXPECT_EQ(read->finalText, "only");
}

TEST(CustomDefinitionTest, EveryTruncationFailsExceptAtASectionEnd) {
  const std::string full = WriteCustomDefinition(FullDefinition());
  // The lengths at which a file legitimately ends: after section 13 and each later one.
  std::set<std::size_t> ends;
  for (int kept = 0; kept <= 3; ++kept)
    ends.insert(WriteCustomDefinition(WithoutTrailingSections(FullDefinition(), kept)).size());
  ASSERT_EQ(ends.size(), 4u);
  for (std::size_t size = 0; size < full.size(); ++size) {
    SCOPED_TRACE(size);
    const auto read = ReadCustomDefinition(std::string_view(full).substr(0, size));
    EXPECT_EQ(read.has_value(), ends.contains(size));
  }
}

TEST(CustomDefinitionTest, CountsAndLengthsBeyondTheBytesFailAtOnce) {
  CustomDefinition d;
  d.name = "N";
  d.files = {CustomFileItem{}};
  const std::string good = WriteCustomDefinition(d);
  ASSERT_TRUE(ReadCustomDefinition(good));
  const std::size_t nameLength = 24;
  const std::size_t fileCount = nameLength + 4 + 1 + 4 + 1 + 4;
  const std::size_t registryCount = fileCount + 4 + 43;
  for (const auto& [offset, value] : std::vector<std::pair<std::size_t, std::uint32_t>>{
           {nameLength, 0xFFFFFFFFu},  // a string longer than the file
           {nameLength, 0x7FFFFFFFu},
           {fileCount, 0x7FFFFFFFu},  // would allocate gigabytes before reading any item
           {fileCount, 0x80000000u},  // negative
           {fileCount, 0xFFFFFFFFu},
           {fileCount, 2},  // one item more than the bytes hold
           {registryCount, 0x10000000u},
           {registryCount, 1},
       }) {
    SCOPED_TRACE(testing::Message() << offset << " " << value);
    std::string bad = good;
    Patch(bad, offset, value);
    EXPECT_FALSE(ReadCustomDefinition(bad));
  }
  // A huge exclusion count inside an item is checked just the same.
  std::string bad = good;
  Patch(bad, registryCount - 8, 0x3FFFFFFFu);
  EXPECT_FALSE(ReadCustomDefinition(bad));
}

TEST(CustomDefinitionTest, OnlyTheExactMarkerIsADefinition) {
  const std::string good = WriteCustomDefinition(FullDefinition());
  const std::string body = good.substr(4 + kCustomDefinitionMarker.size());
  EXPECT_FALSE(ReadCustomDefinition(""));
  EXPECT_FALSE(ReadCustomDefinition(Str("[&&^%&a c t i o n##]") + body));
  EXPECT_FALSE(ReadCustomDefinition(Str("[&&^%&A c t i o n##] ") + body));
  EXPECT_FALSE(ReadCustomDefinition(Str("[&&^%&A c t i o n##") + body));
  EXPECT_FALSE(ReadCustomDefinition(Str("") + body));
  EXPECT_TRUE(ReadCustomDefinition(Str(kCustomDefinitionMarker) + body));
}

TEST(CustomDefinitionTest, TextIsWindows1252InTheFile) {
  CustomDefinition d;
  d.name = "\u20ac \u00e9\u00ff";
  d.description = "\u4e2d";  // no Windows-1252 form
  const std::string bytes = WriteCustomDefinition(d);
  EXPECT_NE(bytes.find(Str("\x80 \xE9\xFF")), std::string::npos);
  EXPECT_NE(bytes.find(Str("?")), std::string::npos);
  const auto read = ReadCustomDefinition(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->name, d.name);
  EXPECT_EQ(read->description, "?");
}

TEST(CustomDefinitionTest, ReadsAFileAndIgnoresBytesAfterTheLastSection) {
  TempDir dir;
  const std::string bytes = WriteCustomDefinition(FullDefinition());
  WriteHostFile(dir.Path() / "a.pld", bytes + "junk");
  const auto read = ReadCustomDefinitionFile((dir.Path() / "a.pld").string());
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, FullDefinition());

  WriteHostFile(dir.Path() / "short.pld", bytes.substr(0, bytes.size() - 1));
  EXPECT_FALSE(ReadCustomDefinitionFile((dir.Path() / "short.pld").string()));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(ReadCustomDefinitionFile((dir.Path() / "missing.pld").string()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(ReadCustomDefinitionFile(dir.Path().string()));
}

TEST(CustomDefinitionTest, TheHostileFixturesAreAllRefused) {
  // Made by tests/fixtures/custom/make-hostile.py; they also seed the fuzz runs.
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(CORVANE_FIXTURES_DIR) / "custom")) {
    if (entry.path().extension() != ".pld") continue;
    ++count;
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_FALSE(ReadCustomDefinitionFile(entry.path().string()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  }
  EXPECT_GE(count, 10u);
}

}  // namespace
}  // namespace corvane
