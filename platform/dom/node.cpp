#include "platform/dom/node.h"

#include <algorithm>
#include <utility>

namespace corvane::dom {

Node::~Node() {
  std::vector<std::unique_ptr<Node>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<Node> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

bool Node::Is(std::string_view local_name) const {
  return type == NodeType::kElement && ns == Namespace::kHtml && name == local_name;
}

const std::string* Node::FindAttribute(std::string_view attribute_name) const {
  for (const Attribute& attribute : attributes) {
    if (attribute.name == attribute_name) return &attribute.value;
  }
  return nullptr;
}

void Node::PutAttribute(std::string_view attribute_name, std::string_view attribute_value) {
  for (Attribute& attribute : attributes) {
    if (attribute.name == attribute_name) {
      attribute.value = attribute_value;
      return;
    }
  }
  attributes.push_back({std::string(attribute_name), std::string(attribute_value)});
}

bool Node::DropAttribute(std::string_view attribute_name) {
  const auto found = std::find_if(attributes.begin(), attributes.end(),
                                  [&](const Attribute& a) { return a.name == attribute_name; });
  if (found == attributes.end()) return false;
  attributes.erase(found);
  return true;
}

Node* Node::Insert(std::size_t index, std::unique_ptr<Node> child) {
  child->parent = this;
  Node* raw = child.get();
  index = std::min(index, children.size());
  children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(child));
  return raw;
}

std::size_t Node::IndexInParent() const {
  if (!parent) return 0;
  const auto& siblings = parent->children;
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == this) return i;
  }
  return 0;
}

const Node& Node::Root() const {
  const Node* node = this;
  while (node->parent) node = node->parent;
  return *node;
}

void WalkTree(Node& root, const std::function<Walk(Node&)>& visit) {
  struct Frame {
    Node* node;
    std::size_t next;
  };
  if (visit(root) != Walk::kContinue) return;
  std::vector<Frame> stack{{&root, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.node->children.size()) {
      stack.pop_back();
      continue;
    }
    Node& child = *top.node->children[top.next++];
    const Walk step = visit(child);
    if (step == Walk::kStop) return;
    if (step == Walk::kContinue && !child.children.empty()) stack.push_back({&child, 0});
  }
}

void WalkTree(const Node& root, const std::function<Walk(const Node&)>& visit) {
  WalkTree(const_cast<Node&>(root), [&](Node& node) { return visit(node); });
}

std::string TextContent(const Node& node) {
  std::string text;
  WalkTree(node, [&](const Node& n) {
    if (n.type == NodeType::kText) text += n.data;
    return Walk::kContinue;
  });
  return text;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace corvane::dom
