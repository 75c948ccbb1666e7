#include "platform/shell/file_type_name.h"

#include <sys/stat.h>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {
namespace {

// A key's default value when it is text.
std::optional<std::string> DefaultText(std::string_view keyPath) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CLASSES_ROOT, keyPath, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::optional<std::string> text;
  if (RegQueryValueExW(key, "", &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size <= 4096) {
    std::string bytes(size, '\0');
    if (RegQueryValueExW(key, "", &type, reinterpret_cast<BYTE*>(bytes.data()), &size) ==
        ERROR_SUCCESS) {
      bytes.resize(size);
      std::string value = Utf16LeBytesToUtf8(bytes);
      while (!value.empty() && value.back() == '\0') value.pop_back();
      if (!value.empty()) text = std::move(value);
    }
  }
  RegCloseKey(key);
  return text;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

std::optional<std::string> GetFileTypeName(std::string_view path, FileTypeCheck check) {
  bool folder = false;
  if (check == FileTypeCheck::MustExist) {
    const auto host = HostPath(path);
    struct stat status {};
    if (!host || ::stat(host->c_str(), &status) != 0) return std::nullopt;
    folder = S_ISDIR(status.st_mode);
  }
  if (folder) return DefaultText("Folder").value_or("File folder");
  const std::size_t slash = path.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return std::string("File");
  const std::string extension(name.substr(dot));
  // ".txt" names its class ("txtfile"), whose default value is the type's name.
  if (const auto className = DefaultText(extension)) {
    if (className->find('\\') == std::string::npos) {
      if (auto typeName = DefaultText(*className)) return typeName;
    }
  }
  return Upper(extension.substr(1)) + " File";
}

}  // namespace corvane
