#include "cli/html_text.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(HtmlTextTest, BlocksAreLinesAndCellsStandApart) {
  EXPECT_EQ(HtmlToText("<style>td{color:red}</style><h2>What was found</h2>"
                       "<p>Two   files\n were <b>found</b>.</p>"
                       "<table><tr><th>Kind</th><th>Size</th></tr>"
                       "<tr><td>Files</td><td>3.91&nbsp;KB</td></tr></table>"
                       "<div><span>last</span><br>line</div>"),
            "What was found\nTwo files were found.\nKind   Size\nFiles  3.91\u00a0KB\n"
            "last\nline\n");
}

TEST(HtmlTextTest, TablesAreAlignedWithFiguresToTheRightAndReadAsData) {
  const std::string page =
      "<table><thead><tr><th>Name</th><th class=\"num\">Size</th><th>Path</th></tr></thead>"
      "<tbody><tr><td>a.txt</td><td class=\"num\">3.91 KB</td><td>C:\\a.txt</td></tr>"
      "<tr><td>größer.doc</td><td class=\"num\">12 B</td><td>C:\\x\\größer.doc</td></tr>"
      "<tr><td>nested</td><td><table><tr><td>inner</td></tr></table></td><td></td></tr>"
      "</tbody></table>";
  EXPECT_EQ(HtmlToText(page),
            "Name           Size  Path\n"
            "a.txt       3.91 KB  C:\\a.txt\n"
            "größer.doc     12 B  C:\\x\\größer.doc\n"
            "nested        inner\n");
  const std::vector<HtmlTable> tables = HtmlTables(page);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].header, (std::vector<std::string>{"Name", "Size", "Path"}));
  ASSERT_EQ(tables[0].rows.size(), 3u);
  EXPECT_EQ(tables[0].rows[1],
            (std::vector<std::string>{"größer.doc", "12 B", "C:\\x\\größer.doc"}));
  EXPECT_EQ(tables[0].numeric, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(tables[1].rows, (std::vector<std::vector<std::string>>{{"inner"}}));
}

TEST(HtmlTextTest, AnOverlongCellIsFoldedAndTheOtherColumnsKeepTheirPlace) {
  const std::string note =
      "C:\\users\\ann\\AppData\\Local\\Chromium\\User Data\\Default\\Preferences: site "
      "settings of 5 sites, left alone";
  HtmlTable table;
  table.header = {"Domain", "Hits"};
  table.rows = {{"beta.test", "8"}, {note, "NA"}, {std::string(60, 'x'), "1"}};
  table.numeric = {false, true};
  EXPECT_EQ(AlignedLines(table),
            (std::vector<std::string>{
                "Domain                                                    Hits",
                "beta.test                                                    8",
                "C:\\users\\ann\\AppData\\Local\\Chromium\\User Data\\Default\\      NA",
                "Preferences: site settings of 5 sites, left alone",
                std::string(56, 'x') + "     1",
                "xxxx",
            }));
}

TEST(HtmlTextTest, EmptyAndDeeplyNestedPages) {
  EXPECT_EQ(HtmlToText(""), "");
  EXPECT_EQ(HtmlToText("<p>  </p><!-- note -->"), "");
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<span>";
  EXPECT_EQ(HtmlToText(deep + "x"), "x\n");
}

}  // namespace
}  // namespace corvane
