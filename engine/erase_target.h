#pragma once
// What the file-removal routines share inside the engine: erasing one entry of a folder held open
// as a listing saw it, and the batched loop over a list of files.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/erase_file.h"
#include "platform/folder_handle.h"

namespace corvane {

struct EraseTarget {
  std::string_view path;       // as the caller names it: what a restart deletes
  const FolderHandle& folder;  // the folder holding it, open
  std::string_view name;       // its name there
  struct stat seen;            // the entry as it was seen: only that very file is overwritten
};

// EraseFile for an entry of an open folder. Deleting goes through the folder's handle, and an
// overwrite opens only the regular file that `seen` describes.
[[nodiscard]] EraseResult EraseTargetFile(const EraseTarget& target, Overwrite overwrite,
                                          WipePattern pattern, const CancelCheck& cancel);

// WaipFile for an entry of an open folder; with `seen`, only that very file is overwritten.
// `path` names it for the fault seam.
[[nodiscard]] std::uint64_t WaipFileIn(const FolderHandle& folder, std::string_view name,
                                       const struct stat* seen, std::string_view path,
                                       WipePattern pattern, const CancelCheck& cancel);

// EraseFileList's loop over `count` files: `eraseAt(i)` erases the i-th and `pathAt(i)` names
// it for the tally. A file that failed without being left for the next start is told to the
// tally as not erased.
template <typename EraseAt, typename PathAt>
[[nodiscard]] bool EraseInBatches(std::size_t count, EraseAt&& eraseAt, PathAt&& pathAt,
                                  const CancelCheck& cancel, DeletionTally* tally) {
  constexpr std::uint32_t kBatchFiles = 20;
  TallyRecord batch;
  std::uint32_t handled = 0;  // files since the last batch went out
  bool allErased = true;
  for (std::size_t i = 0; i < count; ++i) {
    if (cancel) {
      if (handled == kBatchFiles) {
        if (tally != nullptr) tally->AddDone(batch);
        batch = {};
        handled = 0;
        if (cancel()) {
          allErased = false;
          break;
        }
      }
    } else if (tally != nullptr && batch.items == kBatchFiles) {
      tally->AddDone(batch);
      batch = {};
    }
    const EraseResult result = eraseAt(i);
    ++handled;
    if (result > 0) {
      ++batch.items;
      batch.bytes += ErasedBytes(result);
      continue;
    }
    allErased = false;
    if (tally != nullptr) {
      if (result == kEraseAtRestart) {
        tally->AddScheduledAtRestart(pathAt(i));
      } else if (EraseFailed(result)) {
        tally->AddFailed({1, 0});
      }
    }
    if (cancel && cancel()) break;
  }
  if (tally != nullptr) tally->AddDone(batch);
  return allErased;
}

}  // namespace corvane
