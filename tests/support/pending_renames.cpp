#include "tests/support/pending_renames.h"

#include <vector>

#include "engine/delete_at_restart.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corvane::test {

std::optional<std::string> PendingFileRenames(unsigned* type) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, kSessionManagerKey, &key) != ERROR_SUCCESS) return {};
  DWORD valueType = 0;
  DWORD size = 0;
  std::optional<std::string> text;
  if (RegQueryValueExW(key, kPendingFileRenameOperations, &valueType, nullptr, &size) ==
      ERROR_SUCCESS) {
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key, kPendingFileRenameOperations, &valueType, data.data(), &size) ==
        ERROR_SUCCESS) {
      std::u16string units;
      for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      text = Utf16ToUtf8(units);
      if (type != nullptr) *type = valueType;
    }
  }
  RegCloseKey(key);
  return text;
}

}  // namespace corvane::test
