#pragma once
// Rows and cells of HTML tables, with the browser's meaning of a table's rows collection: the rows
// of its head sections, then of its body sections (and rows placed directly in the table), then of
// its foot sections, each group in document order. Rows of nested tables are not included.

#include <vector>

#include "platform/dom/node.h"

namespace corvane::dom {

// The rows of a table, or of one of its sections (thead, tbody, tfoot). Empty for other nodes.
[[nodiscard]] std::vector<Node*> TableRows(const Node& table_or_section);
// The td and th children of a row.
[[nodiscard]] std::vector<Node*> RowCells(const Node& row);
// The cell's position among its row's cells; -1 when it is not a cell of a row.
[[nodiscard]] int CellIndex(const Node& cell);
// Moves the row at index from so that it ends up at index to of the rows (a row moved to the last
// index follows the last row, in that row's section; otherwise it goes before the row that held
// that index once the moving row is taken out). False, and nothing moved, for an index out of
// range.
[[nodiscard]] bool MoveTableRow(Node& table_or_section, int from, int to);

}  // namespace corvane::dom
