#include "platform/shared_memory.h"

#include <fcntl.h>
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
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  struct stat info {};
  bool ok = fstat(fd, &info) == 0;
  // A block that is too small grows; one made larger by someone else keeps its size.
  if (ok && static_cast<std::size_t>(info.st_size) < size) {
    ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  }
  void* data = ok ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
  const int error = errno;
  close(fd);
  if (data == MAP_FAILED) {
    SetLastErrorFromErrno(error);
    return false;
  }
  data_ = data;
  size_ = size;
  return true;
}

void SharedMemoryBlock::Close() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace corvane
