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
            "What was found\nTwo files were found.\nKind  |  Size\nFiles  |  3.91\u00a0KB\n"
            "last\nline\n");
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
