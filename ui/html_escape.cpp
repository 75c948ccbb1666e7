#include "ui/html_escape.h"

namespace corvane {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

std::string EscapeWithBreaksAfter(std::string_view text, std::string_view separators) {
  std::string out;
  for (const char c : HtmlEscape(text)) {
    out += c;
    if (separators.find(c) != std::string_view::npos) out += "<wbr>";
  }
  return out;
}

}  // namespace

std::string HtmlEscapePath(std::string_view path) {
  return EscapeWithBreaksAfter(path, "\\/");
}

std::string HtmlEscapeName(std::string_view name) {
  return EscapeWithBreaksAfter(name, "\\/.");
}

}  // namespace corvane
