#include "engine/erase_file.h"

#include <filesystem>

#include "engine/delete_at_restart.h"
#include "engine/erase_fault.h"
#include "engine/erase_target.h"
#include "platform/file_services.h"
#include "platform/machine.h"

namespace corvane {

namespace {

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool DeleteOnce(std::string_view host) {
  return InjectedEraseFault(EraseStep::Delete, host) == ERROR_SUCCESS && DeleteFileW(host);
}

}  // namespace

EraseResult EraseTargetFile(const EraseTarget& target, Overwrite overwrite, WipePattern pattern,
                            const CancelCheck& cancel) {
  const bool link = target.attributes != INVALID_FILE_ATTRIBUTES &&
                    (target.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  bool attributesReset = false;
  std::uint64_t size = 0;
  if (overwrite == Overwrite::On && !link) {
    (void)SetFileAttributesW(target.host, FILE_ATTRIBUTE_NORMAL);
    attributesReset = true;
    const std::uint64_t wiped = WaipFile(target.host, pattern, cancel);
    if (wiped == 0) {
      const DWORD error = GetLastError();
      if (cancel && cancel()) return kEraseNothing;
      // Nothing there to delete, now or at the next start.
      if (IsMissing(error)) return kEraseNothing;
      // A file that cannot be overwritten is not deleted with its bytes still readable.
      ScheduleDeleteAtRestart(target.path);
      return kEraseAtRestart;
    }
    size = wiped - 1;
  } else {
    // A listing that saw the file writable spares the call; a stale one costs a retry below.
    if (target.attributes == INVALID_FILE_ATTRIBUTES ||
        (target.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      (void)SetFileAttributesW(target.host, FILE_ATTRIBUTE_NORMAL);
      attributesReset = true;
    }
    // A link's size is its own (none), not its target's: only the link goes.
    if (!link) size = target.size ? *target.size : GetFileSize64(target.host).value_or(0);
  }

  bool deleted = DeleteOnce(target.host);
  if (!deleted && !attributesReset && GetLastError() == ERROR_ACCESS_DENIED) {
    (void)SetFileAttributesW(target.host, FILE_ATTRIBUTE_NORMAL);
    deleted = DeleteOnce(target.host);
  }
  if (deleted) return static_cast<EraseResult>(size + 1);
  if (IsMissing(GetLastError())) return kEraseNothing;
  ScheduleDeleteAtRestart(target.path);
  return kEraseAtRestart;
}

EraseResult EraseFile(std::string_view path, Overwrite overwrite, WipePattern pattern,
                      const CancelCheck& cancel) {
  if (PathLength(path) > kMaxPath) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return kEraseNothing;
  }
  // Resolved once for all the calls below. A host path that would read differently when handed
  // on (a backslash in a folder name) is left for each call to resolve.
  const std::optional<std::filesystem::path> host = HostPath(path);
  if (!host) return kEraseNothing;
  const std::string resolved = host->string();
  EraseTarget target;
  target.path = path;
  target.host = resolved.find('\\') == std::string::npos ? std::string_view(resolved) : path;
  target.attributes = GetFileAttributesW(target.host);
  if (target.attributes == INVALID_FILE_ATTRIBUTES && IsMissing(GetLastError()))
    return kEraseNothing;
  return EraseTargetFile(target, overwrite, pattern, cancel);
}

bool EraseFileList(const std::vector<std::string>& files, Overwrite overwrite, WipePattern pattern,
                   const CancelCheck& cancel, DeletionTally* tally) {
  return EraseInBatches(
      files.size(), [&](std::size_t i) { return EraseFile(files[i], overwrite, pattern, cancel); },
      [&](std::size_t i) { return std::string_view(files[i]); }, cancel, tally);
}

}  // namespace corvane
