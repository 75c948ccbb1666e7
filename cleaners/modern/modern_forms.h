#pragma once
// The form data and saved-login sites of today's browsers (FormStore names the stores), counted
// per field name or site for the scan and removed per Selected record for the erase. A record of
// saved logins (SavedLoginsKey) stands apart from the form entries so that a page shows, and an
// erase chooses, them as what they are.

#include <string_view>

#include "cleaners/modern/modern_store.h"
#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/progress_reporter.h"

namespace corvane {

class ModernForms : public ModernStoreCleaner {
 public:
  // Counts the entries of every profile found into `results` (a result per browser that has some
  // or a store that failed). A store that cannot be read becomes a failure record of its browser,
  // named after the file and why; it is never changed. False when cancelled.
  [[nodiscard]] bool Scan(BrowserResults& results, ProgressReporter& progress);

  // Removes the entries of the Selected records of today's browsers, store by store, each store
  // in one change (Firefox's backup of its logins too). A record is Erased when every store
  // holding it was changed; a store in use or failing keeps all its entries and its records
  // become Failed. The tally hears how many entries went. False when cancelled (what was done
  // stays done).
  [[nodiscard]] bool Erase(BrowserResults& results, ProgressReporter& progress,
                           DeletionTally* tally);
};

}  // namespace corvane
