#include "platform/registry_hive_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>

#include "platform/last_error.h"

namespace corvane {
namespace {

// Closes the descriptor on every path out of a function.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int Get() const { return fd_; }
  // Closes now, so that a failing close (a delayed write error) can be reported.
  [[nodiscard]] bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Far above any real hive (a busy system.reg is tens of megabytes); a bigger file is refused
// rather than read into memory.
constexpr off_t kMaxHiveFileSize = off_t{1} << 30;

// Reads a regular file whole. Anything else (a folder, a FIFO that would block, a device that
// never ends) is refused with EACCES, as Windows refuses to open such a thing as a file.
bool ReadAll(int fd, std::string& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EACCES;
    return false;
  }
  if (st.st_size > kMaxHiveFileSize) {
    errno = ENOMEM;
    return false;
  }
  out.clear();
  if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (out.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kMaxHiveFileSize)) {
      errno = ENOMEM;  // grew while we read it
      return false;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Runs the test's fault hook for a step; true when the step should fail (errno is then set).
bool Injected(const AtomicWriteFault& fault, AtomicWriteStep step) {
  if (!fault) return false;
  const int error = fault(step);
  if (error == 0) return false;
  errno = error;
  return true;
}

// A name no other writer in this folder uses: the target's name, our pid and a counter.
std::filesystem::path TempPathFor(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  std::string name = "." + path.filename().string() + "." + std::to_string(::getpid()) + "." +
                     std::to_string(counter.fetch_add(1)) + ".tmp";
  return path.parent_path() / name;
}

bool Fail(int error) {
  SetLastErrorFromErrno(error);
  return false;
}

// The pid in a temporary name TempPathFor made for `target` (".system.reg.PID.N.tmp"); 0 for any
// other name.
pid_t TempOwnerPid(std::string_view name, std::string_view target) {
  const std::string head = "." + std::string(target) + ".";
  constexpr std::string_view kTail = ".tmp";
  if (name.size() <= head.size() + kTail.size() || !name.starts_with(head) ||
      !name.ends_with(kTail)) {
    return 0;
  }
  const std::string_view middle =
      name.substr(head.size(), name.size() - head.size() - kTail.size());
  const std::size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot + 1 == middle.size()) return 0;
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(middle.substr(0, dot)) || !digits(middle.substr(dot + 1))) return 0;
  return static_cast<pid_t>(std::stol(std::string(middle.substr(0, dot))));
}

// A save killed between writing and renaming leaves its temporary file behind, and nothing else
// ever removes it. Ours are known by their name; only those of processes that are gone are
// removed: a live one's (EPERM: alive, not ours to signal) may be a save in progress.
void RemoveStaleTemporaries(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string target = path.filename().string();
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = TempOwnerPid(entry->d_name, target);
    if (pid <= 0 || pid == self || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// The new file keeps the owner, group and permissions of the file it replaces; a file that is new
// takes the owner and group of its folder. Whoever saves (root, with the prefix owner's consent)
// must never leave a file its owner's Wine cannot use. False when the owner could not be kept.
bool KeepOwnerAndMode(int fd, const std::filesystem::path& path) {
  struct stat st {};
  const bool replaces = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (!replaces) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (::stat(folder.c_str(), &st) != 0) return true;  // the create below will tell
  }
  if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
      ::fchown(fd, st.st_uid, st.st_gid) != 0 && st.st_uid != ::geteuid()) {
    return false;  // a group we are not in is as before; another owner must not be lost
  }
  return !replaces || ::fchmod(fd, st.st_mode & 07777) == 0;
}

}  // namespace

HiveLoadResult LoadHiveFile(const std::filesystem::path& path, RegistryHive& hive) {
  // Non-blocking, so that a FIFO in place of the file cannot hang us before we look at it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    SetLastErrorFromErrno(error);
    if (error == ENOENT) SetLastError(ERROR_FILE_NOT_FOUND);
    if (error == ENOENT || error == ENOTDIR) return HiveLoadResult::Missing;
    return HiveLoadResult::Unreadable;
  }
  FileDescriptor file(fd);
  std::string text;
  if (!ReadAll(file.Get(), text)) {
    SetLastErrorFromErrno(errno);
    return HiveLoadResult::Unreadable;
  }
  if (!ParseHive(text, path.string(), hive)) {
    SetLastError(ERROR_BADDB);
    return HiveLoadResult::Damaged;
  }
  SetLastError(ERROR_SUCCESS);
  return HiveLoadResult::Loaded;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         const AtomicWriteFault& fault) {
  RemoveStaleTemporaries(path);
  const std::filesystem::path temp = TempPathFor(path);
  if (Injected(fault, AtomicWriteStep::CreateTemp)) return Fail(errno);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) {  // the temporary name is new, so it is the folder that is missing
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    return Fail(error);
  }
  FileDescriptor file(fd);
  // From here on the temporary file must not outlive a failure.
  const auto abandon = [&](int error) {
    ::unlink(temp.c_str());
    return Fail(error);
  };
  if (!KeepOwnerAndMode(file.Get(), path)) return abandon(errno);
  if (Injected(fault, AtomicWriteStep::Write) || !WriteAll(file.Get(), bytes)) {
    return abandon(errno);
  }
  if (Injected(fault, AtomicWriteStep::SyncFile) || ::fsync(file.Get()) != 0) {
    return abandon(errno);
  }
  if (!file.Close()) return abandon(errno);
  if (Injected(fault, AtomicWriteStep::Rename) || ::rename(temp.c_str(), path.c_str()) != 0) {
    return abandon(errno);
  }
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (Injected(fault, AtomicWriteStep::SyncFolder)) return Fail(errno);
  FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0 || ::fsync(dir.Get()) != 0) return Fail(errno);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool SaveHiveFile(const std::filesystem::path& path, const RegistryHive& hive,
                  const AtomicWriteFault& fault) {
  if (hive.readOnly) {
    SetLastError(ERROR_WRITE_PROTECT);
    return false;
  }
  return WriteFileAtomically(path, SerializeHive(hive), fault);
}

}  // namespace corvane
