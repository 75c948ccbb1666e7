#include "platform/dom/table_rows.h"

#include <algorithm>

namespace corvane::dom {

namespace {

void AppendRowChildren(const Node& parent, std::vector<Node*>& rows) {
  for (const auto& child : parent.children) {
    if (child->Is("tr")) rows.push_back(child.get());
  }
}

}  // namespace

std::vector<Node*> TableRows(const Node& table_or_section) {
  std::vector<Node*> rows;
  if (table_or_section.Is("thead") || table_or_section.Is("tbody") ||
      table_or_section.Is("tfoot")) {
    AppendRowChildren(table_or_section, rows);
    return rows;
  }
  if (!table_or_section.Is("table")) return rows;
  for (const auto& child : table_or_section.children) {
    if (child->Is("thead")) AppendRowChildren(*child, rows);
  }
  for (const auto& child : table_or_section.children) {
    if (child->Is("tr")) rows.push_back(child.get());
    if (child->Is("tbody")) AppendRowChildren(*child, rows);
  }
  for (const auto& child : table_or_section.children) {
    if (child->Is("tfoot")) AppendRowChildren(*child, rows);
  }
  return rows;
}

std::vector<Node*> RowCells(const Node& row) {
  std::vector<Node*> cells;
  if (!row.Is("tr")) return cells;
  for (const auto& child : row.children) {
    if (child->Is("td") || child->Is("th")) cells.push_back(child.get());
  }
  return cells;
}

int CellIndex(const Node& cell) {
  if (!cell.parent) return -1;
  const std::vector<Node*> cells = RowCells(*cell.parent);
  const auto found = std::find(cells.begin(), cells.end(), &cell);
  return found == cells.end() ? -1 : static_cast<int>(found - cells.begin());
}

bool MoveTableRow(Node& table_or_section, int from, int to) {
  std::vector<Node*> rows = TableRows(table_or_section);
  const int count = static_cast<int>(rows.size());
  if (from < 0 || from >= count || to < 0 || to >= count) return false;
  if (from == to) return true;
  Node* row = rows[from];
  rows.erase(rows.begin() + from);
  Node* const old_parent = row->parent;
  const auto slot =
      old_parent->children.begin() + static_cast<std::ptrdiff_t>(row->IndexInParent());
  std::unique_ptr<Node> owned = std::move(*slot);
  old_parent->children.erase(slot);
  if (to < static_cast<int>(rows.size())) {
    Node* before = rows[to];
    before->parent->Insert(before->IndexInParent(), std::move(owned));
  } else {
    Node* after = rows.back();
    after->parent->Insert(after->IndexInParent() + 1, std::move(owned));
  }
  return true;
}

}  // namespace corvane::dom
