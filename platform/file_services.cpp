#include "platform/file_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/folder_handle.h"
#include "platform/machine.h"

namespace corvane {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// The entry a path names and its status (a link's own); sets the last error when it fails.
std::optional<PathEntry> StatEntry(std::string_view path, struct stat* st) {
  std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry || !entry->folder.Status(entry->name, st)) return std::nullopt;
  return entry;
}

}  // namespace

std::optional<std::uint64_t> GetFileSize64(std::string_view path) {
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return std::nullopt;
  struct stat st;
  if (::fstatat(entry->folder.Descriptor(), entry->name.c_str(), &st, 0) != 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno));
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
  const std::optional<PathEntry> entry = StatEntry(path, &st);
  if (!entry) return false;
  if (S_ISLNK(st.st_mode)) return true;
  const mode_t mode = st.st_mode & 07777;
  mode_t wanted = mode;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    if (!S_ISDIR(st.st_mode)) wanted = mode & ~kWriteBits;
  } else if ((mode & kWriteBits) == 0) {
    wanted = mode | S_IWUSR;
  }
  return wanted == mode || entry->folder.SetMode(entry->name, st, wanted);
}

bool DeleteFileW(std::string_view path) {
  struct stat st;
  const std::optional<PathEntry> entry = StatEntry(path, &st);
  if (!entry) return false;
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & kWriteBits) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return entry->folder.Remove(entry->name, false);
}

bool RemoveDirectoryW(std::string_view path) {
  struct stat st;
  const std::optional<PathEntry> entry = StatEntry(path, &st);
  if (!entry) return false;
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    if (::fstatat(entry->folder.Descriptor(), entry->name.c_str(), &target, 0) != 0 ||
        !S_ISDIR(target.st_mode)) {
      SetLastError(ERROR_DIRECTORY);
      return false;
    }
    return entry->folder.Remove(entry->name, false);
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return false;
  }
  return entry->folder.Remove(entry->name, true);
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
