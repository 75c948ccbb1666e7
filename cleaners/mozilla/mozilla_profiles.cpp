#include "cleaners/mozilla/mozilla_profiles.h"

#include <optional>

#include "cleaners/mozilla/profile_folder.h"
#include "engine/file_set.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace corvane {

namespace {

// Windows' buffer for the registry values holds 260 characters.
constexpr DWORD kValueBytes = (kMaxPath + 1) * 2;

std::optional<std::string> ReadStringValue(std::string_view keyPath, std::string_view name) {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  std::string data(kValueBytes, '\0');
  DWORD type = 0;
  DWORD size = kValueBytes;
  const LONG status =
      RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  data.resize(size);
  return Utf16LeBytesToUtf8(data);
}

// The sub-folders of `folder` as profile paths ending in "\".
void AddSubfolders(const std::string& folder, std::vector<std::string>& profiles) {
  std::vector<std::string> found;
  if (!ListSubfolders(folder, "*.*", found)) return;
  for (std::string& path : found) profiles.push_back(std::move(path) + '\\');
}

}  // namespace

bool MozillaProfiles(std::vector<std::string>& profiles) {
  const std::optional<std::string> appData =
      SHGetSpecialFolderPathW(CSIDL_APPDATA, FolderCreation::MustExist);
  if (!appData) return false;
  std::vector<std::string> owners;
  if (ListSubfolders(*appData + "\\Mozilla\\Profiles", "*.*", owners)) {
    for (const std::string& owner : owners) AddSubfolders(owner, profiles);
  }
  return true;
}

bool FirefoxProfiles(FirefoxFolder folder, std::vector<std::string>& profiles) {
  const int csidl = folder == FirefoxFolder::Roaming ? CSIDL_APPDATA : CSIDL_LOCAL_APPDATA;
  const std::optional<std::string> base = SHGetSpecialFolderPathW(csidl, FolderCreation::MustExist);
  if (!base) return false;
  AddSubfolders(*base + "\\Mozilla\\Firefox\\Profiles", profiles);
  return true;
}

std::string NetscapeProfile() {
  const std::optional<std::string> installDirectory =
      ReadStringValue("Software\\Netscape\\Netscape Navigator\\Main", "Install Directory");
  if (!installDirectory) return {};
  // Without a "\" there is no folder above the program's to hold "Users"; a relative path would
  // name a folder beside whatever the current one is.
  const std::size_t last = installDirectory->rfind('\\');
  if (last == std::string::npos || !IsMachinePath(*installDirectory)) return {};
  const std::optional<std::string> user =
      ReadStringValue("Software\\Netscape\\Netscape Navigator\\biff", "CurrentUser");
  if (!user || !IsPlainFileName(*user)) return {};
  std::string profile = installDirectory->substr(0, last) + "\\Users\\" + *user + "\\";
  if (PathLength(profile) > kMaxPath) return {};
  return profile;
}

bool BuildProfileList(MozillaStore store, std::vector<std::string>& profiles) {
  profiles.clear();
  if (!MozillaProfiles(profiles)) return false;
  if (store != MozillaStore::Forms) {
    const FirefoxFolder folder =
        store == MozillaStore::Cache ? FirefoxFolder::Local : FirefoxFolder::Roaming;
    if (!FirefoxProfiles(folder, profiles)) return false;
  }
  if (std::string netscape = NetscapeProfile(); !netscape.empty())
    profiles.push_back(std::move(netscape));
  return true;
}

}  // namespace corvane
