#pragma once
// The caches of the Mozilla family's profiles: the files directly in each profile's "Cache" and
// "Cache.Trash" folders (their sub-folders are left alone).

#include <cstdint>

#include "engine/deletion_tally.h"
#include "engine/erase_file.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Adds each cache file's size to `bytes` and 1 to `files`. Reports an empty text, then one more
// "." per profile. False when a discovery failed or the run was cancelled.
[[nodiscard]] bool GetNetscapeCache(std::uint64_t& bytes, std::uint32_t& files,
                                    ProgressReporter& progress);

// Erases the cache files (overwritten first when asked), one more "." per folder; the tally hears
// them as they go. False when a discovery failed, a file was not deleted, or the run was
// cancelled.
[[nodiscard]] bool DeleteNetscapeCache(Overwrite overwrite, ProgressReporter& progress,
                                       DeletionTally* tally);

}  // namespace corvane
