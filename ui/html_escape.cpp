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

std::string HtmlEscapePath(std::string_view path) {
  std::string out;
  for (const char c : HtmlEscape(path)) {
    out += c;
    if (c == '\\' || c == '/') out += "<wbr>";
  }
  return out;
}

}  // namespace corvane
