#include "platform/dom/table_rows.h"

#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace corvane::dom {
namespace {

std::string RowTexts(const Element& table) {
  std::string texts;
  for (const Element& row : table.Rows()) texts += row.Cells().front().InnerText() + " ";
  return texts;
}

TEST(TableRowsTest, RowsSpanTheSectionsInTheBrowsersOrder) {
  auto page = Document::Parse(
      "<table id=t><caption>c</caption><tfoot><tr><td>foot</td></tr></tfoot>"
      "<thead><tr><th>head</th></tr></thead>"
      "<tbody><tr><td>1</td></tr><tr><td>2<table><tr><td>nested</td></tr></table></td></tr>"
      "</tbody><tbody><tr><td>3</td></tr></tbody></table>");
  ASSERT_TRUE(page);
  Element table = page->GetElementById("t");
  EXPECT_EQ(RowTexts(table), "head 1 2nested 3 foot ");
  EXPECT_EQ(table.Rows()[1].Parent().Rows().size(), 2u) << "a section's own rows";
  EXPECT_TRUE(page->Body().Rows().empty());
}

TEST(TableRowsTest, ImpliedBodyHoldsRowsAndCellsKnowTheirIndex) {
  auto page = Document::Parse("<table id=t><tr><th>a</th><td>b</td>x<td id=c>c</td></tr></table>");
  ASSERT_TRUE(page);
  Element table = page->GetElementById("t");
  ASSERT_EQ(table.Rows().size(), 1u);
  EXPECT_EQ(table.Rows()[0].Parent().TagName(), "TBODY");
  EXPECT_EQ(table.Rows()[0].Cells().size(), 3u);
  EXPECT_EQ(page->GetElementById("c").CellIndex(), 2);
  EXPECT_EQ(table.CellIndex(), -1);
}

TEST(TableRowsTest, RowFragmentsSetIntoABodyStayRows) {
  auto page = Document::Parse("<table><tbody id=b><tr><td>old</td></tr></tbody></table>");
  ASSERT_TRUE(page);
  Element body = page->GetElementById("b");
  body.SetInnerHtml("<tr><td>1</td><td>x</td></tr><tr><td>2</td>");
  EXPECT_EQ(RowTexts(body), "1 2 ");
  EXPECT_EQ(body.Rows()[0].Cells().size(), 2u);
  ASSERT_TRUE(body.InsertAdjacentHtml("beforeEnd", "<tr><td>3</td></tr>"));
  EXPECT_EQ(RowTexts(body), "1 2 3 ");
}

TEST(TableRowsTest, MoveRowPutsTheRowAtTheTargetIndex) {
  auto page = Document::Parse(
      "<table id=t><tr><td>a</td></tr><tr><td>b</td></tr><tr><td>c</td></tr>"
      "<tr><td>total</td></tr></table>");
  ASSERT_TRUE(page);
  Element table = page->GetElementById("t");
  ASSERT_TRUE(table.MoveRow(0, 2));
  EXPECT_EQ(RowTexts(table), "b c a total ");
  ASSERT_TRUE(table.MoveRow(3, 0));
  EXPECT_EQ(RowTexts(table), "total b c a ");
  ASSERT_TRUE(table.MoveRow(0, 3));
  EXPECT_EQ(RowTexts(table), "b c a total ");
  ASSERT_TRUE(table.MoveRow(1, 1));
  EXPECT_FALSE(table.MoveRow(-1, 0));
  EXPECT_FALSE(table.MoveRow(0, 4));
  EXPECT_FALSE(page->Body().MoveRow(0, 0));
  EXPECT_EQ(RowTexts(table), "b c a total ");

  const std::vector<Change> changes = page->TakeChanges();
  ASSERT_EQ(changes.size(), 3u) << "no change for a move in place or a refused one";
  EXPECT_EQ(changes[1], (Change{ChangeKind::kMoveRow, table.Number(), "", "", 3, 0}));
}

TEST(TableRowsTest, MoveRowAcrossSectionsJoinsTheTargetSection) {
  auto page = Document::Parse(
      "<table id=t><thead><tr><td>h</td></tr></thead><tbody><tr><td>1</td></tr>"
      "<tr><td>2</td></tr></tbody></table>");
  ASSERT_TRUE(page);
  Element table = page->GetElementById("t");
  ASSERT_TRUE(table.MoveRow(2, 0));
  EXPECT_EQ(RowTexts(table), "2 h 1 ");
  EXPECT_EQ(table.Rows()[0].Parent().TagName(), "THEAD");
  ASSERT_TRUE(table.MoveRow(0, 2));
  EXPECT_EQ(RowTexts(table), "h 1 2 ");
  EXPECT_EQ(table.Rows()[2].Parent().TagName(), "TBODY");
}

}  // namespace
}  // namespace corvane::dom
