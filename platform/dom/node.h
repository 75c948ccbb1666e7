#pragma once
// The nodes of one page's tree. A Document owns them; page logic reaches elements through Element
// handles, so a pointer to a node never outlives an inner-HTML replacement in caller code.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::dom {

// The number every element carries as "data-n"; the view names elements by it. 0 means none.
using NodeNumber = std::uint32_t;

enum class NodeType { kDocument, kElement, kText, kComment };
enum class Namespace { kHtml, kSvg, kMathMl };

struct Attribute {
  std::string name;
  std::string value;
};

// What a form control holds apart from its attributes. Browsers stop following the "checked" and
// "value" attributes once the user has changed a control (the dirty flags).
struct FormState {
  bool checked = false;
  bool checked_dirty = false;
  bool value_dirty = false;
  std::string value;
};

struct Node {
  explicit Node(NodeType node_type) : type(node_type) {}
  // Frees the subtree without recursion: hostile pages nest deeper than the stack allows.
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // An HTML element with that (lower-case) local name.
  [[nodiscard]] bool Is(std::string_view local_name) const;
  [[nodiscard]] const std::string* FindAttribute(std::string_view attribute_name) const;
  void PutAttribute(std::string_view attribute_name, std::string_view attribute_value);
  // Whether the attribute was there.
  bool DropAttribute(std::string_view attribute_name);

  // Takes ownership of child and places it before children[index] (at the end when index is
  // past the last child). Returns the child.
  Node* Insert(std::size_t index, std::unique_ptr<Node> child);
  Node* Append(std::unique_ptr<Node> child) { return Insert(children.size(), std::move(child)); }
  // Position among the parent's children; 0 for a node without parent.
  [[nodiscard]] std::size_t IndexInParent() const;
  // The topmost ancestor (the document node for a node in a document).
  [[nodiscard]] const Node& Root() const;

  NodeType type;
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;
  std::string name;  // element: local name, lower case for HTML elements
  Namespace ns = Namespace::kHtml;
  std::vector<Attribute> attributes;
  NodeNumber number = 0;
  FormState form;
  std::string data;  // text and comment content
};

enum class Walk { kContinue, kSkipChildren, kStop };

// Visits root and its descendants in document order without recursion.
void WalkTree(const Node& root, const std::function<Walk(const Node&)>& visit);
void WalkTree(Node& root, const std::function<Walk(Node&)>& visit);

// The concatenated text of every text node below node (DOM textContent).
[[nodiscard]] std::string TextContent(const Node& node);

// ASCII lower-casing, as HTML applies it to tag and attribute names.
[[nodiscard]] std::string AsciiLower(std::string_view text);

}  // namespace corvane::dom
