#include "app/registry_key.h"

#include <array>

#include "platform/text.h"

namespace corvane {

RegistryKey::RegistryKey(HKEY root, std::string_view keyPath, std::string_view valueName)
    : root_(root), keyPath_(keyPath), valueName_(valueName) {}

RegistryKey::~RegistryKey() {
  if (key_ != 0) RegCloseKey(key_);
}

bool RegistryKey::OpenKey() {
  if (key_ != 0) CloseKey();
  if (RegOpenKeyW(root_, keyPath_, &key_) != ERROR_SUCCESS) {
    key_ = 0;
    status_ = RegistryStatus::KeyFailed;
    return false;
  }
  return true;
}

bool RegistryKey::CreateKey() {
  if (key_ != 0) CloseKey();
  if (RegCreateKeyW(root_, keyPath_, &key_) != ERROR_SUCCESS) {
    key_ = 0;
    status_ = RegistryStatus::KeyFailed;
    return false;
  }
  return true;
}

void RegistryKey::CloseKey() {
  if (key_ == 0) return;
  const LONG result = RegCloseKey(key_);
  key_ = 0;
  if (result != ERROR_SUCCESS && status_ == RegistryStatus::Ok) {
    status_ = RegistryStatus::CloseFailed;
  }
}

RegistryDword::RegistryDword(HKEY root, std::string_view keyPath, std::string_view valueName,
                             std::uint32_t defaultValue)
    : RegistryKey(root, keyPath, valueName), value(defaultValue) {
  Read();
  if (Status() != RegistryStatus::Ok) value = defaultValue;
}

RegistryDword::~RegistryDword() {
  if (!IsReadOnly()) Write();
}

void RegistryDword::Read() {
  SetStatus(RegistryStatus::Ok);
  if (!OpenKey()) return;
  // Zeroed, so data shorter than four bytes reads zero-extended rather than as leftovers.
  std::array<BYTE, 4> bytes{};
  DWORD size = bytes.size();
  if (RegQueryValueExW(Handle(), ValueName(), nullptr, bytes.data(), &size) != ERROR_SUCCESS) {
    SetStatus(RegistryStatus::ReadFailed);
  } else {
    value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
            (static_cast<std::uint32_t>(bytes[2]) << 16) |
            (static_cast<std::uint32_t>(bytes[3]) << 24);
  }
  CloseKey();
}

void RegistryDword::Write() {
  SetStatus(RegistryStatus::Ok);
  if (!CreateKey()) return;
  const std::array<BYTE, 4> bytes{static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                  static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  if (RegSetValueExW(Handle(), ValueName(), REG_DWORD, bytes.data(), bytes.size()) !=
      ERROR_SUCCESS) {
    SetStatus(RegistryStatus::WriteFailed);
  }
  CloseKey();
}

RegistryString::RegistryString(HKEY root, std::string_view keyPath, std::string_view valueName,
                               std::string_view defaultValue)
    : RegistryKey(root, keyPath, valueName), value(defaultValue) {
  Read();
  if (Status() != RegistryStatus::Ok) {
    value = std::string(defaultValue);
    type = REG_SZ;
  }
}

RegistryString::~RegistryString() {
  if (!IsReadOnly()) Write();
}

void RegistryString::Read() {
  SetStatus(RegistryStatus::Ok);
  if (!OpenKey()) return;
  DWORD foundType = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(Handle(), ValueName(), &foundType, nullptr, &size) != ERROR_SUCCESS ||
      (foundType != REG_SZ && foundType != REG_EXPAND_SZ)) {
    // Other types are not text: reading them as text and writing that back under their own type
    // would corrupt them.
    SetStatus(RegistryStatus::ReadFailed);
    CloseKey();
    return;
  }
  // Twice the size, zeroed: data stored without its NUL still ends in one.
  std::string bytes(2 * static_cast<std::size_t>(size), '\0');
  size = static_cast<DWORD>(bytes.size());
  if (RegQueryValueExW(Handle(), ValueName(), &foundType, reinterpret_cast<BYTE*>(bytes.data()),
                       &size) != ERROR_SUCCESS) {
    SetStatus(RegistryStatus::ReadFailed);
  } else {
    value = Utf16LeBytesToUtf8(bytes);
    type = foundType;
  }
  CloseKey();
}

void RegistryString::Write() {
  SetStatus(RegistryStatus::Ok);
  if (!CreateKey()) return;
  const std::string bytes = RegistryStringData(value);
  if (RegSetValueExW(Handle(), ValueName(), type, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
    SetStatus(RegistryStatus::WriteFailed);
  }
  CloseKey();
}

}  // namespace corvane
