#pragma once
// The DOM of one page, which the page logic reads and writes synchronously. Every element gets a
// node number ("data-n"), unique and never reused within the document, and every change made
// through Element handles to the placed tree is recorded for the view (change.h).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dom/change.h"
#include "platform/dom/element.h"
#include "platform/dom/html_parser.h"
#include "platform/dom/node.h"

namespace corvane::dom {

// Form state the view reports with a "click" or "change" event.
struct ViewState {
  std::optional<bool> checked = std::nullopt;
  std::optional<std::string> value = std::nullopt;
};

class Document {
 public:
  // Parses a page with HTML5 rules. Null only when parsing failed (out of memory; last error set).
  [[nodiscard]] static std::unique_ptr<Document> Parse(std::string_view html);

  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The html element.
  [[nodiscard]] Element DocumentElement();
  [[nodiscard]] Element Body();
  // The first element in document order with that id; empty when there is none.
  [[nodiscard]] Element GetElementById(std::string_view id);
  // The element with that node number (placed, or made and not yet placed); empty when none.
  [[nodiscard]] Element ElementByNumber(NodeNumber number);
  // Every placed element whose attribute name equals value exactly, in document order.
  [[nodiscard]] std::vector<Element> ElementsWithAttribute(std::string_view name,
                                                           std::string_view value);
  // A new HTML element, not yet placed (Element::AppendChild places it). Empty for an invalid
  // tag name.
  [[nodiscard]] Element CreateElement(std::string_view tag);

  // Copies the form state the view reports for element `number` into the document, without
  // recording a change (the view already shows it). False when no such element exists.
  [[nodiscard]] bool ApplyViewState(NodeNumber number, const ViewState& state);

  // The whole page, numbers included: what the view loads.
  [[nodiscard]] std::string Serialize() const;
  // The changes recorded since the last call, oldest first.
  [[nodiscard]] std::vector<Change> TakeChanges();

 private:
  friend class Element;
  Document() = default;

  [[nodiscard]] Node* Find(NodeNumber number) const;
  [[nodiscard]] Element Wrap(const Node* node);
  // Numbers and registers every element of a subtree that has just been placed or made.
  void Adopt(Node& subtree);
  // Unregisters every element of a subtree about to be destroyed.
  void Forget(const Node& subtree);
  // Destroys node's children.
  void ClearChildren(Node& node);
  [[nodiscard]] bool IsPlaced(const Node& node) const;
  // Records a change of node, unless node is outside the placed tree (the view does not have it).
  void Record(const Node& node, Change change);
  // Takes a made, unplaced element out of the unplaced list; null when it is not one.
  [[nodiscard]] std::unique_ptr<Node> TakeUnplaced(const Node* node);

  Node root_{NodeType::kDocument};
  std::optional<Doctype> doctype_;
  std::vector<std::unique_ptr<Node>> unplaced_;
  std::unordered_map<NodeNumber, Node*> by_number_;
  NodeNumber next_number_ = 1;
  std::vector<Change> changes_;
};

}  // namespace corvane::dom
