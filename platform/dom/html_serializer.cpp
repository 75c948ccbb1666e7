#include "platform/dom/html_serializer.h"

#include <array>
#include <string_view>
#include <vector>

namespace corvane::dom {

namespace {

constexpr std::array<std::string_view, 18> kVoidElements = {
    "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "frame", "hr",
    "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};

constexpr std::array<std::string_view, 7> kRawTextElements = {
    "style", "script", "xmp", "iframe", "noembed", "noframes", "plaintext"};

template <std::size_t N>
bool IsHtmlOneOf(const Node& node, const std::array<std::string_view, N>& names) {
  if (node.type != NodeType::kElement || node.ns != Namespace::kHtml) return false;
  for (std::string_view name : names) {
    if (node.name == name) return true;
  }
  return false;
}

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

void AppendEscaped(std::string_view text, bool in_attribute, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"' && in_attribute) {
      out += "&quot;";
    } else if (text.substr(i, kNoBreakSpace.size()) == kNoBreakSpace) {
      out += "&nbsp;";
      ++i;
    } else {
      out += c;
    }
  }
}

void AppendStartTag(const Node& element, std::string& out) {
  out += '<';
  out += element.name;
  if (element.number != 0) {
    out += " data-n=\"";
    out += std::to_string(element.number);
    out += '"';
  }
  for (const Attribute& attribute : element.attributes) {
    out += ' ';
    out += attribute.name;
    out += "=\"";
    AppendEscaped(attribute.value, true, out);
    out += '"';
  }
  out += '>';
  // The parser drops one newline right after these start tags; write one back so that content
  // starting with a newline survives a round trip.
  if ((element.Is("pre") || element.Is("textarea") || element.Is("listing")) &&
      !element.children.empty() && element.children.front()->type == NodeType::kText &&
      element.children.front()->data.starts_with('\n')) {
    out += '\n';
  }
}

void AppendLeaf(const Node& node, std::string& out) {
  if (node.type == NodeType::kComment) {
    out += "<!--";
    out += node.data;
    out += "-->";
  } else if (node.type == NodeType::kText) {
    if (node.parent && IsHtmlOneOf(*node.parent, kRawTextElements)) {
      out += node.data;
    } else {
      AppendEscaped(node.data, false, out);
    }
  }
}

// Serializes the children of node, iteratively; with include_self, node's own tags too.
void Serialize(const Node& node, bool include_self, std::string& out) {
  struct Frame {
    const Node* element;
    std::size_t next;
  };
  std::vector<Frame> stack;
  const auto open = [&](const Node& element) {
    AppendStartTag(element, out);
    if (IsHtmlOneOf(element, kVoidElements)) return;
    stack.push_back({&element, 0});
  };
  if (!include_self) {
    stack.push_back({&node, 0});
  } else if (node.type == NodeType::kElement) {
    open(node);
  } else {
    AppendLeaf(node, out);
    return;
  }
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.element->children.size()) {
      const Node* done = top.element;
      stack.pop_back();
      if (include_self || !stack.empty()) {
        out += "</";
        out += done->name;
        out += '>';
      }
      continue;
    }
    const Node& child = *top.element->children[top.next++];
    if (child.type == NodeType::kElement) {
      open(child);
    } else {
      AppendLeaf(child, out);
    }
  }
}

}  // namespace

void SerializeNode(const Node& node, std::string& out) {
  Serialize(node, true, out);
}

void SerializeChildren(const Node& node, std::string& out) {
  Serialize(node, false, out);
}

std::string SerializeDocument(const Node& document, const std::optional<Doctype>& doctype) {
  std::string out;
  if (doctype) {
    out += "<!DOCTYPE ";
    out += doctype->name;
    if (!doctype->public_id.empty()) {
      out += " PUBLIC \"" + doctype->public_id + '"';
      if (!doctype->system_id.empty()) out += " \"" + doctype->system_id + '"';
    } else if (!doctype->system_id.empty()) {
      out += " SYSTEM \"" + doctype->system_id + '"';
    }
    out += '>';
  }
  SerializeChildren(document, out);
  return out;
}

}  // namespace corvane::dom
