#include "cleaners/mozilla/profile_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "app/trace_log.h"
#include "platform/last_error.h"
#include "platform/machine.h"
#include "platform/text.h"

namespace corvane {

namespace {

// O_NONBLOCK: a pipe named like a folder must never hold the walk up.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// The one entry of the open folder equal to `name` ignoring case; none when there is none or
// more than one (then no spelling is better than another).
std::optional<std::string> FindNameNoCase(int folder, std::string_view name) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return std::nullopt;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return std::nullopt;
  }
  std::optional<std::string> found;
  bool ambiguous = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == ".." || !EqualsNoCase(candidate, name)) continue;
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

// Opens one folder below `parent`, the exact spelling first; never through a link.
int OpenChildFolder(int parent, std::string_view name) {
  const std::string exact(name);
  int fd = ::openat(parent, exact.c_str(), kFolderFlags);
  if (fd < 0 && errno == ENOENT) {
    if (const std::optional<std::string> match = FindNameNoCase(parent, name))
      fd = ::openat(parent, match->c_str(), kFolderFlags);
    else
      errno = ENOENT;
  }
  return fd;
}

void SetFolderError(int error) {
  if (error == ENOENT) {
    SetLastError(ERROR_PATH_NOT_FOUND);
  } else if (error == ELOOP || error == ENOTDIR) {
    SetLastError(ERROR_ACCESS_DENIED);  // a link or a file where a folder should be
  } else {
    SetLastErrorFromErrno(error);
  }
}

std::vector<std::string_view> Components(std::string_view rest) {
  std::vector<std::string_view> components;
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", pos);
    if (end == std::string_view::npos) end = rest.size();
    if (end > pos) components.push_back(rest.substr(pos, end - pos));
    pos = end + 1;
  }
  return components;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::optional<ProfileFolder> OpenProfile(std::string_view routine, std::string_view profile) {
  std::optional<ProfileFolder> folder = ProfileFolder::Open(profile);
  if (!folder) {
    const DWORD error = GetLastError();
    if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) {
      HalvikTrace(std::string(routine) + ": profile not entered:" + std::string(profile) +
                  " Error code:" + std::to_string(error) + "\n");
    }
  }
  return folder;
}

std::optional<ProfileFolder> ProfileFolder::Open(std::string_view machinePath) {
  Machine* machine = Machine::Current();
  if (machine == nullptr || !IsMachinePath(machinePath) ||
      machinePath.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  if (PathLength(machinePath) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  const std::vector<std::string_view> components = Components(machinePath.substr(2));
  for (std::string_view component : components) {
    // A profile path names its folders; climbing back up is never one.
    if (component == "." || component == "..") {
      SetLastError(ERROR_INVALID_NAME);
      return std::nullopt;
    }
  }
  const std::optional<Drive> drive = machine->FindDrive(machinePath[0]);
  if (!drive || drive->root.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  // The drive's own mapping is the one link we follow.
  int fd = ::open(drive->root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    SetFolderError(errno);
    return std::nullopt;
  }
  for (std::string_view component : components) {
    const int child = OpenChildFolder(fd, component);
    const int error = errno;
    ::close(fd);
    if (child < 0) {
      SetFolderError(error);
      return std::nullopt;
    }
    fd = child;
  }
  std::string path(machinePath);
  if (path.back() != '\\') path += '\\';
  return ProfileFolder(fd, std::move(path));
}

ProfileFolder::ProfileFolder(ProfileFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

ProfileFolder& ProfileFolder::operator=(ProfileFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

ProfileFolder::~ProfileFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> ProfileFolder::FindName(std::string_view name) const {
  if (!IsPlainFileName(name)) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  std::string exact(name);
  struct stat st;
  if (::fstatat(fd_, exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return exact;
  if (std::optional<std::string> match = FindNameNoCase(fd_, name)) return match;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

FileHandle ProfileFolder::OpenFile(std::string_view name) const {
  const std::optional<std::string> found = FindName(name);
  if (!found) return {};
  // O_NONBLOCK: a pipe must not wait for a writer before we can refuse it.
  FileHandle file(
      ::openat(fd_, found->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) {
    const int error = errno;
    if (error == ELOOP) {
      SetLastError(ERROR_ACCESS_DENIED);
    } else if (error == ENOENT) {
      SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
      SetLastErrorFromErrno(error);
    }
    return {};
  }
  struct stat st;
  if (::fstat(file.Descriptor(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  const int status = ::fcntl(file.Descriptor(), F_GETFL);
  if (status < 0 || ::fcntl(file.Descriptor(), F_SETFL, status & ~O_NONBLOCK) != 0) {
    SetLastErrorFromErrno(errno);
    return {};
  }
  return file;
}

}  // namespace corvane
