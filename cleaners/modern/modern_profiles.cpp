#include "cleaners/modern/modern_profiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>

#include "platform/file_handle.h"
#include "platform/folder_handle.h"
#include "platform/machine.h"
#include "platform/shell/prefix_drives.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "platform/wine_server.h"

namespace corvane {

namespace {

// A profiles.ini is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxIniSize = 1 << 20;

struct ChromiumBrowser {
  BrowserCode code;
  std::string_view userData;  // below the local application data folder
};

constexpr std::array<ChromiumBrowser, 4> kChromiumBrowsers = {{
    {BrowserCode::Chrome, "Google\\Chrome\\User Data"},
    {BrowserCode::Edge, "Microsoft\\Edge\\User Data"},
    {BrowserCode::Brave, "BraveSoftware\\Brave-Browser\\User Data"},
    {BrowserCode::Chromium, "Chromium\\User Data"},
}};

// Launchers that embed Chromium keep a user-data folder of their own whose root is also its
// profile (cache, cookies); a few have "Default" or "Profile N" below it as well.
struct LauncherBrowser {
  BrowserCode code;
  std::string_view parent;  // below the local application data folder
  std::string_view name;    // the user-data folder, or with `prefixed` the start of its name
  bool prefixed;
};

constexpr std::array<LauncherBrowser, 2> kLauncherBrowsers = {{
    {BrowserCode::Steam, "Steam", "htmlcache", false},
    // "webcache", and one folder per engine version ("webcache_4147", "webcache_4430", ...).
    {BrowserCode::EpicGames, "EpicGamesLauncher\\Saved", "webcache", true},
}};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// A relative profile path stays below its folder: no empty, "." or ".." component.
bool IsPlainRelativePath(std::string_view path) {
  if (path.empty()) return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.find(':') != std::string_view::npos) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
  FileHandle file = OpenExistingFile(path, FileAccess::Read);
  if (!file) return std::nullopt;
  const std::optional<std::uint64_t> size = file.Size();
  if (!size || *size > kMaxIniSize) return std::nullopt;
  std::string text(static_cast<std::size_t>(*size), '\0');
  std::size_t read = 0;
  if (!file.Read(text.data(), text.size(), &read)) return std::nullopt;
  text.resize(read);
  return text;
}

// The subfolders of a folder (links are no folders here), names beginning with "." left out.
std::vector<std::string> Subfolders(const std::string& path) {
  std::vector<std::string> names;
  const FolderHandle folder = OpenFolderPath(path);
  std::vector<FolderEntry> entries;
  if (!folder || !folder.List(entries)) return names;
  for (const FolderEntry& entry : entries) {
    if (S_ISDIR(entry.status.st_mode) && !entry.name.starts_with('.')) {
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void AddProfile(std::vector<ModernProfile>& profiles, ModernProfile profile) {
  const bool known = std::any_of(profiles.begin(), profiles.end(), [&](const ModernProfile& p) {
    return EqualsNoCase(p.folder, profile.folder);
  });
  if (!known) profiles.push_back(std::move(profile));
}

// Firefox locks the roaming profile; its local twin (the cache) has no lock of its own.
ModernProfile FirefoxProfile(std::string folder, const std::string& lockFolder) {
  std::vector<std::string> locks;
  for (const std::string_view name : {"parent.lock", "lock", ".parentlock"}) {
    locks.push_back(lockFolder + std::string(name));
  }
  return {BrowserCode::Firefox, std::move(folder), std::move(locks)};
}

bool IsChromiumProfileName(std::string_view name) {
  if (name == "Default") return true;
  constexpr std::string_view kPrefix = "Profile ";
  if (!name.starts_with(kPrefix) || name.size() == kPrefix.size()) return false;
  return std::all_of(name.begin() + kPrefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> ParseProfilesIni(std::string_view text, std::string_view base) {
  std::vector<std::string> folders;
  bool inProfile = false;
  std::string path;
  bool relative = true;
  auto finish = [&] {
    if (inProfile && !path.empty()) {
      std::replace(path.begin(), path.end(), '/', '\\');
      while (path.ends_with('\\')) path.pop_back();
      if (relative && IsPlainRelativePath(path)) {
        folders.push_back(std::string(base) + path + "\\");
      } else if (!relative && IsMachinePath(path)) {
        folders.push_back(path + "\\");
      }
    }
    path.clear();
    relative = true;
  };
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.starts_with('[')) {
      finish();
      inProfile = line.starts_with("[Profile") && line.ends_with(']');
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inProfile || equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (EqualsNoCase(key, "Path")) path = value;
    if (EqualsNoCase(key, "IsRelative")) relative = value != "0";
  }
  finish();
  return folders;
}

std::vector<ModernProfile> FirefoxModernProfiles(bool local) {
  std::vector<ModernProfile> profiles;
  const std::optional<std::string> roaming =
      SHGetSpecialFolderPathW(CSIDL_APPDATA, FolderCreation::MustExist);
  const std::optional<std::string> base =
      local ? SHGetSpecialFolderPathW(CSIDL_LOCAL_APPDATA, FolderCreation::MustExist) : roaming;
  if (!roaming || !base) return profiles;
  const std::string roamingFirefox = *roaming + "\\Mozilla\\Firefox\\";
  const std::string firefox = *base + "\\Mozilla\\Firefox\\";
  if (const std::optional<std::string> ini = ReadSmallFile(roamingFirefox + "profiles.ini")) {
    for (std::string& folder : ParseProfilesIni(*ini, roamingFirefox)) {
      // Z: (or a drive holding the prefix) shows the Linux side: a profile there is no
      // Windows browser's, whatever the file says.
      if (!IsOnCleanableDrive(folder)) continue;
      const std::string roamingFolder = folder;
      // The local folder of a relative profile has the same name below the local base.
      if (local && folder.starts_with(roamingFirefox)) {
        folder = firefox + folder.substr(roamingFirefox.size());
      } else if (local) {
        continue;  // an absolute profile keeps its cache inside itself
      }
      AddProfile(profiles, FirefoxProfile(std::move(folder), roamingFolder));
    }
  }
  for (const std::string& name : Subfolders(firefox + "Profiles")) {
    std::string folder = firefox + "Profiles\\" + name + "\\";
    const std::string roamingFolder = roamingFirefox + "Profiles\\" + name + "\\";
    AddProfile(profiles, FirefoxProfile(std::move(folder), roamingFolder));
  }
  return profiles;
}

std::vector<ModernProfile> ChromiumProfiles() {
  std::vector<ModernProfile> profiles;
  const std::optional<std::string> base =
      SHGetSpecialFolderPathW(CSIDL_LOCAL_APPDATA, FolderCreation::MustExist);
  if (!base) return profiles;
  for (const ChromiumBrowser& browser : kChromiumBrowsers) {
    const std::string userData = *base + "\\" + std::string(browser.userData);
    for (const std::string& name : Subfolders(userData)) {
      if (!IsChromiumProfileName(name)) continue;
      profiles.push_back({browser.code, userData + "\\" + name + "\\", {userData + "\\lockfile"}});
    }
  }
  return profiles;
}

std::vector<ModernProfile> LauncherProfiles() {
  std::vector<ModernProfile> profiles;
  const std::optional<std::string> base =
      SHGetSpecialFolderPathW(CSIDL_LOCAL_APPDATA, FolderCreation::MustExist);
  if (!base) return profiles;
  for (const LauncherBrowser& launcher : kLauncherBrowsers) {
    const std::string parent = *base + "\\" + std::string(launcher.parent);
    for (const std::string& name : Subfolders(parent)) {
      const bool matches =
          launcher.prefixed
              ? name.size() >= launcher.name.size() &&
                    EqualsNoCase(std::string_view(name).substr(0, launcher.name.size()),
                                 launcher.name)
              : EqualsNoCase(name, launcher.name);
      if (!matches) continue;
      const std::string userData = parent + "\\" + name;
      std::vector<std::string> locks{userData + "\\lockfile"};
      profiles.push_back({launcher.code, userData + "\\", locks});
      for (const std::string& profile : Subfolders(userData)) {
        if (!IsChromiumProfileName(profile)) continue;
        profiles.push_back({launcher.code, userData + "\\" + profile + "\\", locks});
      }
    }
  }
  return profiles;
}

bool IsProfileInUse(const ModernProfile& profile) {
  const bool locked =
      std::any_of(profile.lockFiles.begin(), profile.lockFiles.end(), [](const std::string& file) {
        const std::optional<PathEntry> entry = OpenPathEntry(file);
        struct stat status {};
        return entry && entry->folder.Status(entry->name, &status);
      });
  if (!locked) return false;
  const Machine* machine = Machine::Current();
  return machine == nullptr || IsWineServerRunning(machine->Prefix());
}

}  // namespace corvane
