#include "tools/pld/pld_text.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// A definition that uses every field and section, with text that needs quoting.
CustomDefinition FullDefinition() {
  CustomDefinition d;
  d.name = "Caf\u00e9 \u20ac";
  d.description = "  two\nlines \"quoted\"\t";
  d.defaultEnabled = 1;
  d.number = -7;
  CustomFileItem tree;
  tree.path = "%AppData%\\Caf\u00e9\\";
  tree.kind = kCustomItemFolderTree;
  tree.masks = "*.tmp|*.log";
  tree.flagA = 0xFE;
  tree.overwrite = 1;
  tree.flagC = 0x80;
  for (std::size_t i = 0; i < tree.date.size(); ++i) tree.date[i] = static_cast<std::uint8_t>(i);
  tree.number = 0x12345678;
  tree.exclusions = {"keep.tmp", " spaced ", ""};
  tree.names = {"one", ""};
  CustomFileItem odd;
  odd.path = "[PATH_SYS_TEMP]a.txt";
  odd.kind = 99;
  CustomFileItem file;
  file.path = "\"C:\\quoted\"";
  CustomFileItem folder;
  folder.kind = kCustomItemFolderFiles;
  folder.path = "C:\\f";
  d.files = {tree, odd, file, folder};
  d.registry = {{"Software\\App\\Recent", "File1", 0x80000001u, 0, "", 0},
                {"Software\\App", "", 0x80000002u, kCustomItemFolderTree, "Url*", 0},
                {"K", "", 0x80000000u, kCustomItemFolderFiles, "*", 0},
                {"K", "V", 0x12345678u, -1, "p", 0}};
  d.texts1 = {"a"};
  d.texts3 = {"b", "\u00fc"};
  d.pairs = {{"p", "q", -1}, {"", "", 0}};
  d.entries = std::vector<CustomEntryRecord>{{"e1", "e2", 1, 2, "e3", "e4", 3, 4}};
  d.groups = std::vector<CustomGroupRecord>{{"g", 5, {"x", "y"}}, {"h", 6, {}}};
  d.trailer = CustomTrailer{42, "tail"};
  d.finalText = "the end";
  return d;
}

std::optional<CustomDefinition> Parse(std::string_view text, PldTextError* error = nullptr) {
  return ParsePldText(text, error);
}

TEST(PldTextTest, EveryFieldSurvivesTheReadableForm) {
  const CustomDefinition d = FullDefinition();
  const std::string text = FormatPldText(d);
  PldTextError error;
  const auto parsed = Parse(text, &error);
  ASSERT_TRUE(parsed) << error.line << ": " << error.message << "\n" << text;
  EXPECT_EQ(*parsed, d);
  EXPECT_EQ(WriteCustomDefinition(*parsed), WriteCustomDefinition(d));
}

TEST(PldTextTest, OptionalSectionsKeepTheirPresenceEvenWhenEmpty) {
  for (int kept = 0; kept <= 4; ++kept) {
    SCOPED_TRACE(kept);
    CustomDefinition d;
    d.name = "n";
    if (kept >= 1) d.entries.emplace();
    if (kept >= 2) d.groups.emplace();
    if (kept >= 3) d.trailer.emplace();
    if (kept >= 4) d.finalText.emplace();
    const auto parsed = Parse(FormatPldText(d));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, d);
  }
  // A later section implies the ones before it, as the file's order does.
  const auto parsed = Parse("[final]\ntext = x\n");
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->entries && parsed->groups && parsed->trailer);
  EXPECT_EQ(parsed->finalText, "x");
}

TEST(PldTextTest, AHandWrittenDefinitionReadsAsItSays) {
  const auto parsed = Parse(
      "# a comment\r\n"
      "; another\n"
      "name =   Spaced name  \n"
      "enabled = yes\n"
      "\n"
      "[tree]\n"
      "path = %WinDir%\\Temp\\\n"
      "masks = *.*\n"
      "overwrite = on\n"
      "exclude = a.txt\n"
      "exclude = b\\c.txt\n"
      "[registry-value]\n"
      "root = HKCU\n"
      "key = Software\\X\n"
      "value = \"  padded\\x41\"\n"
      "[registry-item]\n"
      "kind = 7\n"
      "root = 0x80000002\n");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->name, "Spaced name");
  EXPECT_EQ(parsed->defaultEnabled, 1);
  ASSERT_EQ(parsed->files.size(), 1u);
  EXPECT_EQ(parsed->files[0].kind, kCustomItemFolderTree);
  EXPECT_EQ(parsed->files[0].path, "%WinDir%\\Temp\\");  // backslashes are plain outside quotes
  EXPECT_EQ(parsed->files[0].overwrite, 1);
  EXPECT_EQ(parsed->files[0].exclusions, (std::vector<std::string>{"a.txt", "b\\c.txt"}));
  ASSERT_EQ(parsed->registry.size(), 2u);
  EXPECT_EQ(parsed->registry[0].root, HKEY_CURRENT_USER);
  EXPECT_EQ(parsed->registry[0].kind, 0);
  EXPECT_EQ(parsed->registry[0].valueName, "  paddedA");
  EXPECT_EQ(parsed->registry[1].kind, 7);
  EXPECT_EQ(parsed->registry[1].root, HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(parsed->entries);
}

