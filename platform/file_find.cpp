#include "platform/file_find.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/file_mask.h"
#include "platform/file_status.h"
#include "platform/folder_handle.h"
#include "platform/machine.h"

namespace corvane {

namespace {

bool Fill(std::string_view name, const struct stat& st, FindData* data) {
  data->name.assign(name);
  data->attributes = FileAttributesFromStat(st);
  data->size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  data->lastWriteTime = FileTimeFromTimespec(st.st_mtim);
  return true;
}

}  // namespace

class FindHandle {
 public:
  // A null folder is a search whose only match has been handed out already.
  FindHandle(DIR* dir, std::string_view mask) : dir_(dir), mask_(mask) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (dir_ != nullptr) ::closedir(dir_);
  }

  // Windows lists "." and ".." before everything else.
  void QueueDots() {
    for (const char* dot : {".", ".."})
      if (mask_.Matches(dot)) dots_.push_back(dot);
  }

  bool Next(FindData* data) {
    if (dir_ == nullptr) {
      SetLastError(ERROR_NO_MORE_FILES);
      return false;
    }
    const int folder = ::dirfd(dir_);
    struct stat st;
    while (!dots_.empty()) {
      const char* dot = dots_.front();
      dots_.erase(dots_.begin());
      if (::fstatat(folder, dot, &st, 0) == 0) return Fill(dot, st, data);
    }
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir_);
      if (entry == nullptr) {
        SetLastError(errno == 0 ? ERROR_NO_MORE_FILES : Win32ErrorFromErrno(errno));
        return false;
      }
      const std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (!mask_.MatchesEverything() && !mask_.Matches(name)) continue;
      // An entry removed since readdir saw it is simply no longer there.
      if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      return Fill(name, st, data);
    }
  }

 private:
  DIR* dir_;
  FileMask mask_;
  std::vector<const char*> dots_;
};

void FindHandleCloser::operator()(FindHandle* handle) const {
  delete handle;
}

namespace {

// A plain name names at most one entry: look it up (case-insensitively on the machine) rather
// than reading the whole folder.
FindHandlePtr FindSingle(std::string_view pattern, FindData* data) {
  const std::optional<PathEntry> entry = OpenPathEntry(pattern);
  if (!entry) return nullptr;
  struct stat st;
  if (!entry->folder.Status(entry->name, &st)) return nullptr;
  Fill(entry->name, st, data);
  return FindHandlePtr(new FindHandle(nullptr, ""));
}

}  // namespace

FindHandlePtr FindFirstFileW(std::string_view pattern, FindData* data) {
  const bool machine = IsMachinePath(pattern);
  if (machine && PathLength(pattern) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  const std::size_t separator = pattern.find_last_of("\\/");
  std::string_view folder;
  std::string_view mask;
  if (separator != std::string_view::npos) {
    folder = separator == 0 ? pattern.substr(0, 1) : pattern.substr(0, separator);
    mask = pattern.substr(separator + 1);
  } else if (machine) {
    folder = pattern.substr(0, 2);
    mask = pattern.substr(2);
  } else {
    folder = ".";
    mask = pattern;
  }
  if (mask.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const FileMask fileMask(mask);
  if (!fileMask.HasWildcards()) return FindSingle(pattern, data);

  const FolderHandle opened = OpenFolderPath(folder);
  if (!opened) {
    if (GetLastError() == ERROR_DIRECTORY) SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  // The listing reads the folder that was opened, wherever its name points meanwhile.
  const int copy = ::fcntl(opened.Descriptor(), F_DUPFD_CLOEXEC, 0);
  DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
  if (dir == nullptr) {
    SetLastErrorFromErrno(errno);
    if (copy >= 0) ::close(copy);
    return nullptr;
  }
  FindHandlePtr handle(new FindHandle(dir, mask));
  const bool root = machine ? IsDriveRoot(folder) : (folder == "/" || folder == "\\");
  if (!root) handle->QueueDots();
  if (!handle->Next(data)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return handle;
}

bool FindNextFileW(FindHandle& handle, FindData* data) {
  return handle.Next(data);
}

void FindClose(FindHandlePtr handle) {
  handle.reset();
}

}  // namespace corvane
