#pragma once
// The history of the Mozilla family's profiles: "history.dat" (a Mork database) searched for the
// hosts of its URLs for the scan, deleted whole for the erase.

#include <cstdint>

#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"
#include "platform/file_handle.h"

namespace corvane {

// Counts the URLs of the file into the result: every "http://", "https://", "ftp://" and
// "news://" in the bytes adds 1 to the record of the host that follows (up to the next "/", at
// most 259 characters, bytes that are not UTF-8 read as U+FFFD). False when a read failed.
[[nodiscard]] bool CountHistoryUrls(FileHandle& file, BrowserScanResult& result);

// Counts every profile's history into the result (browser code 2). Reports an empty text, then one
// more "." per profile. 1 done; 0 when a discovery failed, a file could not be opened or read, or
// the run was cancelled. A profile without "history.dat" is passed over.
[[nodiscard]] int GetNetscapeHistory(BrowserScanResult& result, ProgressReporter& progress);

// Deletes every profile's "History.dat", overwritten first; adds the bytes deleted to `bytes`.
// 1 done; 0 when a file could not be deleted.
[[nodiscard]] int DeleteNetscapeHistory(std::uint64_t& bytes);

}  // namespace corvane
