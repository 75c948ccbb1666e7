#pragma once
// The live state of form controls: the checkedness of check boxes and radio buttons and the value
// of inputs, text areas and lists, kept with the browser's rules so that the page logic reads what
// the user sees.

#include <string>
#include <string_view>

#include "platform/dom/node.h"

namespace corvane::dom {

// An <input> of type checkbox or radio.
[[nodiscard]] bool IsCheckable(const Node& element);
// An element whose "value" is live state rather than a plain attribute: input, textarea, select.
[[nodiscard]] bool HasLiveValue(const Node& element);

// Sets the checkedness; a radio button that becomes checked unchecks the rest of its group.
void SetCheckedness(Node& element, bool checked);
// Keeps the checkedness in step after the attribute `name` of element was set or removed, as a
// control the user has not touched does.
void OnAttributeChanged(Node& element, std::string_view name);
// After a subtree was placed into a tree: each checked radio button inside it, in document order,
// unchecks the others of its group (so the last checked one of a group wins, as in a browser).
void SettleRadioGroups(Node& inserted);

// The current value: what the user typed or chose, else what the markup says.
[[nodiscard]] std::string CurrentValue(const Node& element);

}  // namespace corvane::dom
