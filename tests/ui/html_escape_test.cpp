#include "ui/html_escape.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(HtmlEscapeTest, PathsMayBreakAfterTheirSeparatorsOnly) {
  EXPECT_EQ(HtmlEscapePath("C:\\users\\<ann>/a b.txt"),
            "C:\\<wbr>users\\<wbr>&lt;ann&gt;/<wbr>a b.txt");
  EXPECT_EQ(HtmlEscapePath(""), "");
  EXPECT_EQ(HtmlEscapeName("tracker.example.net/<a>"),
            "tracker.<wbr>example.<wbr>net/<wbr>&lt;a&gt;");
}

TEST(HtmlEscapeTest, MarkupCharactersBecomeReferences) {
  EXPECT_EQ(HtmlEscape("<img src=x onerror='a(\"b\")'>&"),
            "&lt;img src=x onerror=&#39;a(&quot;b&quot;)&#39;&gt;&amp;");
  // Escaping is not idempotent on purpose: data that looks escaped is still data.
  EXPECT_EQ(HtmlEscape("&amp;"), "&amp;amp;");
  EXPECT_EQ(HtmlEscape("C:\\Users\\\xC3\xA9l\xC3\xA8ve #rows# 100%"),
            "C:\\Users\\\xC3\xA9l\xC3\xA8ve #rows# 100%");
}

}  // namespace
}  // namespace corvane
