#pragma once
// What the file-removal routines share inside the engine: erasing one file whose attributes and
// size a listing may already know, and the batched loop over a list of files.

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/erase_file.h"
#include "platform/file_status.h"

namespace corvane {

struct EraseTarget {
  std::string_view path;  // as the caller names it: what a restart deletes
  std::string_view host;  // where the file calls go: the same file, resolved once
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // as a listing saw them, if one did
  std::optional<std::uint64_t> size;           // likewise
};

// EraseFile for a file whose path is already resolved.
[[nodiscard]] EraseResult EraseTargetFile(const EraseTarget& target, Overwrite overwrite,
                                          WipePattern pattern, const CancelCheck& cancel);

// EraseFileList's loop over `count` files: `eraseAt(i)` erases the i-th and `pathAt(i)` names
// it for the tally.
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
    if (result == kEraseAtRestart && tally != nullptr) tally->AddScheduledAtRestart(pathAt(i));
    if (cancel && cancel()) break;
  }
  if (tally != nullptr) tally->AddDone(batch);
  return allErased;
}

}  // namespace corvane