TEST(PldTextTest, MistakesAreRefusedWithTheirLine) {
  const std::pair<std::string_view, std::size_t> cases[] = {
      {"[nonsense]\n", 1},
      {"name = a\nname = b\n", 2},    // given twice
      {"colour = red\n", 1},          // unknown key
      {"number = 12x\n", 1},          // not a number
      {"number = 99999999999\n", 1},  // beyond 32 bits
      {"enabled = 256\n", 1},         // not a byte
      {"name = \u4e2d\n", 1},         // Windows-1252 cannot hold it
      {"name = \"open\n", 1},         // unterminated quote
      {"name = \"bad \\q\"\n", 1},    // unknown escape
      {"name = \"short \\x4\"\n", 1},
      {"just words\n", 1},
      {"[tree\n", 1},
      {"[tree]\nmasks = *\n\n[file]\npath = x\n", 4},  // the tree has no path
      {"[file]\npath = x\nkind = 2\n", 3},             // the kind is the section's
      {"[file-item]\npath = x\n", 3},                  // needs a kind (checked at its end)
      {"[registry-value]\nroot = HKEY_NOWHERE\n", 2},
      {"[file]\npath = x\ndate = 00\n", 3},
      {"[trailer]\n[trailer]\n", 2},
      {"optional-sections = 5\n", 1},
  };
  for (const auto& [text, line] : cases) {
    SCOPED_TRACE(text);
    PldTextError error;
    EXPECT_FALSE(Parse(text, &error));
    EXPECT_EQ(error.line, line);
    EXPECT_FALSE(error.message.empty());
  }
}

// The definitions shipped in data/CustomPlugins are made from these sources
// (scripts/make-custom-plugins); the committed files must match them.
TEST(PldTextTest, TheShippedDefinitionsAreTheirSourcesCompiled) {
  const fs::path sources = fs::path(CORVANE_SOURCE_DIR) / "tools" / "pld" / "samples";
  const fs::path shipped = fs::path(CORVANE_SOURCE_DIR) / "data" / "CustomPlugins";
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(sources)) {
    if (entry.path().extension() != ".txt") continue;
    ++count;
    SCOPED_TRACE(entry.path().filename().string());
    PldTextError error;
    const auto definition = Parse(ReadHostFile(entry.path()), &error);
    ASSERT_TRUE(definition) << error.line << ": " << error.message;
    EXPECT_FALSE(definition->name.empty());
    EXPECT_FALSE(definition->files.empty() && definition->registry.empty());
    const fs::path pld = shipped / (entry.path().stem().string() + ".pld");
    EXPECT_EQ(ReadHostFile(pld), WriteCustomDefinition(*definition))
        << "run scripts/make-custom-plugins";
  }
  EXPECT_GE(count, 3u);
  for (const auto& entry : fs::directory_iterator(shipped)) {
    if (entry.path().extension() != ".pld") continue;
    EXPECT_TRUE(fs::exists(sources / (entry.path().stem().string() + ".txt")))
        << entry.path() << " has no source";
  }
}

int RunTool(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PldTextTest, TheToolCompilesChecksAndDumps) {
  TempDir dir;
  const std::string tool = CORVANE_PLD_TOOL;
  const fs::path source = dir.Path() / "def.txt";
  const fs::path pld = dir.Path() / "def.pld";
  const fs::path dumped = dir.Path() / "dumped.txt";
  const std::string text = FormatPldText(FullDefinition());
  WriteHostFile(source, text);
  const std::string quiet = " >/dev/null 2>&1";
  ASSERT_EQ(RunTool(tool + " compile " + source.string() + " " + pld.string() + quiet), 0);
  EXPECT_EQ(ReadHostFile(pld), WriteCustomDefinition(FullDefinition()));
  EXPECT_EQ(RunTool(tool + " check " + pld.string() + quiet), 0);
  ASSERT_EQ(RunTool(tool + " dump " + pld.string() + " " + dumped.string() + quiet), 0);
  EXPECT_EQ(ReadHostFile(dumped), text);

  WriteHostFile(dir.Path() / "bad.txt", "[nonsense]\n");
  EXPECT_EQ(RunTool(tool + " compile " + (dir.Path() / "bad.txt").string() + " " +
                    (dir.Path() / "bad.pld").string() + quiet),
            1);
  EXPECT_FALSE(fs::exists(dir.Path() / "bad.pld"));
  WriteHostFile(dir.Path() / "short.pld", ReadHostFile(pld).substr(0, 30));
  EXPECT_EQ(RunTool(tool + " check " + (dir.Path() / "short.pld").string() + quiet), 1);
  EXPECT_EQ(RunTool(tool + quiet), 2);
}

}  // namespace
}  // namespace corvane
