#pragma once
// Settings kept as named sections below one registry key: the unnamed section holds the values of
// the key itself, any other section those of the sub-key of its name. A derived store says how
// one section is written to and read from an open key; loading and saving the whole key is
// shared.

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {

// Orders names the way the registry matches them: without regard to case, so a value stored as
// "owerwrite" is the same entry as "Owerwrite".
struct RegistryNameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};

template <typename SectionType>
class RegistrySectionStore {
 public:
  using Sections = std::map<std::string, SectionType, RegistryNameLess>;

  RegistrySectionStore(HKEY root, std::string keyPath)
      : root_(root), keyPath_(std::move(keyPath)) {}
  virtual ~RegistrySectionStore() = default;
  RegistrySectionStore(const RegistrySectionStore&) = delete;
  RegistrySectionStore& operator=(const RegistrySectionStore&) = delete;

  // Reads the key's own values into the unnamed section and every sub-key that opens into the
  // section of its name. False when the key cannot be opened; the sections are then untouched.
  [[nodiscard]] bool Load() {
    HKEY key = 0;
    if (RegOpenKeyW(root_, keyPath_, &key) != ERROR_SUCCESS) return false;
    ReadSection(Section(""), key);
    for (DWORD index = 0;; ++index) {
      std::string name;
      DWORD nameChars = kSubKeyNameChars;
      if (RegEnumKeyExW(key, index, &name, &nameChars, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      HKEY subKey = 0;
      if (RegOpenKeyW(key, name, &subKey) != ERROR_SUCCESS) continue;
      ReadSection(Section(name), subKey);
      RegCloseKey(subKey);
    }
    RegCloseKey(key);
    return true;
  }

  // Writes every section in name order, creating the keys it needs. False when a key cannot be
  // created (the sections after it are not written) or a section could not be written whole.
  [[nodiscard]] bool Save() {
    HKEY key = 0;
    if (RegCreateKeyW(root_, keyPath_, &key) != ERROR_SUCCESS) return false;
    bool complete = true;
    for (const auto& [name, section] : sections_) {
      if (name.empty()) {
        complete = WriteSection(section, key) && complete;
        continue;
      }
      HKEY subKey = 0;
      if (RegCreateKeyW(key, name, &subKey) != ERROR_SUCCESS) {
        complete = false;
        break;
      }
      complete = WriteSection(section, subKey) && complete;
      RegCloseKey(subKey);
    }
    RegCloseKey(key);
    return complete;
  }

  // The section of that name, created empty when missing.
  SectionType& Section(std::string_view name) {
    return sections_.try_emplace(std::string(name)).first->second;
  }

  // Forgets a section, so Save no longer writes it.
  void RemoveSection(std::string_view name) {
    if (const auto it = sections_.find(name); it != sections_.end()) sections_.erase(it);
  }

  // Every section loaded or created so far.
  [[nodiscard]] const Sections& AllSections() const { return sections_; }
  [[nodiscard]] HKEY Root() const { return root_; }
  [[nodiscard]] const std::string& KeyPath() const { return keyPath_; }

 protected:
  // Writes the section's values into the open key; false when any value could not be written.
  [[nodiscard]] virtual bool WriteSection(const SectionType& section, HKEY key) = 0;
  // Reads the open key's values into the section.
  virtual void ReadSection(SectionType& section, HKEY key) = 0;

 private:
  // Room for a sub-key name, in UTF-16 characters with the NUL; key names are far shorter.
  static constexpr DWORD kSubKeyNameChars = 1024;

  HKEY root_;
  std::string keyPath_;
  Sections sections_;
};

}  // namespace corvane
