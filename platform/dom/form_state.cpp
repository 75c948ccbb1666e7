#include "platform/dom/form_state.h"

#include <vector>

namespace corvane::dom {

namespace {

std::string TypeOf(const Node& input) {
  const std::string* type = input.FindAttribute("type");
  return type ? AsciiLower(*type) : std::string();
}

bool IsRadio(const Node& element) {
  return element.Is("input") && TypeOf(element) == "radio";
}

const Node* FormOwner(const Node& element) {
  for (const Node* node = element.parent; node; node = node->parent) {
    if (node->Is("form")) return node;
  }
  return nullptr;
}

// Radio buttons belong to one group when they share a non-empty name, a form (or none) and a tree.
bool SameGroup(const Node& a, const Node& b) {
  const std::string* name_a = a.FindAttribute("name");
  const std::string* name_b = b.FindAttribute("name");
  return name_a && name_b && !name_a->empty() && *name_a == *name_b && FormOwner(a) == FormOwner(b);
}

void UncheckOthers(Node& checked_radio) {
  Node& root = const_cast<Node&>(checked_radio.Root());
  WalkTree(root, [&](Node& node) {
    if (&node != &checked_radio && IsRadio(node) && SameGroup(node, checked_radio)) {
      node.form.checked = false;
    }
    return Walk::kContinue;
  });
}

// Normalizes white space as an option's label does.
std::string StripAndCollapse(std::string_view text) {
  std::string out;
  bool pending_space = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out += ' ';
    pending_space = false;
    out += c;
  }
  return out;
}

std::string OptionValue(const Node& option) {
  const std::string* value = option.FindAttribute("value");
  return value ? *value : StripAndCollapse(TextContent(option));
}

std::string SelectValue(const Node& select) {
  const Node* first = nullptr;
  const Node* selected = nullptr;
  WalkTree(select, [&](const Node& node) {
    if (node.Is("option")) {
      if (!first) first = &node;
      if (node.FindAttribute("selected")) selected = &node;
    }
    return Walk::kContinue;
  });
  if (selected) return OptionValue(*selected);
  return first ? OptionValue(*first) : std::string();
}

}  // namespace

bool IsCheckable(const Node& element) {
  if (!element.Is("input")) return false;
  const std::string type = TypeOf(element);
  return type == "checkbox" || type == "radio";
}

bool HasLiveValue(const Node& element) {
  return element.Is("input") || element.Is("textarea") || element.Is("select");
}

void SetCheckedness(Node& element, bool checked) {
  element.form.checked = checked;
  if (checked && IsRadio(element)) UncheckOthers(element);
}

void OnAttributeChanged(Node& element, std::string_view name) {
  if (!element.Is("input")) return;
  if (name == "checked" && !element.form.checked_dirty) {
    SetCheckedness(element, element.FindAttribute("checked") != nullptr);
  } else if ((name == "name" || name == "type") && element.form.checked && IsRadio(element)) {
    UncheckOthers(element);
  }
}

void SettleRadioGroups(Node& inserted) {
  std::vector<Node*> checked_radios;
  WalkTree(inserted, [&](Node& node) {
    if (IsRadio(node) && node.form.checked) checked_radios.push_back(&node);
    return Walk::kContinue;
  });
  // The last checked one of a group wins: going backwards, it unchecks the earlier ones first.
  for (auto radio = checked_radios.rbegin(); radio != checked_radios.rend(); ++radio) {
    if ((*radio)->form.checked) UncheckOthers(**radio);
  }
}

std::string CurrentValue(const Node& element) {
  const std::string* attribute = element.FindAttribute("value");
  if (IsCheckable(element)) return attribute ? *attribute : "on";
  if (element.form.value_dirty) return element.form.value;
  if (element.Is("textarea")) return TextContent(element);
  if (element.Is("select")) return SelectValue(element);
  return attribute ? *attribute : std::string();
}

}  // namespace corvane::dom
