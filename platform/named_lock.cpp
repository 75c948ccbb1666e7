#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/named_object.h"

namespace corvane {

namespace {

int OpenLockFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  return fd;
}

}  // namespace

NamedLock::~NamedLock() {
  Close();
}

bool NamedLock::Open(std::string_view name) {
  const std::lock_guard guard(mutex_);
  CloseDescriptor();
  const auto folder = NamedObjectFolder();
  if (!folder) return false;
  const auto file = NamedObjectFileName(name, ".lock");
  if (!file) return false;
  const std::string path = *folder + "/" + *file;
  fd_ = OpenLockFile(path);
  if (fd_ < 0) return false;
  openedBy_ = ::getpid();
  path_ = path;
  return true;
}

bool NamedLock::IsOpen() const {
  const std::lock_guard guard(mutex_);
  return fd_ >= 0;
}

void NamedLock::Close() {
  const std::lock_guard guard(mutex_);
  CloseDescriptor();
}

void NamedLock::CloseDescriptor() {
  // Only close: in a forked child an explicit unlock would release the parent's lock.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
  if (held_) {
    held_ = false;
    released_.notify_all();
  }
}

void NamedLock::ReopenAfterFork() {
  if (fd_ < 0 || openedBy_ == ::getpid()) return;
  ::close(fd_);
  held_ = false;  // whatever the parent held is not ours
  fd_ = OpenLockFile(path_);
  openedBy_ = ::getpid();
  if (fd_ < 0) path_.clear();
}

bool NamedLock::Lock() {
  std::unique_lock guard(mutex_);
  ReopenAfterFork();
  released_.wait(guard, [this] { return !held_ || fd_ < 0; });
  if (fd_ < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  // Claim the object for this thread first, so other threads of the process queue on the
  // condition instead of sharing our open file description's lock.
  held_ = true;
  const int fd = fd_;
  guard.unlock();
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    guard.lock();
    held_ = false;
    released_.notify_one();
    SetLastErrorFromErrno(error);
    return false;
  }
  return true;
}

bool NamedLock::TryLock() {
  const std::lock_guard guard(mutex_);
  ReopenAfterFork();
  if (fd_ < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (held_) {
    SetLastError(ERROR_LOCK_VIOLATION);
    return false;
  }
  int result;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  held_ = true;
  return true;
}

bool NamedLock::Unlock() {
  const std::lock_guard guard(mutex_);
  ReopenAfterFork();
  if (fd_ < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!held_) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // flock(LOCK_UN) cannot fail on a valid descriptor; the lock is ours no longer either way.
  static_cast<void>(::flock(fd_, LOCK_UN));
  held_ = false;
  released_.notify_one();
  return true;
}

std::string NamedLock::Path() const {
  const std::lock_guard guard(mutex_);
  return path_;
}

}  // namespace corvane
