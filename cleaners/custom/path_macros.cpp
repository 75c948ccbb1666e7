#include "cleaners/custom/path_macros.h"

#include <array>
#include <optional>

#include "app/registry_key.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace corvane {
namespace {

// Buffers, in UTF-16 units with the terminating NUL, that Windows would read each value into. A
// value that does not fit is not delivered at all, so it expands to nothing.
constexpr std::size_t kTempPathBuffer = 260;
constexpr std::size_t kEnvironmentBuffer = 999;
constexpr std::size_t kUserNameBuffer = 65535;

constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kInternetSettingsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string Fitting(const std::optional<std::string>& value, std::size_t bufferUnits) {
  if (!value || Utf8ToUtf16(*value).size() >= bufferUnits) return {};
  return *value;
}

std::string RegistryText(HKEY root, std::string_view keyPath, std::string_view valueName) {
  RegistryString value(root, keyPath, valueName, "");
  value.SetReadOnly(true);
  return value.value;
}

std::string Environment(std::string_view name) {
  return Fitting(GetEnvironmentVariableW(name), kEnvironmentBuffer);
}

// Replaces each occurrence of token, left to right; inserted text is not searched again.
void ReplaceAll(std::string& text, std::string_view token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos;
       at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
}

struct PathMacro {
  std::string_view token;
  std::string (*value)();
};

// In the order they are replaced.
constexpr std::array<PathMacro, 11> kMacros = {{
    {"[PATH_SYS_SHELL_HISTORY]",
     [] { return RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "HISTORY"); }},
    {"[PATH_SYS_SHELL_COOKIES]",
     [] { return RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "COOKIES"); }},
    {"[PATH_SYS_SHELL_CACHE]",
     [] { return RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "CACHE"); }},
    {"[PATH_SYS_SHELL_RECENT]",
     [] { return RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "RECENT"); }},
    {"[PATH_SYS_DOWNLOADEDPROGRAMS]",
     [] { return RegistryText(HKEY_LOCAL_MACHINE, kInternetSettingsKey, "ActiveXCache"); }},
    {"[PATH_SYS_TEMP]", [] { return Fitting(GetTempPathW(), kTempPathBuffer); }},
    {"%UserProfile%", [] { return Environment("UserProfile"); }},
    {"%AppData%", [] { return Environment("AppData"); }},
    {"%ProgramFiles%", [] { return Environment("ProgramFiles"); }},
    {"%WinDir%", [] { return Environment("WinDir"); }},
    {"[WIN_USERNAME]", [] { return Fitting(GetUserNameW(), kUserNameBuffer); }},
}};

}  // namespace

std::string ExpandPathMacros(std::string_view text) {
  std::string expanded(text);
  for (const auto& macro : kMacros) {
    // Each value is looked up afresh, and only when its macro is there: a missing value must
    // never stand in for another.
    if (expanded.find(macro.token) == std::string::npos) continue;
    ReplaceAll(expanded, macro.token, macro.value());
  }
  return expanded;
}

}  // namespace corvane
