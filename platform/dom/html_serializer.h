#pragma once
// HTML serialization as browsers do it for innerHTML/outerHTML: void elements without end tags,
// escaped text and attribute values, raw text inside script and style. Every numbered element is
// written with its "data-n", so a copy parsed from the output carries the same numbers.

#include <optional>
#include <string>

#include "platform/dom/html_parser.h"
#include "platform/dom/node.h"

namespace corvane::dom {

// Appends node itself (outer HTML) to out.
void SerializeNode(const Node& node, std::string& out);
// Appends node's children (inner HTML) to out.
void SerializeChildren(const Node& node, std::string& out);
// A whole page: the document type declaration, then the document's children.
[[nodiscard]] std::string SerializeDocument(const Node& document,
                                            const std::optional<Doctype>& doctype);

}  // namespace corvane::dom
