#include "platform/dom/change.h"

#include <cstdio>
#include <string_view>

namespace corvane::dom {

namespace {

void AppendUnicodeEscape(unsigned code, std::string& out) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
  out += buffer;
}

void AppendJsonString(std::string_view text, std::string& out) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '<':
      case '>':
      case '&':
        AppendUnicodeEscape(c, out);
        continue;
      default:
        break;
    }
    if (c < 0x20) {
      AppendUnicodeEscape(c, out);
    } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
               (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
      // Line and paragraph separators end a line in older script engines.
      AppendUnicodeEscape(text[i + 2] == '\xA8' ? 0x2028 : 0x2029, out);
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void AppendField(std::string_view key, std::string_view value, std::string& out) {
  out += ",\"";
  out += key;
  out += "\":";
  AppendJsonString(value, out);
}

void AppendNumberField(std::string_view key, long long value, std::string& out) {
  out += ",\"";
  out += key;
  out += "\":";
  out += std::to_string(value);
}

std::string_view OpName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kSetInnerHtml:
      return "html";
    case ChangeKind::kSetInnerText:
      return "text";
    case ChangeKind::kInsertAdjacentHtml:
      return "insert";
    case ChangeKind::kSetAttribute:
      return "attr";
    case ChangeKind::kRemoveAttribute:
      return "unattr";
    case ChangeKind::kMoveRow:
      return "moveRow";
  }
  return "";
}

}  // namespace

std::string ChangesToJson(const std::vector<Change>& changes) {
  std::string out = "[";
  for (const Change& change : changes) {
    if (out.size() > 1) out += ',';
    out += "{\"op\":";
    AppendJsonString(OpName(change.kind), out);
    AppendNumberField("n", change.target, out);
    switch (change.kind) {
      case ChangeKind::kSetInnerHtml:
        AppendField("html", change.value, out);
        break;
      case ChangeKind::kSetInnerText:
        AppendField("text", change.value, out);
        break;
      case ChangeKind::kInsertAdjacentHtml:
        AppendField("where", change.name, out);
        AppendField("html", change.value, out);
        break;
      case ChangeKind::kSetAttribute:
        AppendField("name", change.name, out);
        AppendField("value", change.value, out);
        break;
      case ChangeKind::kRemoveAttribute:
        AppendField("name", change.name, out);
        break;
      case ChangeKind::kMoveRow:
        AppendNumberField("from", change.from, out);
        AppendNumberField("to", change.to, out);
        break;
    }
    out += '}';
  }
  out += ']';
  return out;
}

}  // namespace corvane::dom
