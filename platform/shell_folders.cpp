#include "platform/shell_folders.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/file_services.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {

namespace {

constexpr std::string_view kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kSystemEnvironment =
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::string_view kUserEnvironment = "Environment";
constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";

// The longest value name Windows allows, with its NUL.
constexpr DWORD kValueNameCapacity = 16384;

std::optional<std::string_view> ShellFolderValueName(int csidl) {
  switch (csidl) {
    case CSIDL_PERSONAL:
      return "Personal";
    case CSIDL_RECENT:
      return "Recent";
    case CSIDL_APPDATA:
      return "AppData";
    case CSIDL_LOCAL_APPDATA:
      return "Local AppData";
    case CSIDL_INTERNET_CACHE:
      return "Cache";
    case CSIDL_COOKIES:
      return "Cookies";
    case CSIDL_HISTORY:
      return "History";
    default:
      return std::nullopt;
  }
}

class OpenKey {
 public:
  OpenKey(HKEY root, std::string_view subKey) {
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = 0;
  }
  ~OpenKey() {
    if (key_ != 0) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  [[nodiscard]] HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }

 private:
  HKEY key_ = 0;
};

struct StringValue {
  DWORD type = REG_SZ;
  std::string text;
};

// A REG_SZ or REG_EXPAND_SZ value as UTF-8; other types are no text.
std::optional<StringValue> ReadString(HKEY key, std::string_view name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::string data(size, '\0');
  if (size > 0 && RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
                      ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(std::min<std::size_t>(size, data.size()));
  return StringValue{type, Utf16LeBytesToUtf8(data)};
}

std::optional<StringValue> ReadString(HKEY root, std::string_view subKey, std::string_view name) {
  const OpenKey key(root, subKey);
  if (!key) return std::nullopt;
  return ReadString(key.Get(), name);
}

// Every text value of a key, in the key's order.
std::vector<std::pair<std::string, StringValue>> ReadStrings(HKEY root, std::string_view subKey) {
  std::vector<std::pair<std::string, StringValue>> values;
  const OpenKey key(root, subKey);
  if (!key) return values;
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD nameChars = kValueNameCapacity;
    const LONG result =
        RegEnumValueW(key.Get(), index, &name, &nameChars, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    if (std::optional<StringValue> value = ReadString(key.Get(), name))
      values.emplace_back(std::move(name), std::move(*value));
  }
  return values;
}

// Variables by name, compared case-insensitively; a name keeps its first spelling.
class Environment {
 public:
  void Set(std::string_view name, std::string value) {
    for (auto& [known, text] : variables_) {
      if (EqualsNoCase(known, name)) {
        text = std::move(value);
        return;
      }
    }
    variables_.emplace_back(std::string(name), std::move(value));
  }

  [[nodiscard]] const std::string* Find(std::string_view name) const {
    for (const auto& [known, text] : variables_)
      if (EqualsNoCase(known, name)) return &text;
    return nullptr;
  }

  [[nodiscard]] std::string Expand(std::string_view text) const {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const std::size_t open = text.find('%', pos);
      if (open == std::string_view::npos) break;
      const std::size_t close = text.find('%', open + 1);
      if (close == std::string_view::npos) break;
      out.append(text.substr(pos, open - pos));
      const std::string_view name = text.substr(open + 1, close - open - 1);
      if (const std::string* value = name.empty() ? nullptr : Find(name)) {
        out += *value;
        pos = close + 1;
      } else {
        // Unknown: keep "%NAME" and let its closing sign open the next name, as Windows does.
        out.append(text.substr(open, close - open));
        pos = close;
      }
    }
    out.append(text.substr(std::min(pos, text.size())));
    return out;
  }

 private:
  std::vector<std::pair<std::string, std::string>> variables_;
};

enum class Scope { System, User };

// Plain strings first, then expandable ones, which may use them. A user's Path extends the
// system's rather than replacing it.
void AddRegistryVariables(Environment& environment, HKEY root, std::string_view subKey,
                          Scope scope) {
  const auto values = ReadStrings(root, subKey);
  for (const DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
    for (const auto& [name, value] : values) {
      if (value.type != type) continue;
      std::string text = type == REG_EXPAND_SZ ? environment.Expand(value.text) : value.text;
      const std::string* systemPath = environment.Find(name);
      if (scope == Scope::User && EqualsNoCase(name, "Path") && systemPath != nullptr &&
          !systemPath->empty()) {
        text = *systemPath + ";" + text;
      }
      environment.Set(name, std::move(text));
    }
  }
}

bool IsUsableFolder(const std::string& path) {
  return IsMachinePath(path) && PathLength(path) <= kMaxPath;
}

// A shell folder's machine path from the registry, expanded in `environment`.
std::optional<std::string> ShellFolderPath(std::string_view valueName,
                                           const Environment& environment) {
  for (const std::string_view subKey : {kUserShellFolders, kShellFolders}) {
    if (const auto value = ReadString(HKEY_CURRENT_USER, subKey, valueName)) {
      std::string path = environment.Expand(value->text);
      if (IsUsableFolder(path)) return path;
    }
  }
  return std::nullopt;
}

enum class ShellFolderVariables { Without, With };

// APPDATA and LOCALAPPDATA come from shell folders whose own values are expanded without them,
// so a value that names itself cannot loop.
Environment MachineEnvironment(const Machine& machine, ShellFolderVariables shellFolders) {
  Environment environment;
  std::string systemRoot;
  if (auto value = ReadString(HKEY_LOCAL_MACHINE, kNtCurrentVersion, "SystemRoot")) {
    systemRoot = std::move(value->text);
  } else if (auto windows = GetWindowsDirectoryW()) {
    systemRoot = std::move(*windows);
  }
  environment.Set("SystemDrive", "C:");
  if (!systemRoot.empty()) environment.Set("SystemRoot", systemRoot);
  environment.Set("USERPROFILE", machine.ProfileFolder());
  environment.Set("USERNAME", machine.UserName());
  for (const auto& [valueName, variable] : {std::pair{"ProgramFilesDir", "ProgramFiles"},
                                            std::pair{"ProgramFilesDir (x86)", "ProgramFiles(x86)"},
                                            std::pair{"CommonFilesDir", "CommonProgramFiles"}}) {
    if (auto value = ReadString(HKEY_LOCAL_MACHINE, kCurrentVersion, valueName))
      environment.Set(variable, environment.Expand(value->text));
  }
  AddRegistryVariables(environment, HKEY_LOCAL_MACHINE, kSystemEnvironment, Scope::System);
  AddRegistryVariables(environment, HKEY_CURRENT_USER, kUserEnvironment, Scope::User);
  // What the logon sets for the session wins over the registry.
  environment.Set("USERPROFILE", machine.ProfileFolder());
  environment.Set("USERNAME", machine.UserName());
  if (environment.Find("windir") == nullptr && !systemRoot.empty())
    environment.Set("windir", systemRoot);
  if (shellFolders == ShellFolderVariables::With) {
    const Environment base = environment;
    if (auto path = ShellFolderPath("AppData", base)) environment.Set("APPDATA", *path);
    if (auto path = ShellFolderPath("Local AppData", base)) environment.Set("LOCALAPPDATA", *path);
  }
  return environment;
}

}  // namespace

