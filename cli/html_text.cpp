#include "cli/html_text.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/dom/html_parser.h"
#include "platform/dom/node.h"

namespace corvane {

namespace {

bool IsOneOf(const dom::Node& node, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (node.Is(name)) return true;
  }
  return false;
}

bool IsBlock(const dom::Node& node) {
  return IsOneOf(
      node, {"address", "article", "aside", "blockquote", "dd",  "div", "dl",     "dt",  "fieldset",
             "figure",  "footer",  "form",  "h1",         "h2",  "h3",  "h4",     "h5",  "h6",
             "header",  "hr",      "li",    "main",       "nav", "ol",  "p",      "pre", "section",
             "table",   "tbody",   "thead", "tfoot",      "tr",  "ul",  "caption"});
}

// Collects text with whitespace collapsed; line and cell breaks are asked for and made only
// when more text follows, so no line starts or ends with a separator.
class TextBuilder {
 public:
  void Text(std::string_view text) {
    for (char c : text) {
      if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') {
        if (!out_.empty() || pending_ != Break::None) space_ = true;
        continue;
      }
      Flush();
      out_ += c;
    }
  }
  void LineBreak() { pending_ = Break::Line; }
  // Lines laid out already (a table's), each on a line of its own.
  void Lines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      if (!out_.empty()) out_ += '\n';
      out_ += line;
    }
    pending_ = Break::Line;
    space_ = false;
  }
  void CellBreak() {
    if (pending_ == Break::None) pending_ = Break::Cell;
  }
  [[nodiscard]] std::string Take() {
    if (!out_.empty()) out_ += '\n';
    return std::move(out_);
  }

 private:
  enum class Break { None, Cell, Line };
  void Flush() {
    if (!out_.empty()) {
      if (pending_ == Break::Line)
        out_ += '\n';
      else if (pending_ == Break::Cell)
        out_ += "  |  ";
      else if (space_)
        out_ += ' ';
    }
    pending_ = Break::None;
    space_ = false;
  }

  std::string out_;
  Break pending_ = Break::None;
  bool space_ = false;
};

// The text of a cell with its whitespace collapsed, as a line of its own.
std::string CellText(const dom::Node& cell) {
  std::string text;
  bool space = false;
  for (char c : dom::TextContent(cell)) {
    if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') {
      space = !text.empty();
      continue;
    }
    if (space) text += ' ';
    space = false;
    text += c;
  }
  return text;
}

bool IsNumericCell(const dom::Node& cell) {
  const std::string* classes = cell.FindAttribute("class");
  if (classes == nullptr) return false;
  std::size_t start = 0;
  while (start < classes->size()) {
    const std::size_t end = std::min(classes->find(' ', start), classes->size());
    if (std::string_view(*classes).substr(start, end - start) == "num") return true;
    start = end + 1;
  }
  return false;
}

