#include "platform/folder_handle.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/file_problems.h"
#include "platform/last_error.h"
#include "platform/machine.h"
#include "platform/text.h"

namespace corvane {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Set once the kernel (or a sandbox) has refused openat2: the component walk does the work then.
std::atomic<bool> g_openat2Missing{false};

// Calls `use` with each name of the folder but "." and ".."; false when reading failed.
template <typename Use>
bool ForEachName(int folder, Use&& use) {
  const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    SetLastErrorFromErrno(errno);
    ::close(copy);
    return false;
  }
  // The copy shares the position of the handle, which an earlier listing left at the end.
  ::rewinddir(dir);
  bool complete = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        SetLastErrorFromErrno(errno);
        complete = false;
      }
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!use(entry->d_name)) complete = false;
  }
  ::closedir(dir);
  return complete;
}

void ReportLinkOnTheWay(std::string_view path) {
  ReportFileProblem("OpenPathEntry: not followed, a link lies on the way: " + std::string(path));
}

// Opens `name` below `folder` as a folder, through no link; -1 with errno otherwise.
int OpenFolderAt(int folder, const std::string& name) {
  return ::openat(folder, name.c_str(), kFolderFlags);
}

// The whole relative path in one call, refusing every link on it; -1 with errno otherwise.
int OpenBeneath(int folder, const std::string& relative) {
  if (g_openat2Missing.load(std::memory_order_relaxed)) {
    errno = ENOSYS;
    return -1;
  }
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
  const long fd = ::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how);
  if (fd < 0 && (errno == ENOSYS || errno == EPERM)) g_openat2Missing.store(true);
  return static_cast<int>(fd);
}

bool IsLink(int folder, const std::string& name) {
  struct stat st;
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Goes down from the drive root through the folders, each matched case-insensitively when its
// exact spelling is missing. Closed, with ERROR_PATH_NOT_FOUND, when one is missing, no folder,
// or a link (reported with the whole path, `shown`).
FolderHandle Descend(FolderHandle folder, const std::vector<std::string_view>& components,
                     std::string_view shown) {
  if (components.empty()) return folder;
  std::string relative;
  for (std::string_view component : components) {
    if (!relative.empty()) relative += '/';
    relative += component;
  }
  // Walks hand back names read from the folders themselves, so the exact spelling nearly always
  // opens in one call.
  const int whole = OpenBeneath(folder.Descriptor(), relative);
  if (whole >= 0) return FolderHandle(whole);
  if (errno == ELOOP) {
    ReportLinkOnTheWay(shown);
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  for (std::string_view component : components) {
    std::string name(component);
    int fd = OpenFolderAt(folder.Descriptor(), name);
    if (fd < 0 && errno == ENOENT) {
      if (std::optional<std::string> match = folder.FindNameNoCase(name)) {
        name = std::move(*match);
        fd = OpenFolderAt(folder.Descriptor(), name);
      } else {
        errno = ENOENT;
      }
    }
    if (fd < 0) {
      const int error = errno;
      if ((error == ENOTDIR || error == ELOOP) && IsLink(folder.Descriptor(), name)) {
        ReportLinkOnTheWay(shown);
        SetLastError(ERROR_PATH_NOT_FOUND);
      } else if (error == ENOENT || error == ENOTDIR || error == ELOOP) {
        SetLastError(ERROR_PATH_NOT_FOUND);
      } else {
        SetLastErrorFromErrno(error);
      }
      return {};
    }
    folder = FolderHandle(fd);
  }
  return folder;
}

FolderHandle OpenHostFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    SetLastError(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                     : Win32ErrorFromErrno(error));
  }
  return FolderHandle(fd);
}

