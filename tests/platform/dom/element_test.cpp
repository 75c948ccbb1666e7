#include "platform/dom/element.h"

#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace corvane::dom {
namespace {

std::unique_ptr<Document> Page(std::string_view body) {
  auto document = Document::Parse("<!DOCTYPE html><html><head></head><body>" + std::string(body) +
                                  "</body></html>");
  EXPECT_TRUE(document);
  return document;
}

std::string N(const Element& element) {
  return std::to_string(element.Number());
}

TEST(ElementTest, InnerTextGivesTheTextOfNestedInlineContent) {
  auto page = Page("<p id=p>Hello <b>big <i>wide</i></b> world&amp;<!-- no -->!</p>");
  Element p = page->GetElementById("p");
  EXPECT_EQ(p.InnerText(), "Hello big wide world&!");
  EXPECT_EQ(p.TagName(), "P");
}

TEST(ElementTest, SetInnerTextReplacesChildrenWithOneEscapedTextNode) {
  auto page = Page("<div id=d><b>old</b></div>");
  Element d = page->GetElementById("d");
  const Element old_bold = d.Children().front();
  d.SetInnerText("a <b> & c");
  EXPECT_EQ(d.InnerHtml(), "a &lt;b&gt; &amp; c");
  EXPECT_TRUE(d.Children().empty());
  EXPECT_FALSE(old_bold);
  d.SetInnerText("");
  EXPECT_EQ(d.InnerHtml(), "");
  const std::vector<Change> changes = page->TakeChanges();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].kind, ChangeKind::kSetInnerText);
  EXPECT_EQ(changes[0].target, d.Number());
  EXPECT_EQ(changes[0].value, "a <b> & c");
  EXPECT_TRUE(page->TakeChanges().empty());
}

TEST(ElementTest, SetInnerHtmlRecordsTheNumberedMarkup) {
  auto page = Page("<div id=d></div>");
  Element d = page->GetElementById("d");
  d.SetInnerHtml("<a href='x?a=1&amp;b=2' cid=btn_close>Close</a>");
  const Element a = d.Children().front();
  EXPECT_EQ(a.TagName(), "A");
  EXPECT_EQ(std::get<std::string>(a.GetAttribute("href")), "x?a=1&b=2");
  const std::string html =
      "<a data-n=\"" + N(a) + "\" href=\"x?a=1&amp;b=2\" cid=\"btn_close\">" + "Close</a>";
  EXPECT_EQ(d.InnerHtml(), html);
  EXPECT_EQ(page->TakeChanges(),
            (std::vector<Change>{{ChangeKind::kSetInnerHtml, d.Number(), "", html, 0, 0}}));
}

TEST(ElementTest, InsertAdjacentHtmlPlacesParsedContent) {
  auto page = Page("<ul id=u><li id=first>1</li></ul>");
  Element u = page->GetElementById("u");
  Element first = page->GetElementById("first");
  ASSERT_TRUE(u.InsertAdjacentHtml("beforeEnd", "<li>3</li>"));
  ASSERT_TRUE(first.InsertAdjacentHtml("afterend", "<li>2</li>"));
  ASSERT_TRUE(u.InsertAdjacentHtml("AfterBegin", "<li>0</li>"));
  ASSERT_TRUE(u.InsertAdjacentHtml("beforebegin", "<h1>T</h1>"));
  EXPECT_FALSE(u.InsertAdjacentHtml("middle", "<li>x</li>"));
  EXPECT_FALSE(page->DocumentElement().InsertAdjacentHtml("beforebegin", "<p>"));
  std::string texts;
  for (const Element& li : u.Children()) texts += li.InnerText();
  EXPECT_EQ(texts, "0123");
  EXPECT_EQ(page->Body().Children().front().TagName(), "H1");

  const std::vector<Change> changes = page->TakeChanges();
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[0].kind, ChangeKind::kInsertAdjacentHtml);
  EXPECT_EQ(changes[0].target, u.Number());
  EXPECT_EQ(changes[0].name, "beforeend");
  EXPECT_EQ(changes[0].value, "<li data-n=\"" + N(u.Children().back()) + "\">3</li>");
  EXPECT_EQ(changes[1].target, first.Number());
  EXPECT_EQ(changes[1].name, "afterend");
  EXPECT_EQ(changes[3].name, "beforebegin");
}

