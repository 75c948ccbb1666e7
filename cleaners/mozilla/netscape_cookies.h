#pragma once
// The cookies of the Mozilla family's profiles: counted per domain for the scan, taken out of
// each profile's "cookies.txt" for the erase.

#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/erase_file.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Counts every profile's cookies into the result (browser code 2). Reports an empty text, then
// one more "." per profile. False when a discovery failed, a file could not be read, or the run
// was cancelled; a file that cannot be opened is traced and passed over.
[[nodiscard]] bool GetNetscapeCookies(BrowserScanResult& result, ProgressReporter& progress);

// Removes from every profile's "cookies.txt" the cookies of the Selected domains and of domains
// the result does not know; the tally hears how many went. 1 when every profile was done (the
// Selected domains are then Erased), 0 when something failed or the run was cancelled (the
// statuses stay).
[[nodiscard]] int UpdateNetscapeCookies(BrowserScanResult& result, Overwrite overwrite,
                                        ProgressReporter& progress, DeletionTally* tally);

}  // namespace corvane
