#include "platform/registry_hive.h"

#include <algorithm>
#include <chrono>

#include "platform/registry_name_case.h"
#include "platform/text.h"

namespace corvane {

namespace {

// Reads the next UTF-16 unit of UTF-8 text: a supplementary character yields its two surrogates,
// the low one kept in `pendingLow` for the next call.
char16_t NextUnit(std::string_view text, std::size_t& pos, char16_t& pendingLow) {
  if (pendingLow != 0) {
    const char16_t unit = pendingLow;
    pendingLow = 0;
    return unit;
  }
  const char32_t c = DecodeUtf8(text, pos);
  if (c < 0x10000) return static_cast<char16_t>(c);
  pendingLow = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
}

}  // namespace

// Wine compares names unit by unit in UTF-16 after lower-casing, so '_' sorts before letters
// and a character outside the BMP sorts by its surrogates, before U+E000..U+FFFF.
int CompareRegistryNames(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  char16_t pendingA = 0;
  char16_t pendingB = 0;
  while ((i < a.size() || pendingA != 0) && (j < b.size() || pendingB != 0)) {
    char16_t ua;
    char16_t ub;
    if (pendingA == 0 && pendingB == 0 && static_cast<unsigned char>(a[i]) < 0x80 &&
        static_cast<unsigned char>(b[j]) < 0x80) {  // the common case stays cheap
      ua = static_cast<char16_t>(a[i++]);
      ub = static_cast<char16_t>(b[j++]);
      if (ua == ub) continue;
    } else {
      ua = NextUnit(a, i, pendingA);
      ub = NextUnit(b, j, pendingB);
    }
    const char16_t fa = RegistryFoldCase(ua);
    const char16_t fb = RegistryFoldCase(ub);
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  if (i < a.size() || pendingA != 0) return 1;
  if (j < b.size() || pendingB != 0) return -1;
  return 0;
}

std::uint64_t FileTimeNow() {
  constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
  const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return kTicks1601To1970 + static_cast<std::uint64_t>(since1970.count() / 100);
}

namespace {

template <typename Range, typename NameOf>
auto LowerBound(Range& range, std::string_view name, NameOf nameOf) {
  return std::lower_bound(range.begin(), range.end(), name,
                          [&](const auto& item, std::string_view n) {
                            return CompareRegistryNames(nameOf(item), n) < 0;
                          });
}

const std::string& NodeName(const std::unique_ptr<RegistryNode>& node) {
  return node->name;
}
const std::string& ValueName(const RegistryValue& value) {
  return value.name;
}

}  // namespace

RegistryNode* RegistryNode::FindSubkey(std::string_view subkeyName) const {
  auto& list = const_cast<std::vector<std::unique_ptr<RegistryNode>>&>(subkeys);
  auto it = LowerBound(list, subkeyName, NodeName);
  if (it != list.end() && CompareRegistryNames((*it)->name, subkeyName) == 0) return it->get();
  return nullptr;
}

const RegistryValue* RegistryNode::FindValue(std::string_view valueName) const {
  return const_cast<RegistryNode*>(this)->FindValue(valueName);
}

RegistryValue* RegistryNode::FindValue(std::string_view valueName) {
  auto it = LowerBound(values, valueName, ValueName);
  if (it != values.end() && CompareRegistryNames(it->name, valueName) == 0) return &*it;
  return nullptr;
}

RegistryNode& RegistryNode::AddSubkey(std::string_view subkeyName) {
  auto it = LowerBound(subkeys, subkeyName, NodeName);
  if (it != subkeys.end() && CompareRegistryNames((*it)->name, subkeyName) == 0) return **it;
  auto node = std::make_unique<RegistryNode>();
  node->name = std::string(subkeyName);
  node->parent = this;
  node->modified = FileTimeNow();
  return **subkeys.insert(it, std::move(node));
}

RegistryValue& RegistryNode::SetValue(std::string_view valueName, std::uint32_t type,
                                      std::string data) {
  auto it = LowerBound(values, valueName, ValueName);
  if (it == values.end() || CompareRegistryNames(it->name, valueName) != 0) {
    it = values.insert(it, RegistryValue{std::string(valueName), type, {}});
  }
  it->type = type;
  it->data = std::move(data);
  return *it;
}

bool RegistryNode::RemoveValue(std::string_view valueName) {
  auto it = LowerBound(values, valueName, ValueName);
  if (it == values.end() || CompareRegistryNames(it->name, valueName) != 0) return false;
  values.erase(it);
  return true;
}

bool RegistryNode::RemoveSubkey(std::string_view subkeyName) {
  auto it = LowerBound(subkeys, subkeyName, NodeName);
  if (it == subkeys.end() || CompareRegistryNames((*it)->name, subkeyName) != 0) return false;
  subkeys.erase(it);
  return true;
}

std::string RegistryNode::Path() const {
  if (parent == nullptr) return {};
  const std::string above = parent->Path();
  return above.empty() ? name : above + "\\" + name;
}

}  // namespace corvane
