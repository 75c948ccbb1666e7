#pragma once
// Data placed into a template (file names, domains, URLs, registry text, user input) must read as
// text, never as markup; language snippets are HTML and go in as they are.

#include <string>
#include <string_view>

namespace corvane {

// The text with "&", "<", ">", '"' and "'" written as character references, safe both as element
// content and inside a quoted attribute value.
[[nodiscard]] std::string HtmlEscape(std::string_view text);

// A path escaped as HtmlEscape does, with a line-break opportunity ("<wbr>") after each "\" and
// "/": a narrow column then wraps it between its folders rather than inside a name (with CSS
// "overflow-wrap: break-word", as the class "path-parts" has).
[[nodiscard]] std::string HtmlEscapePath(std::string_view path);

// A domain, address or path on a domain row: breaks also after each "." so that
// "tracker.example.net" wraps between its labels.
[[nodiscard]] std::string HtmlEscapeName(std::string_view name);

}  // namespace corvane
