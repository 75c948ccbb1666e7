#include "ui/template_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/program_folder.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// Each test lays out a program folder of its own.
class TemplateStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(program_); }
  void TearDown() override { SetProgramFolder(""); }

  test::ScratchFolder scratch_;
  std::string program_ = scratch_ / "Corvane Erase";
};

TEST_F(TemplateStoreTest, BothSeparatorsNameTheSameFile) {
  scratch_.Write("Corvane Erase/html/English/btn_scan.html", "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("html/English/btn_scan.html"), "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("html\\English\\btn_scan.html"), "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("html\\English/btn_scan.html"), "<b>Scan</b>");
}

TEST_F(TemplateStoreTest, EmptyMissingAndNonFileTemplatesAllReadAsEmpty) {
  scratch_.Write("Corvane Erase/html/Common/empty.html", "");
  std::filesystem::create_directories(program_ + "/html/Common/folder.html");
  ASSERT_EQ(::mkfifo((program_ + "/html/Common/fifo.html").c_str(), 0600), 0);
  EXPECT_EQ(TemplateStore::Load("html/Common/empty.html"), "");
  EXPECT_EQ(TemplateStore::Load("html/Common/missing.html"), "");
  EXPECT_EQ(TemplateStore::Load("html/Common/folder.html"), "");
  EXPECT_EQ(TemplateStore::Load("html/Common/fifo.html"), "");  // and does not block
}

TEST_F(TemplateStoreTest, ByteOrderMarkStaysAndInvalidBytesAreReplaced) {
  scratch_.Write("Corvane Erase/bom.html", "\xEF\xBB\xBF<p>\xC3\xA9</p>");
  scratch_.Write("Corvane Erase/bad.html", std::string("a\xFF\xC3", 3) + std::string("\0b", 2));
  EXPECT_EQ(TemplateStore::Load("bom.html"), "\xEF\xBB\xBF<p>\xC3\xA9</p>");
  EXPECT_EQ(TemplateStore::Load("bad.html"),
            std::string("a\xEF\xBF\xBD\xEF\xBF\xBD") + std::string("\0b", 2));
}

TEST_F(TemplateStoreTest, PathsCannotClimbOutOfTheProgramFolder) {
  scratch_.Write("secret.html", "outside");
  scratch_.Write("Corvane Erase/html/inside.html", "inside");
  EXPECT_EQ(TemplateStore::Load("../secret.html"), "");
  EXPECT_EQ(TemplateStore::Load("html\\..\\..\\secret.html"), "");
  EXPECT_EQ(TemplateStore::Load("\\html\\inside.html"), "inside");  // a leading separator stays in
}

TEST_F(TemplateStoreTest, EveryLoadReadsTheFileAgain) {
  const std::string path = scratch_.Write("Corvane Erase/hint.html", "old");
  EXPECT_EQ(TemplateStore::Load("hint.html"), "old");
  scratch_.Write("Corvane Erase/hint.html", "new");
  EXPECT_EQ(TemplateStore::Load("hint.html"), "new");
  std::filesystem::remove(path);
  EXPECT_EQ(TemplateStore::Load("hint.html"), "");
}

TEST(TemplateReplaceTest, ReplacesLeftToRightWithoutOverlapOrRescanning) {
  std::string text = "<td>#name#</td><td>#name#</td>";
  EXPECT_EQ(TemplateStore::Replace(text, "#name#", "a #name# b"), 2u);
  EXPECT_EQ(text, "<td>a #name# b</td><td>a #name# b</td>");

  text = "#a#a#a#";  // the middle "a" belongs to neither match
  EXPECT_EQ(TemplateStore::Replace(text, "#a#", "X"), 2u);
  EXPECT_EQ(text, "XaX");

  text = "##x###x##";
  EXPECT_EQ(TemplateStore::Replace(text, "##", "-"), 3u);
  EXPECT_EQ(text, "-x-#x-");
}

TEST(TemplateReplaceTest, NothingToReplaceLeavesTheTextAlone) {
  std::string text = "#Rows# #rows";
  EXPECT_EQ(TemplateStore::Replace(text, "#rows#", "x"), 0u);  // case matters
  EXPECT_EQ(TemplateStore::Replace(text, "", "x"), 0u);
  EXPECT_EQ(text, "#Rows# #rows");
  std::string empty;
  EXPECT_EQ(TemplateStore::Replace(empty, "#rows#", "x"), 0u);
  EXPECT_EQ(empty, "");
}

TEST(TemplateReplaceTest, ReplacementsApplyInTheCallersOrder) {
  std::string text = "#a#|#b#";
  TemplateStore::Fill(text, {{"#a#", "[#b#]"}, {"#b#", "B"}});
  EXPECT_EQ(text, "[B]|B");  // each step works on what the one before left
}

TEST(TemplateListTest, RowsAreFilledAndPutIntoEveryListPlaceholder) {
  const std::string outer = "<table>#rows#</table><p>#rows#</p>";
  const std::string row = "<tr pluginid=\"#pluginid#\"><td>#pluginname#</td></tr>";
  const std::vector<TemplateStore::Replacements> rows = {
      {{"#pluginid#", "RecycleBin"}, {"#pluginname#", "Bin"}},
      {{"#pluginid#", "#rows#"}, {"#pluginname#", "#pluginid#"}},
  };
  const std::string rowsHtml =
      "<tr pluginid=\"RecycleBin\"><td>Bin</td></tr>"
      "<tr pluginid=\"#rows#\"><td>#pluginid#</td></tr>";
  EXPECT_EQ(TemplateStore::BuildList(outer, row, "#rows#", rows),
            "<table>" + rowsHtml + "</table><p>" + rowsHtml + "</p>");
}

TEST(TemplateListTest, NoRowsLeaveThePlaceholderEmpty) {
  EXPECT_EQ(TemplateStore::BuildList("<div>#plugins#</div>", "<b>#pluginid#</b>", "#plugins#", {}),
            "<div></div>");
  // A missing outer template stays empty whatever the rows.
  const std::vector<TemplateStore::Replacements> rows = {{{"#pluginid#", "x"}}};
  EXPECT_EQ(TemplateStore::BuildList("", "<b>#pluginid#</b>", "#plugins#", rows), "");
}

TEST(TemplatePageUrlTest, PathIsPercentEncoded) {
  const test::ScratchFolder scratch;
  const std::string program = scratch / "My Programs #1/\xC3\x89rase%";
  SetProgramFolder(program);
  const std::string url = TemplateStore::PageUrl("Common\\layout.html");
  EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
  const std::string tail = "/My%20Programs%20%231/%C3%89rase%25/html/Common/layout.html";
  ASSERT_GE(url.size(), tail.size());
  EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
  // Decoding gives back the page's host path.
  std::string decoded;
  for (std::size_t i = 7; i < url.size(); ++i) {
    if (url[i] == '%') {
      decoded += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += url[i];
    }
  }
  EXPECT_EQ(decoded, program + "/html/Common/layout.html");
  EXPECT_EQ(TemplateStore::PageUrl("..\\..\\etc\\passwd"), "");
  SetProgramFolder("");
}

}  // namespace
}  // namespace corvane
