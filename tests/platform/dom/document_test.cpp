#include "platform/dom/document.h"

#include <gtest/gtest.h>

#include <set>

namespace corvane::dom {
namespace {

std::set<NodeNumber> AllNumbers(Document& document) {
  std::set<NodeNumber> numbers;
  std::vector<Element> pending{document.DocumentElement()};
  while (!pending.empty()) {
    const Element element = pending.back();
    pending.pop_back();
    EXPECT_TRUE(numbers.insert(element.Number()).second) << "duplicate " << element.Number();
    for (const Element& child : element.Children()) pending.push_back(child);
  }
  return numbers;
}

TEST(DocumentTest, NumbersAreUniqueAndStableAcrossReplacementOfSiblings) {
  auto page = Document::Parse("<div id=a><p>1</p><p>2</p></div><div id=b><p id=keep>3</p></div>");
  ASSERT_TRUE(page);
  const std::set<NodeNumber> before = AllNumbers(*page);
  EXPECT_EQ(before.size(), 8u);  // html head body div p p div p, and none is 0
  EXPECT_FALSE(before.contains(0));
  Element a = page->GetElementById("a");
  Element keep = page->GetElementById("keep");
  const NodeNumber keep_number = keep.Number();
  const NodeNumber old_first = a.Children().front().Number();

  a.SetInnerHtml("<p>x</p><p>y</p>");
  EXPECT_EQ(keep.Number(), keep_number);
  EXPECT_EQ(page->ElementByNumber(keep_number), keep);
  EXPECT_FALSE(page->ElementByNumber(old_first));
  const std::set<NodeNumber> after = AllNumbers(*page);
  for (const Element& p : a.Children()) {
    EXPECT_FALSE(before.contains(p.Number())) << "numbers are never reused";
    EXPECT_GT(p.Number(), *before.rbegin());
  }
  EXPECT_EQ(after.size(), before.size());
}

TEST(DocumentTest, SerializationCarriesNumbersAndReparsesToTheSameMarkup) {
  auto page = Document::Parse("<!DOCTYPE html><body><p id=x class='a \"b\"'>t&amp;u</p>");
  ASSERT_TRUE(page);
  const std::string html = page->Serialize();
  EXPECT_EQ(html,
            "<!DOCTYPE html><html data-n=\"1\"><head data-n=\"2\"></head><body data-n=\"3\">"
            "<p data-n=\"4\" id=\"x\" class=\"a &quot;b&quot;\">t&amp;u</p></body></html>");
  auto copy = Document::Parse(html);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Serialize(), html);
}

TEST(DocumentTest, LookupsFollowDocumentOrder) {
  auto page = Document::Parse(
      "<p id=dup>1</p><p id=dup>2</p><div pluginid=IE>a<span pluginid=IE>b</span></div>"
      "<div pluginid=Firefox>c</div><div PluginID=ie>d</div>");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->GetElementById("dup").InnerText(), "1");
  EXPECT_FALSE(page->GetElementById("none"));
  EXPECT_FALSE(page->GetElementById(""));
  const std::vector<Element> ie = page->ElementsWithAttribute("pluginid", "IE");
  ASSERT_EQ(ie.size(), 2u);
  EXPECT_EQ(ie[0].TagName(), "DIV");
  EXPECT_EQ(ie[1].TagName(), "SPAN");
  EXPECT_EQ(page->Body().TagName(), "BODY");
  EXPECT_FALSE(page->ElementByNumber(0));
  EXPECT_FALSE(page->ElementByNumber(10000));
}

TEST(DocumentTest, InvalidTextIsStoredAsValidUtf8) {
  auto page = Document::Parse("<div id=d>\xFFx</div>");
  ASSERT_TRUE(page);
  Element d = page->GetElementById("d");
  EXPECT_EQ(d.InnerText(), "\xEF\xBF\xBDx");
  d.SetInnerText("a\xC3");
  d.SetAttribute("title", "\x80");
  EXPECT_EQ(d.InnerText(), "a\xEF\xBF\xBD");
  EXPECT_EQ(std::get<std::string>(d.GetAttribute("title")), "\xEF\xBF\xBD");
}

TEST(DocumentTest, HostilePagesDoNotCrash) {
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<span>";
  auto deep = Document::Parse("<div id=top>" + nested);
  ASSERT_TRUE(deep);
  Element top = deep->GetElementById("top");
  EXPECT_FALSE(top.OuterHtml().empty());
  top.SetInnerHtml(nested);  // the old deep subtree is freed, the new one numbered
  EXPECT_TRUE(top);
  std::string divs;
  for (int i = 0; i < 3000; ++i) divs += "<div><table><tr><td><p><b>";
  auto unclosed = Document::Parse(divs + "</table></div><td></tr>");
  ASSERT_TRUE(unclosed);
  EXPECT_FALSE(unclosed->Serialize().empty());
}

}  // namespace
}  // namespace corvane::dom
