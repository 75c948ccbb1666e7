#pragma once
// Pages as plain text for a terminal: the details and report pages the desktop shows, read the
// way a person reads them — headings and paragraphs on lines of their own, table rows as lines
// with their cells apart, whitespace collapsed, styles and scripts left out.

#include <string>
#include <string_view>

namespace corvane {

[[nodiscard]] std::string HtmlToText(std::string_view html);

}  // namespace corvane