// Characters as a terminal shows them: UTF-8 continuation bytes take no column.
std::size_t Columns(std::string_view text) {
  std::size_t columns = 0;
  for (char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

}  // namespace

std::vector<HtmlTable> HtmlTables(const dom::Node& root) {
  std::vector<HtmlTable> tables;
  dom::WalkTree(root, [&](const dom::Node& node) {
    if (!node.Is("table")) return dom::Walk::kContinue;
    HtmlTable table;
    // The rows of this table, not of one nested in a cell (that is text of its cell).
    dom::WalkTree(node, [&](const dom::Node& inner) {
      if (&inner != &node && inner.Is("table")) return dom::Walk::kSkipChildren;
      if (!inner.Is("tr")) return dom::Walk::kContinue;
      std::vector<std::string> row;
      bool allHeaders = true;
      for (const auto& child : inner.children) {
        if (!IsOneOf(*child, {"td", "th"})) continue;
        allHeaders = allHeaders && child->Is("th");
        const std::size_t column = row.size();
        if (table.numeric.size() <= column) table.numeric.resize(column + 1, false);
        if (IsNumericCell(*child)) table.numeric[column] = true;
        row.push_back(CellText(*child));
      }
      if (row.empty()) return dom::Walk::kSkipChildren;
      if (allHeaders && table.header.empty() && table.rows.empty()) {
        table.header = std::move(row);
      } else {
        table.rows.push_back(std::move(row));
      }
      return dom::Walk::kSkipChildren;
    });
    tables.push_back(std::move(table));
    return dom::Walk::kContinue;
  });
  return tables;
}

std::vector<HtmlTable> HtmlTables(std::string_view html) {
  const dom::ParsedDocument document = dom::ParseHtmlDocument(html);
  return document.root ? HtmlTables(*document.root) : std::vector<HtmlTable>();
}

namespace {

// A text cell wider than this is folded over several lines: one long path or note must not push
// the other columns off a terminal.
constexpr std::size_t kMaxCellColumns = 56;

// The byte offset after `columns` characters of `text`.
std::size_t ByteOffset(std::string_view text, std::size_t columns) {
  std::size_t offset = 0;
  for (std::size_t seen = 0; offset < text.size(); ++offset) {
    if ((static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80 && seen++ == columns) break;
  }
  return offset;
}

// The pieces of a cell, each at most `width` characters, cut after a separator where one is in
// the second half of the piece, else inside the word.
std::vector<std::string> FoldCell(std::string_view cell, std::size_t width) {
  std::vector<std::string> pieces;
  while (Columns(cell) > width) {
    std::size_t cut = ByteOffset(cell, width);
    const std::size_t separator = cell.substr(0, cut).find_last_of(" \\/,");
    if (separator != std::string_view::npos && Columns(cell.substr(0, separator + 1)) > width / 2) {
      cut = separator + 1;
    }
    std::string_view piece = cell.substr(0, cut);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    pieces.emplace_back(piece);
    cell.remove_prefix(cut);
  }
  pieces.emplace_back(cell);
  return pieces;
}

}  // namespace

std::vector<std::string> AlignedLines(const HtmlTable& table) {
  std::vector<const std::vector<std::string>*> rows;
  if (!table.header.empty()) rows.push_back(&table.header);
  for (const auto& row : table.rows) rows.push_back(&row);
  const auto numeric = [&](std::size_t column) {
    return column < table.numeric.size() && table.numeric[column];
  };
  std::vector<std::size_t> widths;
  for (const auto* row : rows) {
    if (widths.size() < row->size()) widths.resize(row->size(), 0);
    for (std::size_t i = 0; i < row->size(); ++i) {
      const std::size_t columns = Columns((*row)[i]);
      widths[i] = std::max(widths[i], numeric(i) ? columns : std::min(columns, kMaxCellColumns));
    }
  }
  std::vector<std::string> lines;
  for (const auto* row : rows) {
    std::vector<std::vector<std::string>> cells;
    std::size_t height = 1;
    for (std::size_t i = 0; i < row->size(); ++i) {
      cells.push_back(numeric(i) ? std::vector<std::string>{(*row)[i]}
                                 : FoldCell((*row)[i], widths[i]));
      height = std::max(height, cells.back().size());
    }
    for (std::size_t piece = 0; piece < height; ++piece) {
      std::string line;
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string cell = piece < cells[i].size() ? cells[i][piece] : std::string();
        const std::string padding(widths[i] - Columns(cell), ' ');
        if (i != 0) line += "  ";
        line +=
            numeric(i) ? padding + cell : cell + (i + 1 < cells.size() ? padding : std::string());
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      if (!line.empty()) lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::string HtmlToText(std::string_view html) {
  const dom::ParsedDocument document = dom::ParseHtmlDocument(html);
  if (!document.root) return {};
  TextBuilder text;
  // Enter and leave every node without recursion: a page may nest deeper than the stack allows.
  struct Step {
    const dom::Node* node;
    bool leaving;
  };
  std::vector<Step> steps = {{document.root.get(), false}};
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    const dom::Node& node = *step.node;
    if (node.type == dom::NodeType::kText) {
      text.Text(node.data);
      continue;
    }
    if (node.type == dom::NodeType::kComment) continue;
    if (IsOneOf(node, {"style", "script", "template", "head", "title"})) continue;
    if (step.leaving) {
      if (IsBlock(node)) text.LineBreak();
      continue;
    }
    if (node.Is("br")) {
      text.LineBreak();
      continue;
    }
    if (node.Is("table")) {
      // A table is laid out whole: columns as wide as their widest cell, figures to the right.
      const std::vector<HtmlTable> tables = HtmlTables(node);
      if (!tables.empty()) text.Lines(AlignedLines(tables.front()));
      continue;
    }
    if (IsBlock(node)) text.LineBreak();
    if (IsOneOf(node, {"td", "th"})) text.CellBreak();
    steps.push_back({&node, true});
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
      steps.push_back({child->get(), false});
  }
  return text.Take();
}

}  // namespace corvane