std::optional<PathEntry> OpenMachinePathEntry(std::string_view path) {
  if (PathLength(path) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  const Machine* machine = Machine::Current();
  const std::optional<std::filesystem::path> root =
      machine == nullptr ? std::nullopt : machine->DriveRoot(path[0]);
  if (!root) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  // The drive's own mapping is the one place links are followed.
  FolderHandle folder = OpenHostFolder(root->string());
  if (!folder) return std::nullopt;
  std::vector<std::string_view> components = MachinePathComponents(path);
  if (components.empty()) return PathEntry{std::move(folder), "."};
  const std::string_view last = components.back();
  components.pop_back();
  folder = Descend(std::move(folder), components, path);
  if (!folder) return std::nullopt;
  std::string name(last);
  struct stat st;
  if (::fstatat(folder.Descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
      errno == ENOENT) {
    if (std::optional<std::string> match = folder.FindNameNoCase(name)) name = std::move(*match);
  }
  return PathEntry{std::move(folder), std::move(name)};
}

std::optional<PathEntry> OpenHostPathEntry(std::string_view path) {
  std::string host(path);
  std::replace(host.begin(), host.end(), '\\', '/');
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  const std::size_t slash = host.find_last_of('/');
  std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
  if (host == "/" || name == "." || name == "..") {
    FolderHandle folder = OpenHostFolder(host);
    if (!folder) return std::nullopt;
    return PathEntry{std::move(folder), "."};
  }
  const std::string parent = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : host.substr(0, slash);
  FolderHandle folder = OpenHostFolder(parent);
  if (!folder) return std::nullopt;
  return PathEntry{std::move(folder), std::move(name)};
}

}  // namespace

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle FolderHandle::OpenFolder(std::string_view name) const {
  const int fd = OpenFolderAt(fd_, std::string(name));
  if (fd < 0) {
    const int error = errno;
    SetLastError(error == ENOENT                      ? ERROR_PATH_NOT_FOUND
                 : error == ENOTDIR || error == ELOOP ? ERROR_DIRECTORY
                                                      : Win32ErrorFromErrno(error));
  }
  return FolderHandle(fd);
}

bool FolderHandle::Status(std::string_view name, struct stat* status) const {
  if (::fstatat(fd_, std::string(name).c_str(), status, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    SetLastError(error == ENOENT    ? ERROR_FILE_NOT_FOUND
                 : error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                    : Win32ErrorFromErrno(error));
    return false;
  }
  return true;
}

bool FolderHandle::List(std::vector<FolderEntry>& entries) const {
  return ForEachName(fd_, [&](const char* name) {
    FolderEntry entry{name, {}};
    if (::fstatat(fd_, name, &entry.status, AT_SYMLINK_NOFOLLOW) != 0) {
      // Gone since the folder was read: simply no longer there.
      if (errno == ENOENT) return true;
      SetLastErrorFromErrno(errno);
      return false;
    }
    entries.push_back(std::move(entry));
    return true;
  });
}

std::optional<std::string> FolderHandle::FindNameNoCase(std::string_view name) const {
  std::optional<std::string> found;
  bool ambiguous = false;
  (void)ForEachName(fd_, [&](const char* candidate) {
    if (!ambiguous && EqualsNoCase(candidate, name)) {
      if (found) ambiguous = true;
      found = candidate;
    }
    return true;
  });
  if (ambiguous) return std::nullopt;
  return found;
}

bool FolderHandle::Remove(std::string_view name, bool folder) const {
  if (::unlinkat(fd_, std::string(name).c_str(), folder ? AT_REMOVEDIR : 0) == 0) return true;
  const int error = errno;
  if (error == ENOENT) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  } else if (error == ENOTEMPTY || error == EEXIST) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
  } else if (error == EISDIR) {
    SetLastError(ERROR_ACCESS_DENIED);
  } else if (error == ENOTDIR && folder) {
    SetLastError(ERROR_DIRECTORY);
  } else {
    SetLastErrorFromErrno(error);
  }
  return false;
}

bool FolderHandle::SetMode(std::string_view name, const struct stat& seen, mode_t mode) const {
  const int fd = ::openat(fd_, std::string(name).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno));
    return false;
  }
  struct stat now;
  bool done = false;
  if (::fstat(fd, &now) != 0) {
    SetLastErrorFromErrno(errno);
  } else if (S_ISLNK(now.st_mode) || !SameFile(now, seen)) {
    SetLastError(ERROR_ACCESS_DENIED);
  } else {
    // A path handle cannot be changed itself; its name under /proc reaches exactly its file.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    done = ::fchmodat(AT_FDCWD, self.c_str(), mode, 0) == 0;
    if (!done) SetLastErrorFromErrno(errno);
  }
  ::close(fd);
  return done;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::optional<PathEntry> OpenPathEntry(std::string_view path) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  // The system would cut the path at a NUL and act on another one.
  if (path.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  return IsMachinePath(path) ? OpenMachinePathEntry(path) : OpenHostPathEntry(path);
}

FolderHandle OpenFolderPath(std::string_view path) {
  std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return {};
  if (entry->name == ".") return std::move(entry->folder);
  FolderHandle folder = entry->folder.OpenFolder(entry->name);
  return folder;
}

}  // namespace corvane
