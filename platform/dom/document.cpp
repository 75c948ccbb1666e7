#include "platform/dom/document.h"

#include <algorithm>
#include <utility>

#include "platform/dom/form_state.h"
#include "platform/dom/html_serializer.h"

namespace corvane::dom {

namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Names a browser's createElement accepts, restricted to what the serializer can write back.
bool IsValidTagName(std::string_view tag) {
  if (tag.empty() || !IsAsciiAlpha(tag.front())) return false;
  return std::all_of(tag.begin(), tag.end(), [](char c) {
    return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
  });
}

}  // namespace

std::unique_ptr<Document> Document::Parse(std::string_view html) {
  ParsedDocument parsed = ParseHtmlDocument(html);
  if (!parsed.root) return nullptr;
  std::unique_ptr<Document> document(new Document());
  document->doctype_ = std::move(parsed.doctype);
  for (auto& child : parsed.root->children) document->root_.Append(std::move(child));
  parsed.root->children.clear();
  document->Adopt(document->root_);
  SettleRadioGroups(document->root_);
  return document;
}

Element Document::DocumentElement() {
  for (const auto& child : root_.children) {
    if (child->type == NodeType::kElement) return Wrap(child.get());
  }
  return {};
}

Element Document::Body() {
  const Node* html = DocumentElement().Resolve();
  if (!html) return {};
  for (const auto& child : html->children) {
    if (child->Is("body")) return Wrap(child.get());
  }
  return {};
}

Element Document::GetElementById(std::string_view id) {
  if (id.empty()) return {};
  const Node* found = nullptr;
  WalkTree(root_, [&](const Node& node) {
    if (node.type == NodeType::kElement) {
      const std::string* value = node.FindAttribute("id");
      if (value && *value == id) {
        found = &node;
        return Walk::kStop;
      }
    }
    return Walk::kContinue;
  });
  return Wrap(found);
}

Element Document::ElementByNumber(NodeNumber number) {
  return Wrap(Find(number));
}

std::vector<Element> Document::ElementsWithAttribute(std::string_view name,
                                                     std::string_view value) {
  const std::string lower = AsciiLower(name);
  std::vector<Element> elements;
  WalkTree(root_, [&](const Node& node) {
    if (node.type == NodeType::kElement) {
      const std::string* found = node.FindAttribute(lower);
      if (found && *found == value) elements.push_back(Wrap(&node));
    }
    return Walk::kContinue;
  });
  return elements;
}

Element Document::CreateElement(std::string_view tag) {
  if (!IsValidTagName(tag)) return {};
  auto node = std::make_unique<Node>(NodeType::kElement);
  node->name = AsciiLower(tag);
  Adopt(*node);
  unplaced_.push_back(std::move(node));
  return Wrap(unplaced_.back().get());
}

bool Document::ApplyViewState(NodeNumber number, const ViewState& state) {
  Node* node = Find(number);
  if (!node) return false;
  if (state.checked && IsCheckable(*node)) {
    node->form.checked_dirty = true;
    SetCheckedness(*node, *state.checked);
  }
  if (state.value && HasLiveValue(*node) && !IsCheckable(*node)) {
    node->form.value_dirty = true;
    node->form.value = *state.value;
  }
  return true;
}

std::string Document::Serialize() const {
  return SerializeDocument(root_, doctype_);
}

std::vector<Change> Document::TakeChanges() {
  return std::exchange(changes_, {});
}

Node* Document::Find(NodeNumber number) const {
  const auto found = by_number_.find(number);
  return found == by_number_.end() ? nullptr : found->second;
}

Element Document::Wrap(const Node* node) {
  return node && node->number != 0 ? Element(this, node->number) : Element();
}

void Document::Adopt(Node& subtree) {
  WalkTree(subtree, [&](Node& node) {
    if (node.type == NodeType::kElement && node.number == 0) {
      node.number = next_number_++;
      by_number_.emplace(node.number, &node);
    }
    return Walk::kContinue;
  });
}

void Document::Forget(const Node& subtree) {
  WalkTree(subtree, [&](const Node& node) {
    if (node.number != 0) by_number_.erase(node.number);
    return Walk::kContinue;
  });
}

void Document::ClearChildren(Node& node) {
  for (const auto& child : node.children) Forget(*child);
  node.children.clear();
}

bool Document::IsPlaced(const Node& node) const {
  return &node.Root() == &root_;
}

void Document::Record(const Node& node, Change change) {
  if (!IsPlaced(node)) return;
  change.target = node.number;
  changes_.push_back(std::move(change));
}

std::unique_ptr<Node> Document::TakeUnplaced(const Node* node) {
  const auto found = std::find_if(unplaced_.begin(), unplaced_.end(),
                                  [&](const auto& candidate) { return candidate.get() == node; });
  if (found == unplaced_.end()) return nullptr;
  std::unique_ptr<Node> taken = std::move(*found);
  unplaced_.erase(found);
  return taken;
}

}  // namespace corvane::dom
