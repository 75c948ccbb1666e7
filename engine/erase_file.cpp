#include "engine/erase_file.h"

#include "engine/delete_at_restart.h"
#include "engine/erase_fault.h"
#include "engine/erase_target.h"
#include "platform/file_problems.h"
#include "platform/machine.h"

namespace corvane {

namespace {

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Could not go now: left for the next start when that can be written, else a failure that keeps
// the cause as the last error.
EraseResult LeaveForRestart(std::string_view path) {
  const DWORD error = GetLastError();
  if (ScheduleDeleteAtRestart(path)) return kEraseAtRestart;
  SetLastError(error == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : error);
  return kEraseNothing;
}

}  // namespace

bool EraseFailed(EraseResult result) {
  if (result != kEraseNothing) return false;
  const DWORD error = GetLastError();
  return !IsMissing(error) && error != ERROR_CANCELLED;
}

EraseResult EraseTargetFile(const EraseTarget& target, Overwrite overwrite, WipePattern pattern,
                            const CancelCheck& cancel) {
  const bool regular = S_ISREG(target.seen.st_mode);
  std::uint64_t size = regular ? static_cast<std::uint64_t>(target.seen.st_size) : 0;
  // A link, a pipe or a device has no bytes of its own here: only the name goes.
  if (overwrite == Overwrite::On && regular) {
    if (target.seen.st_nlink > 1) {
      // Other names (a backup made with hard links, a package store) share these bytes.
      ReportFileProblem("EraseFile: not overwritten, other hard links share its bytes: " +
                        std::string(target.path));
    } else {
      constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
      if ((target.seen.st_mode & kWriteBits) == 0)
        (void)target.folder.SetMode(target.name, target.seen, target.seen.st_mode | S_IWUSR);
      const std::uint64_t wiped =
          WaipFileIn(target.folder, target.name, &target.seen, target.path, pattern, cancel);
      if (wiped == 0) {
        if (cancel && cancel()) {
          SetLastError(ERROR_CANCELLED);
          return kEraseNothing;
        }
        // Nothing there to delete, now or at the next start.
        if (IsMissing(GetLastError())) return kEraseNothing;
        // A file that cannot be overwritten is not deleted with its bytes still readable.
        return LeaveForRestart(target.path);
      }
      size = wiped - 1;
    }
  }
  if (InjectedEraseFault(EraseStep::Delete, target.path) == ERROR_SUCCESS &&
      target.folder.Remove(target.name, false)) {
    return static_cast<EraseResult>(size + 1);
  }
  if (IsMissing(GetLastError())) return kEraseNothing;
  return LeaveForRestart(target.path);
}

EraseResult EraseFile(std::string_view path, Overwrite overwrite, WipePattern pattern,
                      const CancelCheck& cancel) {
  if (PathLength(path) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return kEraseNothing;
  }
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return kEraseNothing;
  EraseTarget target{path, entry->folder, entry->name, {}};
  if (!entry->folder.Status(entry->name, &target.seen)) return kEraseNothing;
  return EraseTargetFile(target, overwrite, pattern, cancel);
}

bool EraseFileList(const std::vector<std::string>& files, Overwrite overwrite, WipePattern pattern,
                   const CancelCheck& cancel, DeletionTally* tally) {
  return EraseInBatches(
      files.size(), [&](std::size_t i) { return EraseFile(files[i], overwrite, pattern, cancel); },
      [&](std::size_t i) { return std::string_view(files[i]); }, cancel, tally);
}

}  // namespace corvane
