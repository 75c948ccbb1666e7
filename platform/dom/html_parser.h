#pragma once
// HTML5 parsing with gumbo, converted into our own mutable nodes. Entities are decoded, implied
// elements (html, head, body, tbody) are present, exactly as a browser builds the tree.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/node.h"

namespace corvane::dom {

// The document type declaration as written; kept so that the view's copy of a page renders in
// the same mode (standards or quirks) as the page file.
struct Doctype {
  std::string name;
  std::string public_id;
  std::string system_id;
};

struct ParsedDocument {
  std::unique_ptr<Node> root;  // a kDocument node
  std::optional<Doctype> doctype;
};

// Parses a whole page. Nothing is numbered yet. Empty root on failure (out of memory), with the
// last error set.
[[nodiscard]] ParsedDocument ParseHtmlDocument(std::string_view html);

// Parses html as the content of an element like context (its tag and namespace decide, as for
// innerHTML: "<tr>" inside a "tbody" context stays a row). False on failure (out of memory).
[[nodiscard]] bool ParseHtmlFragment(std::string_view html, const Node& context,
                                     std::vector<std::unique_ptr<Node>>& nodes);

}  // namespace corvane::dom
