#pragma once
// Deleting files one by one or as a list: each file is (optionally) overwritten first, deleted,
// and registered for deletion at the next system start when it cannot be deleted now.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/deletion_tally.h"
#include "engine/waip_file.h"

namespace corvane {

// Whether files are overwritten before they are deleted (the user's "Owerwrite" option, or a
// custom plug-in's own choice).
enum class Overwrite : bool { Off = false, On = true };

// What EraseFile did:
//   0 (kEraseNothing): nothing was deleted and nothing scheduled: the file does not exist (a path
//     with a link on its way names nothing), the run was cancelled while it was being
//     overwritten, or it failed and could not be registered for the next start either
//     (EraseFailed tells these apart);
//  -1 (kEraseAtRestart): it could not be deleted now and is registered for deletion at the next
//     system start (the caller may offer a restart);
//   n > 0: it was deleted and held n - 1 bytes (an empty file gives 1).
using EraseResult = std::int64_t;
inline constexpr EraseResult kEraseNothing = 0;
inline constexpr EraseResult kEraseAtRestart = -1;

// The bytes a deleted file held; 0 for the other results.
[[nodiscard]] constexpr std::uint64_t ErasedBytes(EraseResult result) {
  return result > 0 ? static_cast<std::uint64_t>(result - 1) : 0;
}

// True when a 0 from EraseFile (or an erase of a set) was a failure: the file is still there and
// nothing was scheduled. Asked at once after the call: it reads the last error.
[[nodiscard]] bool EraseFailed(EraseResult result);

// Deletes one file (any path), overwriting it first when asked. A symbolic link is deleted as a
// link: it has no bytes of its own to overwrite, and its target is never opened. A file that has
// other hard links shares its bytes with them: its name is deleted without an overwrite (the
// trace log says so). A path longer than 260 characters is refused (0).
[[nodiscard]] EraseResult EraseFile(std::string_view path, Overwrite overwrite, WipePattern pattern,
                                    const CancelCheck& cancel);

// Erases the files in order. The tally hears the erased files and bytes in batches of 20 files
// (and the rest at the end), of each file left for the next system start, and of each file that
// failed otherwise (AddFailed, one item). With `cancel`,
// the run is asked whether to stop before every 20th file and after every failure. True when
// every file was deleted.
[[nodiscard]] bool EraseFileList(const std::vector<std::string>& files, Overwrite overwrite,
                                 WipePattern pattern, const CancelCheck& cancel,
                                 DeletionTally* tally);

}  // namespace corvane
