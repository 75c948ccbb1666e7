#include "platform/shell/trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "platform/text.h"

namespace corvane {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
// Info files are a few lines; anything larger is not one.
constexpr off_t kMaxInfoBytes = 64 * 1024;
// Folders nested deeper than this are not walked (nor removed): no real deletion makes them.
constexpr int kMaxDepth = 256;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int OpenFolderAt(int parent, const char* name) {
  return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

struct Entry {
  std::string name;
  unsigned char type = DT_UNKNOWN;  // as the listing tells it; DT_UNKNOWN when it does not
};

// The entries of a folder held open (its descriptor stays the caller's).
std::optional<std::vector<Entry>> Entries(int folder) {
  const int copy = ::dup(folder);
  if (copy < 0) return std::nullopt;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return std::nullopt;
  }
  ::rewinddir(dir);
  std::vector<Entry> entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") entries.push_back({std::string(name), entry->d_type});
  }
  ::closedir(dir);
  return entries;
}

// The text of an info file: a regular file of at most kMaxInfoBytes, never through a link.
std::optional<std::string> ReadInfo(int folder, const Entry& entry) {
  if (entry.type != DT_REG && entry.type != DT_UNKNOWN) return std::nullopt;
  const int fd =
      ::openat(folder, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // The listing said what it is; only a listing that did not is asked again.
  struct stat status {};
  bool ok = entry.type == DT_REG || (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode));
  std::string text;
  std::array<char, 4096> buffer{};
  while (ok) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
    ok = text.size() <= static_cast<std::size_t>(kMaxInfoBytes);
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return text;
}

std::uint64_t FolderSize(int parent, const std::string& name, int depth) {
  if (depth > kMaxDepth) return 0;
  const int folder = OpenFolderAt(parent, name.c_str());
  if (folder < 0) return 0;
  std::uint64_t size = 0;
  for (const Entry& child : Entries(folder).value_or(std::vector<Entry>{})) {
    struct stat status {};
    if (::fstatat(folder, child.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(status.st_mode)) {
      size += FolderSize(folder, child.name, depth + 1);
    } else if (S_ISREG(status.st_mode)) {
      size += static_cast<std::uint64_t>(status.st_size);
    }
  }
  ::close(folder);
  return size;
}

// Overwrites a file held open for writing to its end with pseudo-random bytes and makes them
// reach the disk.
bool Overwrite(int fd, std::uint64_t size) {
  std::array<unsigned char, 65536> buffer{};
  std::uint32_t state = static_cast<std::uint32_t>(std::rand()) | 1u;
  for (unsigned char& byte : buffer) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<unsigned char>(state);
  }
  std::uint64_t done = 0;
  while (done < size) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
    const ssize_t written = ::pwrite(fd, buffer.data(), chunk, static_cast<off_t>(done));
    if (written <= 0) return false;
    done += static_cast<std::uint64_t>(written);
  }
  return ::fdatasync(fd) == 0;
}

// Removes a regular file of `folder` by name after overwriting it when asked; only the file
// that `seen` describes, and only overwritten when nothing else links to it.
bool RemoveFile(int folder, const std::string& name, const struct stat& seen,
                TrashOverwrite overwrite) {
  if (overwrite == TrashOverwrite::On && S_ISREG(seen.st_mode) && seen.st_nlink == 1) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat now {};
    const bool same = ::fstat(fd, &now) == 0 && now.st_dev == seen.st_dev &&
                      now.st_ino == seen.st_ino && now.st_nlink == 1;
    const bool written = same && Overwrite(fd, static_cast<std::uint64_t>(now.st_size));
    ::close(fd);
    if (!written) return false;
  }
  return ::unlinkat(folder, name.c_str(), 0) == 0;
}

