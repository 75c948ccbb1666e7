#pragma once
// A handle to one element of a Document, named by its node number. A handle whose element has
// left the document (its container's inner HTML was replaced) is empty: it converts to false,
// reads give empty answers and writes do nothing, as the pages treat a missing element.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/dom/node.h"

namespace corvane::dom {

class Document;

// An attribute as the pages read it: absent, a boolean (the checked state of a check box or a
// radio button), or a string.
using AttributeValue = std::variant<std::monostate, bool, std::string>;

class Element {
 public:
  Element() = default;

  // Whether the handle names a live element.
  [[nodiscard]] explicit operator bool() const { return Resolve() != nullptr; }
  [[nodiscard]] NodeNumber Number() const { return Resolve() ? number_ : 0; }
  // The tag name as browsers report it: upper case for HTML elements ("TD").
  [[nodiscard]] std::string TagName() const;

  // Attribute names are matched in lower case. "checked" of a check box or radio button reads as
  // its current state (a bool); "value" of an input, text area or list as its current value;
  // "data-n" as the node number.
  [[nodiscard]] AttributeValue GetAttribute(std::string_view name) const;
  // Sets or removes an attribute. Invalid names and "data-n" (the numbering belongs to the
  // document) are ignored.
  void SetAttribute(std::string_view name, std::string_view value);
  void RemoveAttribute(std::string_view name);

  [[nodiscard]] std::string InnerHtml() const;
  [[nodiscard]] std::string OuterHtml() const;
  // Replaces the children with html parsed in this element's context.
  void SetInnerHtml(std::string_view html);
  // The text content of the element.
  [[nodiscard]] std::string InnerText() const;
  // Replaces the children with one text node (none for empty text).
  void SetInnerText(std::string_view text);
  // Inserts parsed html at "beforeBegin", "afterBegin", "beforeEnd" or "afterEnd" (any case).
  // False for another position, or outside positions of an element without parent element.
  [[nodiscard]] bool InsertAdjacentHtml(std::string_view where, std::string_view html);
  // Appends an element made by Document::CreateElement that has not been placed yet. False for
  // any other element (moving placed elements is not supported).
  [[nodiscard]] bool AppendChild(Element child);

  // The parent element; empty for the root element and for elements not placed yet.
  [[nodiscard]] Element Parent() const;
  // The child elements, in order.
  [[nodiscard]] std::vector<Element> Children() const;

  // Of a table or table section: the rows (see table_rows.h). Of a row: its td and th cells.
  [[nodiscard]] std::vector<Element> Rows() const;
  [[nodiscard]] std::vector<Element> Cells() const;
  // Of a cell: its index in its row; -1 otherwise.
  [[nodiscard]] int CellIndex() const;
  // The table's moveRow: see MoveTableRow. False for a bad index or a non-table element.
  [[nodiscard]] bool MoveRow(int from, int to);

  friend bool operator==(const Element& a, const Element& b) {
    return a.document_ == b.document_ && a.number_ == b.number_;
  }

 private:
  friend class Document;
  Element(Document* document, NodeNumber number) : document_(document), number_(number) {}
  [[nodiscard]] Node* Resolve() const;
  [[nodiscard]] Element Wrap(const Node* node) const;
  [[nodiscard]] std::vector<Element> WrapAll(const std::vector<Node*>& nodes) const;

  Document* document_ = nullptr;
  NodeNumber number_ = 0;
};

}  // namespace corvane::dom
