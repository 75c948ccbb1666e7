#include "platform/dom/element.h"

#include <algorithm>
#include <utility>

#include "platform/dom/document.h"
#include "platform/dom/form_state.h"
#include "platform/dom/html_parser.h"
#include "platform/dom/html_serializer.h"
#include "platform/dom/table_rows.h"
#include "platform/text.h"

namespace corvane::dom {

namespace {

constexpr std::string_view kNumberAttribute = "data-n";

// Attribute names the serializer can write back without changing the markup around them.
bool IsValidAttributeName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F || c == '"' || c == '\'' || c == '>' || c == '/' ||
           c == '=' || c == '<';
  });
}

std::string AttributeKey(const Node& element, std::string_view name) {
  return element.ns == Namespace::kHtml ? AsciiLower(name) : std::string(name);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

Change MakeChange(ChangeKind kind, std::string name, std::string value) {
  Change change;
  change.kind = kind;
  change.name = std::move(name);
  change.value = std::move(value);
  return change;
}

}  // namespace

Node* Element::Resolve() const {
  return document_ ? document_->Find(number_) : nullptr;
}

Element Element::Wrap(const Node* node) const {
  return document_->Wrap(node);
}

std::vector<Element> Element::WrapAll(const std::vector<Node*>& nodes) const {
  std::vector<Element> elements;
  elements.reserve(nodes.size());
  for (const Node* node : nodes) elements.push_back(Wrap(node));
  return elements;
}

std::string Element::TagName() const {
  const Node* node = Resolve();
  if (!node) return {};
  return node->ns == Namespace::kHtml ? UpperAscii(node->name) : node->name;
}

AttributeValue Element::GetAttribute(std::string_view name) const {
  const Node* node = Resolve();
  if (!node) return {};
  const std::string key = AttributeKey(*node, name);
  if (key == kNumberAttribute) return std::to_string(node->number);
  if (key == "checked" && IsCheckable(*node)) return node->form.checked;
  if (key == "value" && HasLiveValue(*node)) return CurrentValue(*node);
  if (const std::string* value = node->FindAttribute(key)) return *value;
  return {};
}

void Element::SetAttribute(std::string_view name, std::string_view value) {
  Node* node = Resolve();
  if (!node || !IsValidAttributeName(name)) return;
  const std::string key = AttributeKey(*node, SanitizeUtf8(name));
  if (key == kNumberAttribute) return;
  const std::string text = SanitizeUtf8(value);
  node->PutAttribute(key, text);
  OnAttributeChanged(*node, key);
  document_->Record(*node, MakeChange(ChangeKind::kSetAttribute, key, text));
}

void Element::RemoveAttribute(std::string_view name) {
  Node* node = Resolve();
  if (!node) return;
  const std::string key = AttributeKey(*node, name);
  if (key == kNumberAttribute || !node->DropAttribute(key)) return;
  OnAttributeChanged(*node, key);
  document_->Record(*node, MakeChange(ChangeKind::kRemoveAttribute, key, {}));
}

std::string Element::InnerHtml() const {
  std::string html;
  if (const Node* node = Resolve()) SerializeChildren(*node, html);
  return html;
}

std::string Element::OuterHtml() const {
  std::string html;
  if (const Node* node = Resolve()) SerializeNode(*node, html);
  return html;
}

void Element::SetInnerHtml(std::string_view html) {
  Node* node = Resolve();
  if (!node) return;
  std::vector<std::unique_ptr<Node>> parsed;
  if (!ParseHtmlFragment(html, *node, parsed)) return;
  document_->ClearChildren(*node);
  for (auto& child : parsed) {
    Node* placed = node->Append(std::move(child));
    document_->Adopt(*placed);
    SettleRadioGroups(*placed);
  }
  document_->Record(*node, MakeChange(ChangeKind::kSetInnerHtml, {}, InnerHtml()));
}

