#include "platform/dom/form_state.h"

#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace corvane::dom {
namespace {

AttributeValue Checked(Document& page, std::string_view id) {
  return page.GetElementById(id).GetAttribute("checked");
}

std::string Value(Document& page, std::string_view id) {
  return std::get<std::string>(page.GetElementById(id).GetAttribute("value"));
}

TEST(FormStateTest, CheckedReadsAsTheStateOfCheckBoxesAndRadioButtons) {
  auto page = Document::Parse(
      "<input type=checkbox id=on checked><input type=CHECKBOX id=off>"
      "<input type=radio id=r checked=checked><input type=text id=t checked>"
      "<div id=d checked=yes></div><div id=none></div>");
  ASSERT_TRUE(page);
  EXPECT_EQ(Checked(*page, "on"), AttributeValue(true));
  EXPECT_EQ(Checked(*page, "off"), AttributeValue(false));
  EXPECT_EQ(Checked(*page, "r"), AttributeValue(true));
  EXPECT_EQ(Checked(*page, "t"), AttributeValue(std::string()));
  EXPECT_EQ(Checked(*page, "d"), AttributeValue(std::string("yes")));
  EXPECT_EQ(Checked(*page, "none"), AttributeValue());
}

TEST(FormStateTest, TheAttributeStopsMatteringOnceTheUserChangedTheBox) {
  auto page = Document::Parse("<input type=checkbox id=a><input type=checkbox id=b>");
  ASSERT_TRUE(page);
  Element a = page->GetElementById("a");
  a.SetAttribute("checked", "");
  EXPECT_EQ(Checked(*page, "a"), AttributeValue(true));
  a.RemoveAttribute("checked");
  EXPECT_EQ(Checked(*page, "a"), AttributeValue(false));

  Element b = page->GetElementById("b");
  ASSERT_TRUE(page->ApplyViewState(b.Number(), {.checked = true, .value = "on"}));
  EXPECT_EQ(Checked(*page, "b"), AttributeValue(true));
  EXPECT_FALSE(b.OuterHtml().find("checked") != std::string::npos) << "state, not markup";
  b.SetAttribute("checked", "");
  b.RemoveAttribute("checked");
  EXPECT_EQ(Checked(*page, "b"), AttributeValue(true));
  ASSERT_TRUE(page->ApplyViewState(b.Number(), {.checked = false, .value = {}}));
  EXPECT_EQ(Checked(*page, "b"), AttributeValue(false));

  const std::vector<Change> changes = page->TakeChanges();
  EXPECT_EQ(changes.size(), 4u) << "view events record nothing; attribute writes do";
  EXPECT_FALSE(page->ApplyViewState(999, {.checked = true, .value = {}}));
}

TEST(FormStateTest, OneRadioButtonOfAGroupIsChecked) {
  auto page = Document::Parse(
      "<input type=radio name=g id=g1 checked><input type=radio name=g id=g2 checked>"
      "<input type=radio name=h id=h1 checked>"
      "<form><input type=radio name=g id=f1 checked></form>"
      "<input type=radio id=n1 checked><input type=radio id=n2 checked>"
      "<div id=more></div>");
  ASSERT_TRUE(page);
  EXPECT_EQ(Checked(*page, "g1"), AttributeValue(false)) << "the last checked one wins";
  EXPECT_EQ(Checked(*page, "g2"), AttributeValue(true));
  EXPECT_EQ(Checked(*page, "h1"), AttributeValue(true));
  EXPECT_EQ(Checked(*page, "f1"), AttributeValue(true)) << "another form, another group";
  EXPECT_EQ(Checked(*page, "n1"), AttributeValue(true)) << "no name, no group";
  EXPECT_EQ(Checked(*page, "n2"), AttributeValue(true));

  ASSERT_TRUE(page->ApplyViewState(page->GetElementById("g1").Number(), {.checked = true}));
  EXPECT_EQ(Checked(*page, "g1"), AttributeValue(true));
  EXPECT_EQ(Checked(*page, "g2"), AttributeValue(false));

  page->GetElementById("more").SetInnerHtml("<input type=radio name=g id=g3 checked>");
  EXPECT_EQ(Checked(*page, "g1"), AttributeValue(false));
  EXPECT_EQ(Checked(*page, "g3"), AttributeValue(true));
  page->GetElementById("g2").SetAttribute("checked", "");
  EXPECT_EQ(Checked(*page, "g3"), AttributeValue(false));
}

TEST(FormStateTest, ValueReadsTheCurrentValue) {
  auto page = Document::Parse(
      "<input id=texNewDomain><input id=v value=' a '><input type=checkbox id=c>"
      "<input type=radio id=r value=x><textarea id=ta>line &amp; more</textarea>"
      "<select id=s><option>  first  one </option><option value=2 selected>two</option></select>"
      "<select id=e></select><div id=d value=plain></div>");
  ASSERT_TRUE(page);
  EXPECT_EQ(Value(*page, "texNewDomain"), "");
  EXPECT_EQ(Value(*page, "v"), " a ");
  EXPECT_EQ(Value(*page, "c"), "on");
  EXPECT_EQ(Value(*page, "r"), "x");
  EXPECT_EQ(Value(*page, "ta"), "line & more");
  EXPECT_EQ(Value(*page, "s"), "2");
  EXPECT_EQ(Value(*page, "e"), "");
  EXPECT_EQ(Value(*page, "d"), "plain");
  page->GetElementById("s").Children()[1].RemoveAttribute("selected");
  EXPECT_EQ(Value(*page, "s"), "first one");

  Element input = page->GetElementById("texNewDomain");
  ASSERT_TRUE(page->ApplyViewState(input.Number(), {.checked = false, .value = "www.a.com"}));
  EXPECT_EQ(Value(*page, "texNewDomain"), "www.a.com");
  input.SetAttribute("value", "ignored once typed");
  EXPECT_EQ(Value(*page, "texNewDomain"), "www.a.com");
  ASSERT_TRUE(page->ApplyViewState(page->GetElementById("c").Number(), {.value = "typed"}));
  EXPECT_EQ(Value(*page, "c"), "on");
  ASSERT_TRUE(page->ApplyViewState(page->GetElementById("ta").Number(), {.value = "new"}));
  EXPECT_EQ(Value(*page, "ta"), "new");
}

}  // namespace
}  // namespace corvane::dom
