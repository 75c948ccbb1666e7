#pragma once
// Report tables that sort by a click on a column header. The page marks a header cell with the
// class "sortedcolumn", its kind in "valuetype" ("number", "bytesize", "date", anything else is
// text) and the order shown in "sord" ("DESC" or anything else); the table holding the header
// names the table whose rows are sorted in "sortedtabid". The last row of that table (a total
// or a closing row) always stays last.

#include <string>
#include <string_view>

#include "platform/dom/document.h"
#include "platform/dom/element.h"

namespace corvane {

// The element or the nearest ancestor with the class "sortedcolumn"; empty when none.
[[nodiscard]] dom::Element SortedColumnCell(const dom::Element& clicked);

// A click inside a sortable header: sorts the named table by that column, descending first, then
// alternating. False when the click was not on such a header or the markup lacks what it needs;
// the table is then left as it was.
bool OnSortedColumnClick(dom::Document& document, const dom::Element& clicked);

// The sort key of a cell's trimmed text for a column kind; `longest` is the longest text of the
// column, to which numbers are padded.
[[nodiscard]] std::string SortKey(std::string_view valueType, std::string_view text,
                                  std::size_t longest);

}  // namespace corvane
