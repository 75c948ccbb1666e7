#include "platform/dom/html_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane::dom {
namespace {

// The element path of the first text node: "html/body/table/tbody/tr/td".
std::string PathToFirstText(const Node& root) {
  const Node* text = nullptr;
  WalkTree(root, [&](const Node& node) {
    if (node.type != NodeType::kText) return Walk::kContinue;
    text = &node;
    return Walk::kStop;
  });
  std::string path;
  for (const Node* node = text ? text->parent : nullptr; node && node->type == NodeType::kElement;
       node = node->parent) {
    path = node->name + (path.empty() ? "" : "/") + path;
  }
  return path;
}

TEST(HtmlParserTest, ImpliedElementsAreThereAsInABrowser) {
  const ParsedDocument parsed = ParseHtmlDocument("<table><tr><td>cell</table>");
  ASSERT_TRUE(parsed.root);
  EXPECT_FALSE(parsed.doctype);
  EXPECT_EQ(PathToFirstText(*parsed.root), "html/body/table/tbody/tr/td");
}

TEST(HtmlParserTest, EntitiesAndQuotedAttributesAreDecoded) {
  const ParsedDocument parsed = ParseHtmlDocument(
      "<!DOCTYPE html><p title='say \"hi\"' alt=\"it's &amp; more\">a &lt;b&gt; &eacute;&#x41;"
      "&nbsp;</p>");
  ASSERT_TRUE(parsed.doctype);
  EXPECT_EQ(parsed.doctype->name, "html");
  const Node* p = nullptr;
  WalkTree(*parsed.root, [&](const Node& node) {
    if (node.Is("p")) p = &node;
    return Walk::kContinue;
  });
  ASSERT_TRUE(p);
  EXPECT_EQ(*p->FindAttribute("title"), "say \"hi\"");
  EXPECT_EQ(*p->FindAttribute("alt"), "it's & more");
  EXPECT_EQ(TextContent(*p),
            "a <b> \xC3\xA9"
            "A\xC2\xA0");
}

TEST(HtmlParserTest, FragmentsParseInTheContextElement) {
  Node tbody(NodeType::kElement);
  tbody.name = "tbody";
  std::vector<std::unique_ptr<Node>> nodes;
  ASSERT_TRUE(ParseHtmlFragment("<tr><td>1</td></tr><tr><td>2", tbody, nodes));
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_TRUE(nodes[0]->Is("tr"));
  EXPECT_TRUE(nodes[1]->Is("tr"));
  EXPECT_EQ(nodes[1]->parent, nullptr);

  // In a div the same rows have no table around them: the parser drops the row tags.
  Node div(NodeType::kElement);
  div.name = "div";
  ASSERT_TRUE(ParseHtmlFragment("<tr><td>1</td></tr>", div, nodes));
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0]->type, NodeType::kText);

  Node style(NodeType::kElement);
  style.name = "style";
  ASSERT_TRUE(ParseHtmlFragment("a<b>c</b>", style, nodes));
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0]->data, "a<b>c</b>");
}

TEST(HtmlParserTest, NamesOfUnknownAndForeignElementsAreKept) {
  Node div(NodeType::kElement);
  div.name = "div";
  std::vector<std::unique_ptr<Node>> nodes;
  ASSERT_TRUE(ParseHtmlFragment(
      "<My-Widget Data-X=1></My-Widget><svg><foreignObject><a xlink:href=\"u\"></a>"
      "</foreignObject></svg>",
      div, nodes));
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0]->name, "my-widget");
  EXPECT_TRUE(nodes[0]->FindAttribute("data-x"));
  EXPECT_EQ(nodes[1]->ns, Namespace::kSvg);
  ASSERT_EQ(nodes[1]->children.size(), 1u);
  EXPECT_EQ(nodes[1]->children[0]->name, "foreignObject");
}

TEST(HtmlParserTest, IncomingNodeNumbersAreDropped) {
  // Numbers are the document's to give; markup cannot forge them.
  const ParsedDocument parsed = ParseHtmlDocument("<p data-n=\"7\" id=x>t</p>");
  bool any_number = false;
  WalkTree(*parsed.root, [&](const Node& node) {
    any_number |= node.FindAttribute("data-n") != nullptr || node.number != 0;
    return Walk::kContinue;
  });
  EXPECT_FALSE(any_number);
}

TEST(HtmlParserTest, HostileMarkupParsesWithoutCrashing) {
  for (const char* html : {"<table><td><table><tr><div><td>x", "<b><i></b></i><p><p><a><a>",
                           "<select><option><optgroup><table>", "</p></br><svg><math><foo", "<!--",
                           "<!DOCTYPE", "<a href='", "\xFF\xFE\x00<p>\x80"}) {
    EXPECT_TRUE(ParseHtmlDocument(html).root) << html;
  }
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<span>";
  const ParsedDocument parsed = ParseHtmlDocument(deep);
  ASSERT_TRUE(parsed.root);
  int depth = 0;
  WalkTree(*parsed.root, [&](const Node& node) {
    depth += node.Is("span") ? 1 : 0;
    return Walk::kContinue;
  });
  EXPECT_EQ(depth, 100000);
}

}  // namespace
}  // namespace corvane::dom
