#include "cleaners/custom/custom_path_rules.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cleaners/custom/custom_definition.h"
#include "engine/file_set.h"
#include "platform/file_services.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace corvane {
namespace {

bool IsRootedMachinePath(std::string_view path) {
  return IsMachinePath(path) && path.size() >= 3 && (path[2] == '\\' || path[2] == '/');
}

// "folder\name" when the folder is known.
std::optional<std::string> Below(const std::optional<std::string>& folder, std::string_view name) {
  if (!folder) return std::nullopt;
  std::string path = *folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + std::string(name);
}

std::vector<std::optional<std::string>> SystemFolders() {
  const auto windows = GetWindowsDirectoryW();
  const auto profile = GetEnvironmentVariableW("USERPROFILE");
  const auto localAppData = GetEnvironmentVariableW("LOCALAPPDATA");
  std::vector<std::optional<std::string>> folders = {
      windows,
      Below(windows, "Temp"),
      profile,
      Below(profile, "Temp"),
      GetEnvironmentVariableW("APPDATA"),
      localAppData,
      Below(localAppData, "Temp"),
      GetEnvironmentVariableW("TEMP"),
      GetEnvironmentVariableW("TMP"),
      GetTempPathW(),
  };
  for (const int csidl : {CSIDL_PERSONAL, CSIDL_RECENT, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                          CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY}) {
    folders.push_back(SHGetSpecialFolderPathW(csidl, FolderCreation::MustExist));
  }
  return folders;
}

}  // namespace

bool IsCustomItemPathAllowed(std::string_view expandedPath, std::int32_t kind) {
  if (kind == kCustomItemOneFile) return IsRootedMachinePath(expandedPath);
  bool allowed = true;
  bool any = false;
  for (std::string_view piece : SplitFileList(expandedPath)) {
    if (piece.empty()) continue;
    any = true;
    if (!IsRootedMachinePath(piece)) allowed = false;
    if (kind == kCustomItemFolderTree && IsDriveRoot(piece)) allowed = false;
  }
  return allowed && any;
}

bool IsRegistryRootKey(std::uint32_t root, std::string_view keyPath) {
  // The registry splits at "\" and ignores empty components, so "\" names the root too.
  std::size_t components = 0;
  std::size_t start = 0;
  while (start <= keyPath.size()) {
    const std::size_t end = std::min(keyPath.find('\\', start), keyPath.size());
    if (end > start) ++components;
    start = end + 1;
  }
  // Each key right below HKEY_USERS is a hive of its own.
  return components == 0 || (root == HKEY_USERS && components == 1);
}

bool IsSystemFolder(std::string_view folder) {
  if (IsDriveRoot(folder)) return true;
  const auto host = HostPath(folder);
  if (!host) return false;
  for (const auto& system : SystemFolders()) {
    if (!system) continue;
    const auto systemHost = HostPath(*system);
    if (!systemHost) continue;
    std::error_code error;
    if (std::filesystem::equivalent(*host, *systemHost, error)) return true;
  }
  return false;
}

}  // namespace corvane
