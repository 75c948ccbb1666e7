#pragma once
// The cookies of today's browsers: Firefox's "cookies.sqlite" (`moz_cookies`) and the Chromium
// family's "Network\Cookies" or older "Cookies" (`cookies`). Counted per host for the scan and
// deleted per host for the erase; a cookie's value is never read (Chromium's are encrypted
// anyway). A host is keyed as the Mozilla family's "cookies.txt" keys its domains (HostKey), so
// the domain lists match both the same way, exactly.

#include <string_view>

#include "cleaners/modern/modern_store.h"
#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/progress_reporter.h"

namespace corvane {

class ModernCookies : public ModernStoreCleaner {
 public:
  // Counts the cookies of every profile found into `results` (a result per browser that has
  // cookies or a failed database). A database that cannot be read becomes a failure record of
  // its browser, named after the file and why; it is never changed. False when cancelled.
  [[nodiscard]] bool Scan(BrowserResults& results, ProgressReporter& progress);

  // Deletes the cookies of the Selected domains of today's browsers, database by database. A
  // domain is Erased when every database holding it was changed; a database that is in use or
  // fails keeps all its rows and its domains become Failed. The tally hears how many cookies
  // went. False when cancelled (what was done stays done).
  [[nodiscard]] bool Erase(BrowserResults& results, ProgressReporter& progress,
                           DeletionTally* tally);
};

}  // namespace corvane
