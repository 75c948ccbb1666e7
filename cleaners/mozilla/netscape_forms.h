#pragma once
// The stored form and password data of the Mozilla suite's and Netscape 4's profiles: the signon
// file and the wallet file that the preferences "signon.SignonFileName" and
// "wallet.SchemaValueFileName" name, in "user.js" and then "prefs.js". A value names a file of the
// profile folder; one that would lead out of it is passed over.

#include "engine/browser_scan_result.h"
#include "engine/erase_file.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Counts the hosts of every named file into the result (browser code 2): in a signon file each
// "http://" (then a "www." skipped) up to the next line feed, in a wallet file each line that
// begins with "www." (skipped) up to the next "/" or line feed. A file named by both preference
// files counts twice. Reports one more "." per profile. 1 done; 0 when a discovery failed or the
// run was cancelled.
[[nodiscard]] int GetNetscapeFormStorageData(BrowserScanResult& result, ProgressReporter& progress);

// Deletes every named file (overwritten first when asked). 1 done; 0 when a discovery failed or
// a file could not be deleted.
[[nodiscard]] int DeleteNetscapeFormStorageData(Overwrite overwrite);

}  // namespace corvane