std::optional<std::string> SHGetSpecialFolderPathW(int csidl, FolderCreation creation) {
  const std::optional<std::string_view> valueName = ShellFolderValueName(csidl);
  if (!valueName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  const Machine* machine = Machine::Current();
  if (machine == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const bool isAppData = csidl == CSIDL_APPDATA || csidl == CSIDL_LOCAL_APPDATA;
  const Environment environment = MachineEnvironment(
      *machine, isAppData ? ShellFolderVariables::Without : ShellFolderVariables::With);
  std::optional<std::string> path = ShellFolderPath(*valueName, environment);
  if (!path) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  const std::optional<std::filesystem::path> host = machine->ToHostPath(*path);
  if (!host) return std::nullopt;
  struct stat st;
  if (::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return path;
  if (creation == FolderCreation::MustExist) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  std::error_code error;
  std::filesystem::create_directories(*host, error);
  if (error) {
    SetLastErrorFromErrno(error.value());
    return std::nullopt;
  }
  return path;
}

std::optional<std::string> GetEnvironmentVariableW(std::string_view name) {
  const Machine* machine = Machine::Current();
  if (machine != nullptr) {
    const Environment environment = MachineEnvironment(*machine, ShellFolderVariables::With);
    if (const std::string* value = environment.Find(name)) return *value;
  }
  SetLastError(ERROR_ENVVAR_NOT_FOUND);
  return std::nullopt;
}

std::string ExpandEnvironmentStringsW(std::string_view text) {
  const Machine* machine = Machine::Current();
  if (machine == nullptr) return std::string(text);
  return MachineEnvironment(*machine, ShellFolderVariables::With).Expand(text);
}

std::optional<std::string> GetTempPathW() {
  const Machine* machine = Machine::Current();
  if (machine == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const Environment environment = MachineEnvironment(*machine, ShellFolderVariables::With);
  std::string path;
  for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
    if (const std::string* value = environment.Find(name); value != nullptr && !value->empty()) {
      path = *value;
      break;
    }
  }
  if (path.empty()) path = GetWindowsDirectoryW().value_or("C:\\windows");
  if (path.back() != '\\') path += '\\';
  return path;
}

std::optional<std::string> GetUserNameW() {
  const Machine* machine = Machine::Current();
  if (machine == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  return machine->UserName();
}

}  // namespace corvane