std::string Element::InnerText() const {
  const Node* node = Resolve();
  return node ? TextContent(*node) : std::string();
}

void Element::SetInnerText(std::string_view text) {
  Node* node = Resolve();
  if (!node) return;
  document_->ClearChildren(*node);
  std::string content = SanitizeUtf8(text);
  if (!content.empty()) {
    auto text_node = std::make_unique<Node>(NodeType::kText);
    text_node->data = content;
    node->Append(std::move(text_node));
  }
  document_->Record(*node, MakeChange(ChangeKind::kSetInnerText, {}, std::move(content)));
}

bool Element::InsertAdjacentHtml(std::string_view where, std::string_view html) {
  Node* node = Resolve();
  if (!node) return false;
  const std::string position = AsciiLower(where);
  Node* container = nullptr;
  std::size_t index = 0;
  if (position == "afterbegin" || position == "beforeend") {
    container = node;
    index = position == "afterbegin" ? 0 : node->children.size();
  } else if (position == "beforebegin" || position == "afterend") {
    container = node->parent;
    if (!container || container->type != NodeType::kElement) return false;
    index = node->IndexInParent() + (position == "afterend" ? 1 : 0);
  } else {
    return false;
  }
  // Content placed directly into the html element parses as body content.
  Node body_context(NodeType::kElement);
  body_context.name = "body";
  const Node& context = container->Is("html") ? body_context : *container;
  std::vector<std::unique_ptr<Node>> parsed;
  if (!ParseHtmlFragment(html, context, parsed)) return false;
  std::string inserted;
  for (auto& child : parsed) {
    Node* placed = container->Insert(index++, std::move(child));
    document_->Adopt(*placed);
    SettleRadioGroups(*placed);
    SerializeNode(*placed, inserted);
  }
  document_->Record(*node,
                    MakeChange(ChangeKind::kInsertAdjacentHtml, position, std::move(inserted)));
  return true;
}

bool Element::AppendChild(Element child) {
  Node* node = Resolve();
  const Node* child_node = child.document_ == document_ ? child.Resolve() : nullptr;
  // Only a made element without parent can be placed; one is never placed inside itself.
  if (!node || !child_node || child_node->parent || &node->Root() == child_node) return false;
  std::unique_ptr<Node> owned = document_->TakeUnplaced(child_node);
  if (!owned) return false;
  Node* placed = node->Append(std::move(owned));
  SettleRadioGroups(*placed);
  std::string html;
  SerializeNode(*placed, html);
  document_->Record(*node,
                    MakeChange(ChangeKind::kInsertAdjacentHtml, "beforeend", std::move(html)));
  return true;
}

Element Element::Parent() const {
  const Node* node = Resolve();
  if (!node || !node->parent || node->parent->type != NodeType::kElement) return {};
  return Wrap(node->parent);
}

std::vector<Element> Element::Children() const {
  std::vector<Element> elements;
  if (const Node* node = Resolve()) {
    for (const auto& child : node->children) {
      if (child->type == NodeType::kElement) elements.push_back(Wrap(child.get()));
    }
  }
  return elements;
}

std::vector<Element> Element::Rows() const {
  const Node* node = Resolve();
  return node ? WrapAll(TableRows(*node)) : std::vector<Element>();
}

std::vector<Element> Element::Cells() const {
  const Node* node = Resolve();
  return node ? WrapAll(RowCells(*node)) : std::vector<Element>();
}

int Element::CellIndex() const {
  const Node* node = Resolve();
  return node ? dom::CellIndex(*node) : -1;
}

bool Element::MoveRow(int from, int to) {
  Node* node = Resolve();
  if (!node || !MoveTableRow(*node, from, to)) return false;
  if (from != to) {
    Change change = MakeChange(ChangeKind::kMoveRow, {}, {});
    change.from = from;
    change.to = to;
    document_->Record(*node, std::move(change));
  }
  return true;
}

}  // namespace corvane::dom