TEST(ElementTest, AttributesAreSetReadAndRemovedWithChanges) {
  auto page = Page("<td id=c sord=ASC>x</td>");
  Element cell = page->GetElementById("c");  // no table: the parser drops the td
  EXPECT_FALSE(cell);
  page = Page("<div id=d SORD=ASC data-n=99>x</div>");
  Element d = page->GetElementById("d");
  EXPECT_EQ(std::get<std::string>(d.GetAttribute("sord")), "ASC");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(d.GetAttribute("width")));
  EXPECT_EQ(std::get<std::string>(d.GetAttribute("data-n")), N(d));

  d.SetAttribute("Sord", "DESC");
  d.SetAttribute("title", "say \"hi\"");
  d.SetAttribute("bad name", "x");
  d.SetAttribute("data-n", "1");
  d.RemoveAttribute("title");
  d.RemoveAttribute("missing");
  EXPECT_EQ(std::get<std::string>(d.GetAttribute("SORD")), "DESC");
  EXPECT_EQ(d.OuterHtml(), "<div data-n=\"" + N(d) + "\" id=\"d\" sord=\"DESC\">x</div>");
  const std::vector<Change> expected{
      {ChangeKind::kSetAttribute, d.Number(), "sord", "DESC", 0, 0},
      {ChangeKind::kSetAttribute, d.Number(), "title", "say \"hi\"", 0, 0},
      {ChangeKind::kRemoveAttribute, d.Number(), "title", "", 0, 0}};
  EXPECT_EQ(page->TakeChanges(), expected);
}

TEST(ElementTest, CreatedElementsAreRecordedOnlyWhenPlaced) {
  auto page = Page("<div id=SettingsArea></div>");
  Element div = page->CreateElement("DIV");
  ASSERT_TRUE(div);
  EXPECT_FALSE(div.Parent());
  div.SetInnerHtml("<input type=checkbox id=cbOptOw checked>");
  div.SetAttribute("class", "opts");
  EXPECT_TRUE(page->TakeChanges().empty());
  EXPECT_FALSE(page->GetElementById("cbOptOw")) << "not in the document yet";
  const Element input = div.Children().front();
  EXPECT_EQ(std::get<bool>(input.GetAttribute("checked")), true);

  Element area = page->GetElementById("SettingsArea");
  ASSERT_TRUE(area.AppendChild(div));
  EXPECT_EQ(div.Parent(), area);
  EXPECT_FALSE(area.AppendChild(div)) << "already placed";
  EXPECT_FALSE(div.AppendChild(area));
  EXPECT_FALSE(page->CreateElement("no good"));
  Element self = page->CreateElement("span");
  EXPECT_FALSE(self.AppendChild(self));

  EXPECT_EQ(page->GetElementById("cbOptOw"), input);
  const std::vector<Change> changes = page->TakeChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, ChangeKind::kInsertAdjacentHtml);
  EXPECT_EQ(changes[0].target, area.Number());
  EXPECT_EQ(changes[0].value, "<div data-n=\"" + N(div) + "\" class=\"opts\"><input data-n=\"" +
                                  N(input) + "\" type=\"checkbox\" id=\"cbOptOw\" checked=\"\">" +
                                  "</div>");
}

TEST(ElementTest, RemovedElementsBecomeEmptyHandles) {
  auto page = Page("<div id=outer><span id=inner>t</span></div>");
  Element outer = page->GetElementById("outer");
  Element inner = page->GetElementById("inner");
  outer.SetInnerHtml("new");
  EXPECT_FALSE(inner);
  EXPECT_EQ(inner.Number(), 0u);
  EXPECT_EQ(inner.InnerText(), "");
  inner.SetInnerHtml("<b>ignored</b>");
  inner.SetAttribute("x", "y");
  EXPECT_FALSE(inner.MoveRow(0, 1));
  EXPECT_FALSE(inner.Parent());
  EXPECT_EQ(page->TakeChanges().size(), 1u);
}

TEST(ElementTest, ParentWalksUpToTheRootElement) {
  auto page = Page("<table id=t><tr><td><span id=s>x</span></td></tr></table>");
  std::string tags;
  for (Element e = page->GetElementById("s"); e; e = e.Parent()) tags += e.TagName() + " ";
  EXPECT_EQ(tags, "SPAN TD TR TBODY TABLE BODY HTML ");
}

}  // namespace
}  // namespace corvane::dom
