#include "ui/sortable_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace corvane {
namespace {

// A header table naming a data table whose last row is a total, as the report pages lay it out.
constexpr char kPage[] = R"(<table sortedtabid="Data"><tr>
<td id="name" class="sortedcolumn" valuetype="text" sord="">Name</td>
<td id="count" class="sortedcolumn" valuetype="number" sord="ASC"><span id="inner">Count</span></td>
<td id="size" class="sortedcolumn" valuetype="bytesize" sord="">Size</td>
<td id="when" class="sortedcolumn" valuetype="date" sord="">When</td>
<td id="bare" class="sortedcolumn" valuetype="number">No order</td>
<td id="plain" valuetype="number" sord="">Not sortable</td>
</tr></table>
<table id="Data">
<tr><td>b</td><td> 10 </td><td>1.50 KB</td><td>2024-03-01 10:00:00</td><td>1</td><td>1</td></tr>
<tr><td>c</td><td>9</td><td>499.00 B</td><td>garbage</td><td>2</td><td>2</td></tr>
<tr><td>a</td><td>100</td><td>2.00 MB</td><td>2023-12-31 23:59:59</td><td>3</td><td>3</td></tr>
<tr><td>Total</td><td>119</td><td>2.50 MB</td><td></td><td></td><td></td></tr>
</table>)";

class SortableTableTest : public ::testing::Test {
 protected:
  SortableTableTest() : document_(dom::Document::Parse(kPage)) {}

  bool Click(std::string_view id) {
    return OnSortedColumnClick(*document_, document_->GetElementById(id));
  }
  // The first column of every data row, top to bottom.
  std::string Order() {
    std::string order;
    for (const dom::Element& row : document_->GetElementById("Data").Rows()) {
      order += row.Cells().at(0).InnerText() + " ";
    }
    return order;
  }
  std::string Sord(std::string_view id) {
    const dom::AttributeValue value = document_->GetElementById(id).GetAttribute("sord");
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : "(none)";
  }

  std::unique_ptr<dom::Document> document_;
};

TEST_F(SortableTableTest, NumbersSortDescendingFirstThenAlternateAndTheTotalStaysLast) {
  EXPECT_TRUE(Click("inner"));  // a click inside the header cell
  EXPECT_EQ(Order(), "a b c Total ");
  EXPECT_EQ(Sord("count"), "DESC");
  EXPECT_TRUE(Click("count"));
  EXPECT_EQ(Order(), "c b a Total ");
  EXPECT_EQ(Sord("count"), "ASC");
}

TEST_F(SortableTableTest, SizesDatesAndTextSortByWhatTheyMean) {
  Click("size");
  EXPECT_EQ(Order(), "a b c Total ");  // 2.00 MB > 1.50 KB > 499.00 B
  Click("size");
  EXPECT_EQ(Order(), "c b a Total ");
  Click("when");
  EXPECT_EQ(Order(), "b a c Total ");  // the unreadable date sorts below every real one
  Click("name");
  EXPECT_EQ(Order(), "c b a Total ");
}

TEST_F(SortableTableTest, MarkupMissingWhatItNeedsLeavesTheTableAlone) {
  EXPECT_FALSE(Click("bare"));   // no "sord"
  EXPECT_FALSE(Click("plain"));  // not a sortable header
  EXPECT_EQ(Order(), "b c a Total ");
  EXPECT_EQ(Sord("bare"), "(none)");

  // A header table naming no table, or one that does not exist.
  auto other = dom::Document::Parse(
      R"(<table sortedtabid="Gone"><tr><td id="h" class="sortedcolumn" valuetype="number" sord="">N</td></tr></table>)");
  EXPECT_FALSE(OnSortedColumnClick(*other, other->GetElementById("h")));
  auto none = dom::Document::Parse(
      R"(<div><span id="h" class="sortedcolumn" valuetype="number" sord="">N</span></div>)");
  EXPECT_FALSE(OnSortedColumnClick(*none, none->GetElementById("h")));
}

TEST(SortKey, NumbersPadAndByteSizesWeighTheirUnit) {
  EXPECT_EQ(SortKey("number", "9", 3), "009");
  EXPECT_EQ(SortKey("number", "100", 3), "100");
  EXPECT_LT(SortKey("bytesize", "499.00 B", 8), SortKey("bytesize", "1.50 KB", 8));
  EXPECT_LT(SortKey("bytesize", "1.50 KB", 8), SortKey("bytesize", "2.00 MB", 8));
  EXPECT_LT(SortKey("bytesize", "—", 8), SortKey("bytesize", "5.00 B", 8));  // an empty size
  EXPECT_LT(SortKey("bytesize", "2.00 MB", 8), SortKey("bytesize", "1.00 GB", 8));
  EXPECT_EQ(SortKey("date", "2024-03-01 10:00:00", 0), "20240301100000");
  EXPECT_EQ(SortKey("date", "not a date", 0), "");
  EXPECT_EQ(SortKey("whatever", "Text", 0), "Text");
}

}  // namespace
}  // namespace corvane
