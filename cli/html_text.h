#pragma once
// Pages as plain text for a terminal: the details and report pages the desktop shows, read the
// way a person reads them — headings and paragraphs on lines of their own, table rows as lines
// with their cells in aligned columns, whitespace collapsed, styles and scripts left out.

#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/node.h"

namespace corvane {

// A table of a page: its header row (when its first row is all header cells), the other rows,
// and which columns hold figures (a cell of class "num").
struct HtmlTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> numeric;
};

[[nodiscard]] std::string HtmlToText(std::string_view html);
// Every table below `root` in document order, nested ones after the table holding them.
[[nodiscard]] std::vector<HtmlTable> HtmlTables(const dom::Node& root);
[[nodiscard]] std::vector<HtmlTable> HtmlTables(std::string_view html);
// The table as lines: each column as wide as its widest cell, figures right-aligned; a text cell
// of more than 56 characters is folded over several lines, after a space, "\" or "/" if it can.
[[nodiscard]] std::vector<std::string> AlignedLines(const HtmlTable& table);

}  // namespace corvane
