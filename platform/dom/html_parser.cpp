#include "platform/dom/html_parser.h"

#include <gumbo.h>

#include <utility>

#include "platform/last_error.h"

namespace corvane::dom {

namespace {

// Number-free conversion: numbers belong to the document that adopts the nodes.
constexpr std::string_view kNumberAttribute = "data-n";

struct OutputDeleter {
  GumboOptions options;
  void operator()(GumboOutput* output) const { gumbo_destroy_output(&options, output); }
};
using OutputPtr = std::unique_ptr<GumboOutput, OutputDeleter>;

GumboOptions Options() {
  GumboOptions options = kGumboDefaultOptions;
  // Gumbo copies the whole stack of open elements into every error it records: with deeply
  // nested unclosed tags that is quadratic memory. We never read the errors.
  options.max_errors = 0;
  return options;
}

Namespace ToNamespace(GumboNamespaceEnum ns) {
  switch (ns) {
    case GUMBO_NAMESPACE_SVG:
      return Namespace::kSvg;
    case GUMBO_NAMESPACE_MATHML:
      return Namespace::kMathMl;
    case GUMBO_NAMESPACE_HTML:
      break;
  }
  return Namespace::kHtml;
}

std::string ElementName(const GumboElement& element) {
  GumboStringPiece original = element.original_tag;
  if (original.data && original.length > 0) gumbo_tag_from_original_text(&original);
  if (element.tag_namespace == GUMBO_NAMESPACE_SVG && original.length > 0) {
    // SVG keeps camel-cased names such as "foreignObject".
    if (const char* svg_name = gumbo_normalize_svg_tagname(&original)) return svg_name;
  }
  if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
  if (original.length == 0) return "unknown";
  return AsciiLower(std::string_view(original.data, original.length));
}

std::string AttributeName(const GumboAttribute& attribute) {
  const std::string_view local = attribute.name;
  switch (attribute.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
      return "xlink:" + std::string(local);
    case GUMBO_ATTR_NAMESPACE_XML:
      return "xml:" + std::string(local);
    case GUMBO_ATTR_NAMESPACE_XMLNS:
      return local == "xmlns" ? std::string(local) : "xmlns:" + std::string(local);
    case GUMBO_ATTR_NAMESPACE_NONE:
      break;
  }
  return std::string(local);
}

std::unique_ptr<Node> ConvertElement(const GumboElement& element) {
  auto node = std::make_unique<Node>(NodeType::kElement);
  node->name = ElementName(element);
  node->ns = ToNamespace(element.tag_namespace);
  for (unsigned i = 0; i < element.attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
    std::string name = AttributeName(*attribute);
    if (name == kNumberAttribute || node->FindAttribute(name)) continue;
    node->attributes.push_back({std::move(name), attribute->value});
  }
  node->form.checked = node->FindAttribute("checked") != nullptr;
  return node;
}

std::unique_ptr<Node> ConvertLeaf(const GumboNode& source) {
  switch (source.type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA: {
      auto node = std::make_unique<Node>(NodeType::kText);
      node->data = source.v.text.text;
      return node;
    }
    case GUMBO_NODE_COMMENT: {
      auto node = std::make_unique<Node>(NodeType::kComment);
      node->data = source.v.text.text;
      return node;
    }
    default:
      return nullptr;
  }
}

const GumboVector& ChildrenOf(const GumboNode& node) {
  return node.type == GUMBO_NODE_DOCUMENT ? node.v.document.children : node.v.element.children;
}

// Appends converted copies of source's children to target, iteratively.
void ConvertChildren(const GumboNode& source, Node& target) {
  struct Frame {
    const GumboNode* source;
    Node* target;
  };
  std::vector<Frame> stack{{&source, &target}};
  while (!stack.empty()) {
    const Frame frame = stack.back();
    stack.pop_back();
    const GumboVector& children = ChildrenOf(*frame.source);
    for (unsigned i = 0; i < children.length; ++i) {
      const auto* child = static_cast<const GumboNode*>(children.data[i]);
      if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
        Node* converted = frame.target->Append(ConvertElement(child->v.element));
        stack.push_back({child, converted});
      } else if (auto leaf = ConvertLeaf(*child)) {
        frame.target->Append(std::move(leaf));
      }
    }
  }
}

GumboTag ContextTag(const Node& context) {
  const GumboTag tag = gumbo_tag_enum(context.name.c_str());
  if (tag != GUMBO_TAG_UNKNOWN) return tag;
  // Unknown elements parse their content like any ordinary container.
  return context.ns == Namespace::kSvg ? GUMBO_TAG_SVG : GUMBO_TAG_DIV;
}

GumboNamespaceEnum ContextNamespace(const Node& context) {
  switch (context.ns) {
    case Namespace::kSvg:
      return GUMBO_NAMESPACE_SVG;
    case Namespace::kMathMl:
      return GUMBO_NAMESPACE_MATHML;
    case Namespace::kHtml:
      break;
  }
  return GUMBO_NAMESPACE_HTML;
}

}  // namespace

ParsedDocument ParseHtmlDocument(std::string_view html) {
  const GumboOptions options = Options();
  OutputPtr output(gumbo_parse_with_options(&options, html.data(), html.size()),
                   OutputDeleter{options});
  ParsedDocument parsed;
  if (!output || !output->document) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return parsed;
  }
  parsed.root = std::make_unique<Node>(NodeType::kDocument);
  const GumboDocument& document = output->document->v.document;
  if (document.has_doctype) {
    parsed.doctype = Doctype{document.name ? document.name : "",
                             document.public_identifier ? document.public_identifier : "",
                             document.system_identifier ? document.system_identifier : ""};
  }
  ConvertChildren(*output->document, *parsed.root);
  return parsed;
}

bool ParseHtmlFragment(std::string_view html, const Node& context,
                       std::vector<std::unique_ptr<Node>>& nodes) {
  GumboOptions options = Options();
  options.fragment_context = ContextTag(context);
  options.fragment_namespace = ContextNamespace(context);
  OutputPtr output(gumbo_parse_with_options(&options, html.data(), html.size()),
                   OutputDeleter{options});
  if (!output || !output->root) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // Gumbo hangs the fragment's nodes under a synthetic html element.
  Node holder(NodeType::kElement);
  ConvertChildren(*output->root, holder);
  nodes.clear();
  for (auto& child : holder.children) {
    child->parent = nullptr;
    nodes.push_back(std::move(child));
  }
  holder.children.clear();
  return true;
}

}  // namespace corvane::dom
