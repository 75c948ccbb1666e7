#include "platform/dom/html_serializer.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::dom {
namespace {

std::string Body(const ParsedDocument& parsed) {
  const Node* body = nullptr;
  WalkTree(*parsed.root, [&](const Node& node) {
    if (!node.Is("body")) return Walk::kContinue;
    body = &node;
    return Walk::kStop;
  });
  std::string out;
  if (body) SerializeChildren(*body, out);
  return out;
}

std::string BodyOf(std::string_view html) {
  return Body(ParseHtmlDocument(html));
}

TEST(HtmlSerializerTest, EscapesTextAndAttributesAsBrowsersDo) {
  EXPECT_EQ(BodyOf("<p title='a \"q\" &amp; <b>' alt=\"it's\">x &lt; y &gt; z &amp;&nbsp;'\"</p>"),
            "<p title=\"a &quot;q&quot; &amp; &lt;b&gt;\" alt=\"it's\">"
            "x &lt; y &gt; z &amp;&nbsp;'\"</p>");
}

TEST(HtmlSerializerTest, VoidElementsHaveNoEndTagAndRawTextStaysRaw) {
  EXPECT_EQ(BodyOf("<br/><img src=a.png><hr><input type=checkbox checked><p>x</p>"),
            "<br><img src=\"a.png\"><hr><input type=\"checkbox\" checked=\"\"><p>x</p>");
  EXPECT_EQ(BodyOf("<p></p><script>if (a < b && c) {}</script><style>p > a {}</style>"),
            "<p></p><script>if (a < b && c) {}</script><style>p > a {}</style>");
  EXPECT_EQ(BodyOf("<textarea>a < b</textarea>"), "<textarea>a &lt; b</textarea>");
}

TEST(HtmlSerializerTest, LeadingNewlineOfPreSurvivesARoundTrip) {
  const std::string once = BodyOf("<pre>\n\nline</pre>");
  EXPECT_EQ(once, "<pre>\n\nline</pre>");
  EXPECT_EQ(BodyOf(once), once);
}

TEST(HtmlSerializerTest, NumbersAreWrittenFirst) {
  ParsedDocument parsed = ParseHtmlDocument("<div class=c><span>t</span><!--note--></div>");
  int next = 1;
  WalkTree(*parsed.root, [&](Node& node) {
    if (node.type == NodeType::kElement) node.number = next++;
    return Walk::kContinue;
  });
  EXPECT_EQ(Body(parsed),
            "<div data-n=\"4\" class=\"c\"><span data-n=\"5\">t</span><!--note--></div>");
}

TEST(HtmlSerializerTest, DocumentKeepsItsDoctypeAndRoundTrips) {
  const std::string html =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"
      "<html><head><title>T &amp; U</title></head><body><table><tr><td>1</td></tr></table>"
      "<ul><li>a<li>b</ul></body></html>";
  const ParsedDocument first = ParseHtmlDocument(html);
  const std::string once = SerializeDocument(*first.root, first.doctype);
  EXPECT_EQ(once,
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"
            "<html><head><title>T &amp; U</title></head><body><table><tbody><tr><td>1</td></tr>"
            "</tbody></table><ul><li>a</li><li>b</li></ul></body></html>");
  const ParsedDocument second = ParseHtmlDocument(once);
  EXPECT_EQ(SerializeDocument(*second.root, second.doctype), once);

  const ParsedDocument none = ParseHtmlDocument("<p>quirks</p>");
  EXPECT_EQ(SerializeDocument(*none.root, none.doctype),
            "<html><head></head><body><p>quirks</p></body></html>");
}

TEST(HtmlSerializerTest, DeepTreesSerializeWithoutRecursion) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<span>";
  const std::string out = BodyOf(deep);
  EXPECT_TRUE(out.starts_with("<span><span>"));
  EXPECT_TRUE(out.ends_with("</span></span>"));
}

}  // namespace
}  // namespace corvane::dom
