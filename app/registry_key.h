#pragma once
// A registry value bound to a variable: read when the object is made (the caller's default when
// the key or value is missing), written back when it is destroyed unless marked read-only.
// Settings code reads a setting with a read-only object and changes one by assigning `value`
// and letting the object go out of scope.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace corvane {

// The result of the last operation of a RegistryKey.
enum class RegistryStatus : std::uint32_t {
  Ok = 0,
  KeyFailed = 1,    // the key could not be opened (read) or created (write)
  CloseFailed = 2,  // closing the key failed, and nothing else did
  ReadFailed = 3,   // missing value, or data larger than the buffer
  WriteFailed = 4,
};

// What the value classes share: where the value lives, the status and the read-only mark.
class RegistryKey {
 public:
  RegistryKey(HKEY root, std::string_view keyPath, std::string_view valueName);
  // Closes a key left open by OpenKey or CreateKey.
  virtual ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // True: the destructor leaves the registry untouched.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  [[nodiscard]] bool IsReadOnly() const { return readOnly_; }
  [[nodiscard]] RegistryStatus Status() const { return status_; }

  // Opens root\keyPath into Handle(); on failure Status() is KeyFailed and there is no handle.
  [[nodiscard]] bool OpenKey();
  // As OpenKey, creating the key and every missing key above it.
  [[nodiscard]] bool CreateKey();
  // The key opened by OpenKey or CreateKey, 0 when none is open.
  [[nodiscard]] HKEY Handle() const { return key_; }
  // Closes the open key; a failure becomes CloseFailed when the status was Ok.
  void CloseKey();

  [[nodiscard]] HKEY Root() const { return root_; }
  [[nodiscard]] const std::string& KeyPath() const { return keyPath_; }
  [[nodiscard]] const std::string& ValueName() const { return valueName_; }

 protected:
  void SetStatus(RegistryStatus status) { status_ = status; }

 private:
  HKEY root_;
  std::string keyPath_;
  std::string valueName_;
  HKEY key_ = 0;
  RegistryStatus status_ = RegistryStatus::Ok;
  bool readOnly_ = false;
};

// A REG_DWORD setting.
class RegistryDword : public RegistryKey {
 public:
  RegistryDword(HKEY root, std::string_view keyPath, std::string_view valueName,
                std::uint32_t defaultValue);
  ~RegistryDword() override;

  // Re-reads the value; on failure `value` is left as it was.
  void Read();
  // Writes `value` now, as REG_DWORD.
  void Write();

  std::uint32_t value;
};

// A string setting. `type` is the type found in the registry (REG_SZ until a value is read), so
// a REG_EXPAND_SZ value stays REG_EXPAND_SZ when written back.
class RegistryString : public RegistryKey {
 public:
  RegistryString(HKEY root, std::string_view keyPath, std::string_view valueName,
                 std::string_view defaultValue);
  ~RegistryString() override;

  // Re-reads the value and its type; on failure both are left as they were.
  void Read();
  // Writes `value` now with its terminating NUL, as `type`.
  void Write();

  std::string value;
  DWORD type = REG_SZ;
};

}  // namespace corvane
