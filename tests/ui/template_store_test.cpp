#include "ui/template_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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
  std::string program_ = scratch_ / "My Programs #1/\xC3\x89rase%";
};

TEST_F(TemplateStoreTest, LoadReadsBelowTheProgramFolderWithEitherSeparator) {
  scratch_.Write("secret.html", "outside");
  const std::string scan = scratch_.Write(program_ + "/html/English/btn_scan.html", "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("html/English/btn_scan.html"), "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("\\html\\English/btn_scan.html"), "<b>Scan</b>");
  EXPECT_EQ(TemplateStore::Load("html\\..\\..\\..\\secret.html"), "");
  scratch_.Write(scan, "edited");  // nothing is cached
  EXPECT_EQ(TemplateStore::Load("html/English/btn_scan.html"), "edited");
}

TEST_F(TemplateStoreTest, EmptyMissingAndNonFileTemplatesAllReadAsEmpty) {
  scratch_.Write(program_ + "/empty.html", "");
  std::filesystem::create_directories(program_ + "/folder.html");
  ASSERT_EQ(::mkfifo((program_ + "/fifo.html").c_str(), 0600), 0);
  for (const char* name : {"empty.html", "missing.html", "folder.html", "fifo.html"}) {
    EXPECT_EQ(TemplateStore::Load(name), "") << name;  // and a FIFO does not block
  }
}

TEST_F(TemplateStoreTest, ByteOrderMarkStaysAndInvalidBytesAreReplaced) {
  scratch_.Write(program_ + "/bom.html", "\xEF\xBB\xBF<p>\xC3\xA9</p>");
  scratch_.Write(program_ + "/bad.html", std::string("a\xFF\xC3\0b", 5));
  EXPECT_EQ(TemplateStore::Load("bom.html"), "\xEF\xBB\xBF<p>\xC3\xA9</p>");
  EXPECT_EQ(TemplateStore::Load("bad.html"), std::string("a\xEF\xBF\xBD\xEF\xBF\xBD\0b", 9));
}

TEST_F(TemplateStoreTest, PageUrlIsAPercentEncodedFileUri) {
  const std::string url = TemplateStore::PageUrl("Common\\layout.html");
  EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
  std::string decoded;  // decoding gives back the page's host path
  for (std::size_t i = 7; i < url.size(); ++i) {
    if (url[i] == '%') {
      decoded += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      EXPECT_EQ(std::string(" #%\xC3\x89").find(url[i]), std::string::npos) << url;
      decoded += url[i];
    }
  }
  EXPECT_EQ(decoded, program_ + "/html/Common/layout.html");
  EXPECT_NE(url.find("/My%20Programs%20%231/%C3%89rase%25/html/Common/layout.html"),
            std::string::npos);
  EXPECT_EQ(TemplateStore::PageUrl("..\\..\\etc\\passwd"), "");
}

TEST(TemplateReplaceTest, LeftToRightWithoutOverlapOrRescanning) {
  std::string text = "<td>#name#</td><td>#name#</td>";
  EXPECT_EQ(TemplateStore::Replace(text, "#name#", "a #name# b"), 2u);
  EXPECT_EQ(text, "<td>a #name# b</td><td>a #name# b</td>");
  text = "#a#a#a#";  // the middle "a" belongs to neither match
  EXPECT_EQ(TemplateStore::Replace(text, "#a#", "X"), 2u);
  EXPECT_EQ(text, "XaX");
  text = "#Rows# #rows";
  EXPECT_EQ(TemplateStore::Replace(text, "#rows#", "x"), 0u);  // case matters
  EXPECT_EQ(TemplateStore::Replace(text, "", "x"), 0u);
  EXPECT_EQ(text, "#Rows# #rows");
}

TEST(TemplateListTest, RowsGoIntoEveryListPlaceholder) {
  const std::vector<TemplateStore::Replacements> rows = {
      {{"#pluginid#", "RecycleBin"}, {"#pluginname#", "Bin"}},
      {{"#pluginid#", "#rows#"}, {"#pluginname#", "#pluginid#"}},
  };
  const std::string filled = "<tr id=\"RecycleBin\">Bin</tr><tr id=\"#rows#\">#pluginid#</tr>";
  EXPECT_EQ(TemplateStore::BuildList("<table>#rows#</table>#rows#",
                                     "<tr id=\"#pluginid#\">#pluginname#</tr>", "#rows#", rows),
            "<table>" + filled + "</table>" + filled);
  EXPECT_EQ(TemplateStore::BuildList("<div>#plugins#</div>", "<b/>", "#plugins#", {}),
            "<div></div>");
}

}  // namespace
}  // namespace corvane