bool RemoveTree(int parent, const std::string& name, const struct stat& seen,
                TrashOverwrite overwrite, int depth) {
  if (depth > kMaxDepth) return false;
  const int folder = OpenFolderAt(parent, name.c_str());
  if (folder < 0) return false;
  struct stat now {};
  bool ok = ::fstat(folder, &now) == 0 && now.st_dev == seen.st_dev && now.st_ino == seen.st_ino;
  const auto entries = ok ? Entries(folder) : std::nullopt;
  ok = ok && entries.has_value();
  if (ok) {
    for (const Entry& entry : *entries) {
      const std::string& child = entry.name;
      struct stat status {};
      if (::fstatat(folder, child.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        ok = false;
        continue;
      }
      const bool removed = S_ISDIR(status.st_mode)
                               ? RemoveTree(folder, child, status, overwrite, depth + 1)
                               : RemoveFile(folder, child, status, overwrite);
      ok = removed && ok;
    }
  }
  ::close(folder);
  return ok && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

std::optional<std::string> ParseTrashInfo(std::string_view text) {
  bool inGroup = false;
  bool sawGroup = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Trash Info]";
      // The group must come first: a file starting otherwise is no info file.
      if (!sawGroup && !inGroup) return std::nullopt;
      sawGroup = true;
      continue;
    }
    if (!sawGroup) return std::nullopt;
    if (!inGroup || !line.starts_with("Path=")) continue;
    const std::string_view encoded = line.substr(5);
    std::string path;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      if (encoded[i] != '%') {
        path += encoded[i];
        continue;
      }
      const int high = i + 2 < encoded.size() ? HexValue(encoded[i + 1]) : -1;
      const int low = i + 2 < encoded.size() ? HexValue(encoded[i + 2]) : -1;
      if (high < 0 || low < 0) return std::nullopt;
      path += static_cast<char>(high * 16 + low);
      i += 2;
    }
    // Only an absolute path of a real name: no NUL, valid UTF-8.
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos ||
        SanitizeUtf8(path) != path) {
      return std::nullopt;
    }
    return path;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> Trash::HomeTrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::filesystem::path(data) / "Trash";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return std::filesystem::path(home) / ".local" / "share" / "Trash";
  }
  return std::nullopt;
}

Trash::Trash(const std::filesystem::path& folder) {
  trash_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (trash_ < 0) return;
  files_ = OpenFolderAt(trash_, "files");
  info_ = OpenFolderAt(trash_, "info");
}

Trash::~Trash() {
  for (const int fd : {files_, info_, trash_}) {
    if (fd >= 0) ::close(fd);
  }
}

std::vector<TrashItem> Trash::List(const std::function<bool()>& stop) const {
  std::vector<TrashItem> items;
  if (!IsOpen()) return items;
  for (const Entry& entry : Entries(info_).value_or(std::vector<Entry>{})) {
    if (stop && stop()) break;
    const std::string& infoName = entry.name;
    if (infoName.size() <= kInfoSuffix.size() || !infoName.ends_with(kInfoSuffix)) continue;
    const auto text = ReadInfo(info_, entry);
    if (!text) continue;
    auto path = ParseTrashInfo(*text);
    if (!path) continue;

    TrashItem item;
    item.name = infoName.substr(0, infoName.size() - kInfoSuffix.size());
    item.originalPath = std::move(*path);
    struct stat status {};
    if (::fstatat(files_, item.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
      item.device = status.st_dev;
      item.inode = status.st_ino;
      if (S_ISLNK(status.st_mode)) {
        item.kind = TrashItem::Kind::Link;
      } else if (S_ISDIR(status.st_mode)) {
        item.kind = TrashItem::Kind::Folder;
        item.size = FolderSize(files_, item.name, 0);
      } else {
        item.kind = TrashItem::Kind::File;
        item.size = S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool Trash::Remove(const TrashItem& item, TrashOverwrite overwrite) const {
  if (!IsOpen() || item.name.empty() || item.name.find('/') != std::string::npos ||
      item.name == "." || item.name == "..") {
    return false;
  }
  struct stat status {};
  const bool present = ::fstatat(files_, item.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
  if (item.kind == TrashItem::Kind::Missing) {
    if (present) return false;  // something came since the listing: not what was shown
  } else {
    if (!present || status.st_dev != item.device || status.st_ino != item.inode) return false;
    const bool removed = S_ISDIR(status.st_mode)
                             ? RemoveTree(files_, item.name, status, overwrite, 0)
                             : RemoveFile(files_, item.name, status, overwrite);
    if (!removed) return false;
  }
  const std::string infoName = item.name + std::string(kInfoSuffix);
  return ::unlinkat(info_, infoName.c_str(), 0) == 0;
}

}  // namespace corvane
