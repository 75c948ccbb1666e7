#include "platform/machine.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/last_error.h"
#include "platform/text.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::atomic<Machine*> g_current{nullptr};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char UpperLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

// The components after "X:", with "." dropped and ".." taking back the previous component; at the
// root ".." stays at the root, as Windows treats it.
std::vector<std::string_view> NormalizedComponents(std::string_view rest) {
  std::vector<std::string_view> components;
  std::size_t pos = 0;
  while (pos < rest.size()) {
    std::size_t end = pos;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view component = rest.substr(pos, end - pos);
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    pos = end + 1;
  }
  return components;
}

bool LstatExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsFollowedDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The one entry of the folder whose name equals `name` ignoring case; nullopt when there is none
// or more than one (then no spelling is better than another).
std::optional<std::string> FindSingleNameNoCase(const std::string& folder, std::string_view name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> found;
  bool ambiguous = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (!EqualsNoCase(candidate, name)) continue;
    if (found) {
      ambiguous = true;
      break;
    }
    found = std::string(candidate);
  }
  ::closedir(dir);
  if (ambiguous) return std::nullopt;
  return found;
}

// A dosdevices link's target as a host folder; a relative target is read from dosdevices.
std::optional<fs::path> LinkTarget(const fs::path& link) {
  struct stat st;
  if (::lstat(link.c_str(), &st) != 0) return std::nullopt;
  if (S_ISDIR(st.st_mode)) return link;
  if (!S_ISLNK(st.st_mode)) return std::nullopt;
  std::string target(4096, '\0');
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(length));
  fs::path path(target);
  if (path.is_relative()) path = link.parent_path() / path;
  path = path.lexically_normal();
  if (path.has_parent_path() && !path.has_filename()) path = path.parent_path();  // "x/" → "x"
  return path;
}

// A device entry ("d::" → /dev/sr0) names its kind of drive.
DriveType DeviceDriveType(const fs::path& deviceLink) {
  std::string target(4096, '\0');
  const ssize_t length = ::readlink(deviceLink.c_str(), target.data(), target.size());
  if (length > 0 && static_cast<std::size_t>(length) < target.size()) {
    target.resize(static_cast<std::size_t>(length));
    const std::string name = fs::path(target).filename().string();
    if (name.starts_with("sr") || name.starts_with("scd") || name.find("cdrom") != name.npos ||
        name.find("dvd") != name.npos) {
      return DriveType::CdRom;
    }
  }
  return DriveType::Removable;
}

std::string UnixUserName() {
  if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr)
    return entry->pw_name;
  if (const char* user = std::getenv("USER"); user != nullptr) return user;
  return {};
}

bool IsSharedProfile(std::string_view name) {
  return EqualsNoCase(name, "Public") || EqualsNoCase(name, "Default") ||
         EqualsNoCase(name, "Default User") || EqualsNoCase(name, "All Users");
}

// The profile folder under drive_c/users that belongs to a person: the one named like the Unix
// user (Wine names it so), else the only one there is. With none, or several and none of them the
// Unix user's, the answer is the Unix user name, the folder Wine would make.
std::string FindUserName(const fs::path& usersFolder) {
  const std::string unixUser = UnixUserName();
  std::vector<std::string> profiles;
  if (DIR* dir = ::opendir(usersFolder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || IsSharedProfile(name)) continue;
      struct stat st;
      if (::lstat((usersFolder / name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
      profiles.push_back(name);
    }
    ::closedir(dir);
  }
  for (const std::string& name : profiles)
    if (name == unixUser) return name;
  for (const std::string& name : profiles)
    if (EqualsNoCase(name, unixUser)) return name;
  if (profiles.size() == 1) return profiles.front();
  return unixUser;
}

}  // namespace

Machine::Machine(fs::path prefix, std::string userName)
    : prefix_(std::move(prefix)), userName_(std::move(userName)) {}

fs::path Machine::DefaultPrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0')
    return prefix;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return fs::path(home) / ".wine";
  if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir != nullptr)
    return fs::path(entry->pw_dir) / ".wine";
  return ".wine";
}

