#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/file_status.h"
#include "platform/folder_handle.h"

namespace corvane {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileHandle::Read(void* buffer, std::size_t size, std::size_t* read) {
  std::size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < size) {
    const ssize_t n = ::read(fd_, bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      if (read != nullptr) *read = done;
      return false;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (read != nullptr) *read = done;
  return true;
}

bool FileHandle::Write(const void* buffer, std::size_t size, std::size_t* written) {
  std::size_t done = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  bool ok = true;
  while (done < size) {
    const ssize_t n = ::write(fd_, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that moves nothing would loop for ever; Windows calls it a full disk.
      n < 0 ? SetLastErrorFromErrno(errno) : SetLastError(ERROR_DISK_FULL);
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (written != nullptr) *written = done;
  return ok;
}

bool FileHandle::Seek(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

std::optional<std::uint64_t> FileHandle::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    SetLastErrorFromErrno(errno);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool FileHandle::Sync() {
  if (::fdatasync(fd_) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool FileHandle::Status(struct stat* status) const {
  if (::fstat(fd_, status) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

FileHandle OpenExistingFileIn(const FolderHandle& folder, std::string_view name, FileAccess access,
                              const struct stat* seen) {
  int flags = access == FileAccess::Read ? O_RDONLY : (O_RDWR | O_NOFOLLOW);
  if (seen != nullptr) flags |= O_NOFOLLOW;
  // O_NONBLOCK: opening a pipe must not wait for a writer before we can refuse it.
  FileHandle file(::openat(folder.Descriptor(), std::string(name).c_str(),
                           flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file) {
    const int error = errno;
    // A link refused by O_NOFOLLOW is a file we may not write, or not the file the listing saw.
    if (error == ELOOP) {
      SetLastError(seen != nullptr ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    } else if (error == ENOENT) {
      SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
      SetLastErrorFromErrno(error);
    }
    return {};
  }
  struct stat st;
  if (!file.Status(&st)) return {};
  if (seen != nullptr && !SameFile(st, *seen)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return {};
  }
  if (!S_ISREG(st.st_mode) ||
      (access == FileAccess::ReadWrite && (FileAttributesFromStat(st) & FILE_ATTRIBUTE_READONLY))) {
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

FileHandle OpenExistingFile(std::string_view path, FileAccess access) {
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return {};
  return OpenExistingFileIn(entry->folder, entry->name, access, nullptr);
}

}  // namespace corvane
