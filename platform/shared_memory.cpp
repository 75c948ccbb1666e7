#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/last_error.h"
#include "platform/named_object.h"

namespace corvane {

bool SharedMemoryBlock::Create(std::string_view name, std::size_t size) {
  Close();
  const auto folder = NamedObjectFolder();
  const auto file = NamedObjectFileName(name, ".shm");
  if (!folder || !file) return false;
  const std::string path = *folder + "/" + *file;
  int fd = -1;
  struct stat info {};
  bool ok = false;
  // A file that its last user removed between our open and our lock is opened again afresh.
  for (int attempt = 0; attempt < 100 && !ok; ++attempt) {
    if (fd >= 0) close(fd);
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    struct stat named {};
    ok = flock(fd, LOCK_SH) == 0 && fstat(fd, &info) == 0 && stat(path.c_str(), &named) == 0 &&
         named.st_dev == info.st_dev && named.st_ino == info.st_ino;
  }
  // A block that is too small grows; one made larger by someone else keeps its size.
  if (ok && static_cast<std::size_t>(info.st_size) < size) {
    ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  }
  void* data = ok ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  if (data == MAP_FAILED) {
    SetLastErrorFromErrno(errno);
    close(fd);
    return false;
  }
  data_ = data;
  size_ = size;
  fd_ = fd;
  path_ = path;
  return true;
}

void SharedMemoryBlock::Close() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  if (fd_ < 0) return;
  // Nobody else holds the block when the exclusive lock is granted at once; the name is removed
  // only while it still names our file.
  struct stat mine {};
  struct stat named {};
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0 && fstat(fd_, &mine) == 0 &&
      stat(path_.c_str(), &named) == 0 && named.st_dev == mine.st_dev &&
      named.st_ino == mine.st_ino) {
    unlink(path_.c_str());
  }
  close(fd_);
  fd_ = -1;
  path_.clear();
}

}  // namespace corvane
