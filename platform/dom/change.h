#pragma once
// The changes page logic makes to a document, recorded for the view so that its copy of the page
// stays identical. Each change names its target by node number ("data-n"); HTML in a change is
// serialized with the numbers of the new elements. A bridge script applies a batch in order:
//   kSetInnerHtml       el.innerHTML = value
//   kSetInnerText       el.textContent = value
//   kInsertAdjacentHtml el.insertAdjacentHTML(name, value)    (name: "beforebegin", "afterbegin",
//                                                               "beforeend" or "afterend")
//   kSetAttribute       el.setAttribute(name, value)
//   kRemoveAttribute    el.removeAttribute(name)
//   kMoveRow            r = el.rows[from]; r.remove(); rest = el.rows;
//                       to < rest.length ? rest[to].before(r) : rest[rest.length - 1].after(r)
// where el is the element whose data-n is target. A "checked" or "value" attribute of an input
// also sets the live state only while the user has not changed the control, in both copies alike.

#include <string>
#include <vector>

#include "platform/dom/node.h"

namespace corvane::dom {

enum class ChangeKind {
  kSetInnerHtml,
  kSetInnerText,
  kInsertAdjacentHtml,
  kSetAttribute,
  kRemoveAttribute,
  kMoveRow,
};

struct Change {
  ChangeKind kind = ChangeKind::kSetInnerHtml;
  NodeNumber target = 0;
  std::string name = {};   // attribute name, or the insert position
  std::string value = {};  // HTML, text or attribute value
  int from = 0;            // kMoveRow: row indexes
  int to = 0;

  friend bool operator==(const Change&, const Change&) = default;
};

// A batch as a JSON array for the bridge, one object per change:
//   {"op":"html","n":N,"html":...}  {"op":"text","n":N,"text":...}
//   {"op":"insert","n":N,"where":...,"html":...}  {"op":"attr","n":N,"name":...,"value":...}
//   {"op":"unattr","n":N,"name":...}  {"op":"moveRow","n":N,"from":F,"to":T}
// "<", ">", "&", U+2028 and U+2029 are written as \u escapes, so the text can be embedded in a
// script as it is.
[[nodiscard]] std::string ChangesToJson(const std::vector<Change>& changes);

}  // namespace corvane::dom
