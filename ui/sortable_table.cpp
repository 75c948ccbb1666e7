#include "ui/sortable_table.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <variant>
#include <vector>

#include "platform/text.h"

namespace corvane {

namespace {

std::optional<std::string> StringAttribute(const dom::Element& element, std::string_view name) {
  const dom::AttributeValue value = element.GetAttribute(name);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

bool HasClass(const dom::Element& element, std::string_view wanted) {
  const std::optional<std::string> classes = StringAttribute(element, "class");
  if (!classes) return false;
  std::size_t start = 0;
  while (start <= classes->size()) {
    std::size_t end = classes->find_first_of(" \t\n\r\f", start);
    if (end == std::string::npos) end = classes->size();
    if (std::string_view(*classes).substr(start, end - start) == wanted) return true;
    start = end + 1;
  }
  return false;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string PadLeft(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

// Replaces the first unit found of GB, MB, KB by its zeros; with none, drops every "B".
std::string ByteSizeDigits(std::string_view text) {
  // "—", an empty size, is none.
  if (text.find_first_of("0123456789") == std::string_view::npos) return "0";
  std::string digits;
  for (const char c : text) {
    if (c != ' ' && c != '.') digits += c;
  }
  static constexpr std::pair<std::string_view, std::string_view> kUnits[] = {
      {"GB", "000000000"}, {"MB", "000000"}, {"KB", "000"}};
  for (const auto& [unit, zeros] : kUnits) {
    if (digits.find(unit) == std::string::npos) continue;
    for (std::size_t at; (at = digits.find(unit)) != std::string::npos;) {
      digits.replace(at, unit.size(), zeros);
    }
    return digits;
  }
  std::erase(digits, 'B');
  return digits;
}

// The date forms the pages show, the locale's own first. A text none of them reads gets the key
// of an invalid date, which sorts before every real one.
std::string DateKey(std::string_view text) {
  static constexpr const char* kForms[] = {"%c",
                                           "%x %X",
                                           "%x %H:%M",
                                           "%x",
                                           "%d-%b-%y %H:%M",
                                           "%Y-%m-%d %H:%M:%S",
                                           "%Y-%m-%d %H:%M",
                                           "%Y-%m-%d",
                                           "%d.%m.%Y %H:%M:%S",
                                           "%d.%m.%Y"};
  const std::string owned(text);
  for (const char* form : kForms) {
    struct tm parts = {};
    const char* end = strptime(owned.c_str(), form, &parts);
    if (end == nullptr || *end != '\0') continue;
    char key[32];
    std::snprintf(key, sizeof key, "%04d%02d%02d%02d%02d%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return key;
  }
  return {};
}

struct SortEntry {
  std::string key;
  int row = 0;
};

}  // namespace

std::string SortKey(std::string_view valueType, std::string_view text, std::size_t longest) {
  if (valueType == "number") return PadLeft(std::string(text), longest);
  if (valueType == "bytesize") return PadLeft(ByteSizeDigits(text), longest + 9);
  if (valueType == "date") return DateKey(text);
  return std::string(text);
}

dom::Element SortedColumnCell(const dom::Element& clicked) {
  for (dom::Element at = clicked; at; at = at.Parent()) {
    if (HasClass(at, "sortedcolumn")) return at;
  }
  return {};
}

bool OnSortedColumnClick(dom::Document& document, const dom::Element& clicked) {
  if (!SortedColumnCell(clicked)) return false;
  // The cell (its column), its row, and the table that names the table to sort.
  int column = -1;
  dom::Element header;
  dom::Element headerRow;
  std::optional<std::string> tableId;
  for (dom::Element at = clicked; at; at = at.Parent()) {
    const std::string tag = at.TagName();
    if (column < 0 && (EqualsNoCase(tag, "td") || EqualsNoCase(tag, "th"))) {
      column = at.CellIndex();
      header = at;
    } else if (!headerRow && EqualsNoCase(tag, "tr")) {
      headerRow = at;
    } else if (EqualsNoCase(tag, "table")) {
      tableId = StringAttribute(at, "sortedtabid");
      break;
    }
  }
  if (column < 0 || !headerRow || !tableId || tableId->empty()) return false;
  dom::Element table = document.GetElementById(*tableId);
  if (!table) return false;
  const std::optional<std::string> valueType = StringAttribute(header, "valuetype");
  const std::optional<std::string> order = StringAttribute(header, "sord");
  if (!valueType || !order) return false;

  // Every row but the last, by its cell in the column (a row without one sorts as empty).
  const std::vector<dom::Element> rows = table.Rows();
  const int sorted = rows.empty() ? 0 : static_cast<int>(rows.size()) - 1;
  std::vector<std::string> texts;
  std::size_t longest = 0;
  for (int i = 0; i < sorted; ++i) {
    const std::vector<dom::Element> cells = rows[i].Cells();
    std::string text = column < static_cast<int>(cells.size())
                           ? std::string(Trim(cells[column].InnerText()))
                           : std::string();
    longest = std::max(longest, text.size());
    texts.push_back(std::move(text));
  }
  std::vector<SortEntry> entries;
  for (int i = 0; i < sorted; ++i) entries.push_back({SortKey(*valueType, texts[i], longest), i});
  const bool descending = *order != "DESC";
  // Stable, so rows with equal keys keep their order and repeated clicks do not shuffle them.
  std::stable_sort(entries.begin(), entries.end(), [descending](const auto& a, const auto& b) {
    return descending ? b.key < a.key : a.key < b.key;
  });
  header.SetAttribute("sord", descending ? "DESC" : "ASC");

  // Rows move one at a time: track where each original row now stands.
  std::vector<int> position(sorted);
  for (int i = 0; i < sorted; ++i) position[i] = i;
  std::vector<int> atPosition = position;
  for (int target = 0; target < sorted; ++target) {
    const int original = entries[target].row;
    const int from = position[original];
    if (from == target) continue;
    if (!table.MoveRow(from, target)) return false;
    // Rows between target and from shift down by one.
    for (int p = from; p > target; --p) {
      atPosition[p] = atPosition[p - 1];
      position[atPosition[p]] = p;
    }
    atPosition[target] = original;
    position[original] = target;
  }
  return true;
}

}  // namespace corvane