std::unique_ptr<Machine> Machine::Open(const fs::path& prefix, std::string* error) {
  const auto fail = [&](std::string message) -> std::unique_ptr<Machine> {
    if (error != nullptr) *error = std::move(message);
    return nullptr;
  };
  if (prefix.empty()) return fail("no Wine prefix was given");
  std::error_code ec;
  fs::path absolute = fs::absolute(prefix, ec).lexically_normal();
  if (ec) return fail("the Wine prefix \"" + prefix.string() + "\" cannot be read");
  if (absolute.has_parent_path() && !absolute.has_filename()) absolute = absolute.parent_path();
  const std::string shown = "\"" + absolute.string() + "\"";

  struct stat st;
  if (::stat(absolute.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return fail("the Wine prefix " + shown + " does not exist");
    return fail("the Wine prefix " + shown + " cannot be read");
  }
  if (!S_ISDIR(st.st_mode)) return fail(shown + " is not a folder, so not a Wine prefix");
  for (const char* hive : {"system.reg", "user.reg"}) {
    if (::stat((absolute / hive).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
      return fail(shown + " is not a Wine prefix: it holds no " + hive);
  }
  std::string userName = FindUserName(absolute / "drive_c" / "users");
  return std::unique_ptr<Machine>(new Machine(std::move(absolute), std::move(userName)));
}

std::string Machine::OwnerProblem(ForeignOwner policy) const {
  struct stat st;
  if (::stat(prefix_.c_str(), &st) != 0) return "the Wine prefix cannot be read";
  const uid_t caller = ::geteuid();
  if (st.st_uid == caller || (caller == 0 && policy == ForeignOwner::AllowForRoot)) return {};
  std::string owner = "uid " + std::to_string(st.st_uid);
  if (const passwd* entry = ::getpwuid(st.st_uid); entry != nullptr && entry->pw_name != nullptr)
    owner = std::string(entry->pw_name) + " (" + owner + ")";
  return "the Wine prefix \"" + prefix_.string() + "\" belongs to " + owner + ", not to you (uid " +
         std::to_string(caller) + "); Wine refuses such a prefix too";
}

Machine* Machine::Current() {
  return g_current.load();
}

void Machine::SetCurrent(Machine* machine) {
  g_current.store(machine);
}

std::vector<Drive> Machine::Drives() const {
  const fs::path dosdevices = prefix_ / "dosdevices";
  // Per letter: the folder link ("c:") and the device entry ("d::"), lower case first.
  std::map<char, std::pair<std::string, std::string>> entries;
  if (DIR* dir = ::opendir(dosdevices.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      const bool isFolder = name.size() == 2;
      const bool isDevice = name.size() == 3 && name[2] == ':';
      if (!(isFolder || isDevice) || !IsAsciiLetter(name[0]) || name[1] != ':') continue;
      auto& [folder, device] = entries[UpperLetter(name[0])];
      std::string& slot = isFolder ? folder : device;
      if (slot.empty() || (name[0] >= 'a' && name[0] <= 'z')) slot = std::string(name);
    }
    ::closedir(dir);
  }
  std::vector<Drive> drives;
  for (const auto& [letter, names] : entries) {
    const auto& [folder, device] = names;
    Drive drive;
    drive.letter = letter;
    if (!folder.empty()) {
      if (auto root = LinkTarget(dosdevices / folder); root && IsFollowedDirectory(root->string()))
        drive.root = std::move(*root);
    }
    if (!device.empty()) {
      drive.type = DeviceDriveType(dosdevices / device);
    } else if (!drive.root.empty()) {
      drive.type = DriveType::Fixed;
    } else {
      continue;  // a dangling folder link: no drive
    }
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::optional<Drive> Machine::FindDrive(char letter) const {
  letter = UpperLetter(letter);
  for (Drive& drive : Drives())
    if (drive.letter == letter) return std::move(drive);
  return std::nullopt;
}

std::optional<fs::path> Machine::DriveRoot(char letter) const {
  const fs::path dosdevices = prefix_ / "dosdevices";
  const char lower = static_cast<char>(UpperLetter(letter) + 0x20);
  if (auto root = LinkTarget(dosdevices / std::string{lower, ':'})) return root;
  return LinkTarget(dosdevices / std::string{UpperLetter(letter), ':'});
}

std::string Machine::ProfileFolder() const {
  return "C:\\users\\" + userName_;
}

std::optional<fs::path> Machine::ToHostPath(std::string_view machinePath) const {
  if (!IsMachinePath(machinePath) || machinePath.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  if (PathLength(machinePath) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  const std::optional<fs::path> root = DriveRoot(machinePath[0]);
  if (!root) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const std::vector<std::string_view> components = NormalizedComponents(machinePath.substr(2));
  std::string exact = root->string();
  if (exact == "/") exact.clear();
  for (std::string_view component : components) (exact += '/') += component;
  if (exact.empty()) exact = "/";
  // Walks hand back names read from the folder itself, so the exact spelling nearly always hits.
  if (components.empty() || LstatExists(exact)) return fs::path(std::move(exact));

  if (!IsFollowedDirectory(root->string())) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  std::string resolved = root->string() == "/" ? std::string() : root->string();
  bool present = true;  // once a component is missing, nothing below it can be found
  for (std::string_view component : components) {
    const std::size_t folderEnd = resolved.size();
    (resolved += '/') += component;
    if (!present || LstatExists(resolved)) continue;
    const std::string folder = folderEnd == 0 ? "/" : resolved.substr(0, folderEnd);
    if (std::optional<std::string> match = FindSingleNameNoCase(folder, component)) {
      resolved.resize(folderEnd);
      (resolved += '/') += *match;
    } else {
      present = false;
    }
  }
  return fs::path(std::move(resolved));
}

std::optional<std::string> Machine::ToMachinePath(const fs::path& hostPath) const {
  if (!hostPath.is_absolute()) return std::nullopt;
  const std::string path = hostPath.lexically_normal().string();
  const Drive* best = nullptr;
  std::size_t bestLength = 0;
  const std::vector<Drive> drives = Drives();
  for (const Drive& drive : drives) {
    if (drive.root.empty()) continue;
    const std::string root = drive.root.string();
    const bool contains =
        root == "/" || path == root ||
        (path.starts_with(root) && path.size() > root.size() && path[root.size()] == '/');
    if (contains && (best == nullptr || root.size() > bestLength)) {
      best = &drive;
      bestLength = root.size();
    }
  }
  if (best == nullptr) return std::nullopt;
  std::string machinePath{best->letter, ':', '\\'};
  const std::string_view rest =
      std::string_view(path).substr(std::min(path.size(), bestLength == 1 ? 1 : bestLength + 1));
  for (char c : rest) machinePath += c == '/' ? '\\' : c;
  while (machinePath.size() > 3 && machinePath.back() == '\\') machinePath.pop_back();
  if (PathLength(machinePath) > kMaxPath) return std::nullopt;
  return machinePath;
}

std::size_t PathLength(std::string_view path) {
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < path.size();) units += DecodeUtf8(path, pos) >= 0x10000 ? 2 : 1;
  return units;
}

bool IsMachinePath(std::string_view path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

std::vector<std::string_view> MachinePathComponents(std::string_view machinePath) {
  return NormalizedComponents(machinePath.substr(std::min<std::size_t>(2, machinePath.size())));
}

bool IsDriveRoot(std::string_view path) {
  return IsMachinePath(path) && NormalizedComponents(path.substr(2)).empty();
}

std::optional<fs::path> HostPath(std::string_view path) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  // The system would cut the path at a NUL and act on another one.
  if (path.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  if (IsMachinePath(path)) {
    const Machine* machine = Machine::Current();
    if (machine == nullptr) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return std::nullopt;
    }
    return machine->ToHostPath(path);
  }
  std::string host(path);
  std::replace(host.begin(), host.end(), '\\', '/');
  return fs::path(std::move(host));
}

}  // namespace corvane
