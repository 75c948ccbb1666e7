#include "settings/options_store.h"

#include <algorithm>
#include <array>
#include <variant>

#include "platform/text.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

// Buffer sizes of one enumeration step: the name in UTF-16 characters with its NUL, the data in
// bytes. Option values are short; anything longer is not one of ours.
constexpr DWORD kValueNameChars = 512;
constexpr DWORD kValueDataBytes = 512;

constexpr std::string_view kOverwritePlaceholder = "#cheOw#";
constexpr std::string_view kBlackListOnlyPlaceholder = "#cheBl#";
constexpr std::string_view kAskBeforeErasePlaceholder = "#cheAsk#";

std::string CheckedMark(const std::string& value) {
  return value.empty() ? "" : "checked ";
}

}  // namespace

bool IsOptionOn(const StringSection& options, std::string_view name) {
  const auto found = options.find(name);
  return found != options.end() && !found->second.empty();
}

OptionsStore::OptionsStore() : RegistrySectionStore(HKEY_LOCAL_MACHINE, kOptionsKeyPath) {}

StringSection OptionsStore::GetGlobalOptions() const {
  const auto found = AllSections().find(std::string_view());
  return found == AllSections().end() ? StringSection() : found->second;
}

bool OptionsStore::RenderOptionsBlock(dom::Document& document, dom::Element target,
                                      std::string_view languageFolder) {
  if (!target) return false;
  std::string html = TemplateStore::Load("html\\" + std::string(languageFolder) + "\\options.html");
  StringSection& options = Section("");
  TemplateStore::Replace(html, kOverwritePlaceholder,
                         CheckedMark(options[std::string(kOptionOverwrite)]));
  TemplateStore::Replace(html, kBlackListOnlyPlaceholder,
                         CheckedMark(options[std::string(kOptionBlackListOnly)]));
  TemplateStore::Replace(html, kAskBeforeErasePlaceholder,
                         options[std::string(kOptionNoEraseQuestion)].empty() ? "checked " : "");
  dom::Element block = document.CreateElement("div");
  block.SetInnerHtml(html);
  return target.AppendChild(block);
}

bool OptionsStore::AsksBeforeErase() const {
  return !IsOptionOn(GetGlobalOptions(), kOptionNoEraseQuestion);
}

void OptionsStore::OnOptionClick(std::string_view id, const dom::Element& element) {
  std::string_view option;
  bool inverted = false;  // the box shows the question, the option stores its absence
  if (id == kAskBeforeEraseCheckBoxId) {
    option = kOptionNoEraseQuestion;
    inverted = true;
  } else if (id == kOverwriteCheckBoxId) {
    option = kOptionOverwrite;
  } else if (id == kBlackListOnlyCheckBoxId) {
    option = kOptionBlackListOnly;
  } else {
    return;
  }
  const dom::AttributeValue checked = element.GetAttribute("checked");
  const bool* state = std::get_if<bool>(&checked);
  if (state == nullptr) return;
  Section("")[std::string(option)] = *state != inverted ? "1" : "";
}

bool OptionsStore::WriteSection(const StringSection& section, HKEY key) {
  bool complete = true;
  for (const auto& [name, value] : section) {
    const std::string data = RegistryStringData(value);
    const LONG result =
        RegSetValueExW(key, name, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    complete = complete && result == ERROR_SUCCESS;
  }
  return complete;
}

void OptionsStore::ReadSection(StringSection& section, HKEY key) {
  std::array<BYTE, kValueDataBytes> data{};
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD nameChars = kValueNameChars;
    DWORD type = 0;
    DWORD dataSize = kValueDataBytes;
    const LONG result = RegEnumValueW(key, index, &name, &nameChars, &type, data.data(), &dataSize);
    // A value too large for the buffers is not one of ours; it must not hide the values after it.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    if (type != REG_SZ) continue;
    const std::size_t size = std::min<std::size_t>(dataSize, data.size());
    section[name] =
        Utf16LeBytesToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), size));
  }
}

}  // namespace corvane
