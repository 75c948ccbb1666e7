#include "platform/file_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/machine.h"

namespace corvane {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// lstat of any path; sets the last error when it fails.
std::optional<std::filesystem::path> StatEntry(std::string_view path, struct stat* st) {
  std::optional<std::filesystem::path> host = HostPath(path);
  if (!host) return std::nullopt;
  if (::lstat(host->c_str(), st) != 0) {
    SetLastErrorForPath(errno, host->string());
    return std::nullopt;
  }
  return host;
}

}  // namespace

std::optional<std::uint64_t> GetFileSize64(std::string_view path) {
  const std::optional<std::filesystem::path> host = HostPath(path);
  if (!host) return std::nullopt;
  struct stat st;
  if (::stat(host->c_str(), &st) != 0) {
    SetLastErrorForPath(errno, host->string());
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

DWORD GetFileAttributesW(std::string_view path) {
  struct stat st;
  if (!StatEntry(path, &st)) return INVALID_FILE_ATTRIBUTES;
  return FileAttributesFromStat(st);
}

bool SetFileAttributesW(std::string_view path, DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  struct stat st;
  const std::optional<std::filesystem::path> host = StatEntry(path, &st);
  if (!host) return false;
  if (S_ISLNK(st.st_mode)) return true;
  const mode_t mode = st.st_mode & 07777;
  mode_t wanted = mode;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    if (!S_ISDIR(st.st_mode)) wanted = mode & ~kWriteBits;
  } else if ((mode & kWriteBits) == 0) {
    wanted = mode | S_IWUSR;
  }
  if (wanted != mode && ::chmod(host->c_str(), wanted) != 0) {
    SetLastErrorForPath(errno, host->string());
    return false;
  }
  return true;
}

bool DeleteFileW(std::string_view path) {
  struct stat st;
  const std::optional<std::filesystem::path> host = StatEntry(path, &st);
  if (!host) return false;
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & kWriteBits) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (::unlink(host->c_str()) != 0) {
    SetLastErrorForPath(errno, host->string());
    return false;
  }
  return true;
}

bool RemoveDirectoryW(std::string_view path) {
  struct stat st;
  const std::optional<std::filesystem::path> host = StatEntry(path, &st);
  if (!host) return false;
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    if (::stat(host->c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) {
      SetLastError(ERROR_DIRECTORY);
      return false;
    }
    if (::unlink(host->c_str()) != 0) {
      SetLastErrorForPath(errno, host->string());
      return false;
    }
    return true;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return false;
  }
  if (::rmdir(host->c_str()) != 0) {
    const int error = errno;
    if (error == ENOTEMPTY || error == EEXIST) {
      SetLastError(ERROR_DIR_NOT_EMPTY);
    } else {
      SetLastErrorForPath(error, host->string());
    }
    return false;
  }
  return true;
}

bool IsDirectory(std::string_view path) {
  struct stat st;
  return StatEntry(path, &st) && S_ISDIR(st.st_mode);
}

std::optional<std::string> GetWindowsDirectoryW() {
  const Machine* machine = Machine::Current();
  if (machine == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const std::optional<std::filesystem::path> host = machine->ToHostPath("C:\\windows");
  if (!host) return std::nullopt;
  return "C:\\" + host->filename().string();
}

}  // namespace corvane
