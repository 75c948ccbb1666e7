#pragma once
// Overwriting a file in place before it is deleted, so that its old contents cannot be read back
// from the disk. The file keeps its name and size; only its bytes change, and they are on the disk
// (not just in the page cache) before the call returns.

#include <cstdint>
#include <string_view>

#include "engine/deletion_tally.h"

namespace corvane {

// What the overwrite writes; each cleaner picks one per call.
enum class WipePattern : int {
  WipeOnes = 0,    // every byte 0xFF
  WipeRandom = 1,  // a pseudo-random byte (the C library's rand()) then a zero byte, repeated
};

// Overwrites the file from its start to its end. The random pattern repeats a 256-byte run of
// rand() values (4,096 bytes for files of 4,352 to 69,631 bytes), exactly as writing that run
// again and again would lay it down. Answers the file's size + 1 once every byte has been
// overwritten and synced, and 0 when the file could not be opened for writing (missing,
// read-only, a symbolic link, not a regular file, a link on the way to it), when it has other
// hard links (its bytes are theirs too), when a write or the sync failed, or when
// `cancel` said stop: it is asked about every 150,000 bytes of files larger than that. An empty
// `cancel` never stops the pass.
[[nodiscard]] std::uint64_t WaipFile(std::string_view path, WipePattern pattern,
                                     const CancelCheck& cancel);

}  // namespace corvane
