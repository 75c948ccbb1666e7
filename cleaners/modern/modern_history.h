#pragma once
// The history of today's browsers, per host: the visited pages of Firefox's "places.sqlite" and
// the Chromium family's "History" (with its downloads list), the site permissions Firefox keeps,
// Chromium's address-bar shortcuts and top sites. A page is filed under its host key, so the
// same host reads the same in every store; local files and other addresses without a host are
// filed under their scheme ("file:"). The session files (open and recently closed tabs) are read
// for the hosts they name and go whole or not at all. The Chromium family's "Preferences" is
// only read: a row tells how many sites its site settings still name.

#include <string_view>

#include "cleaners/modern/modern_store.h"
#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/progress_reporter.h"

namespace corvane {

class ModernHistory : public ModernStoreCleaner {
 public:
  // Counts the entries of every profile's history databases into `results` (a result per
  // browser that has some or a failed database). A database that cannot be read becomes a
  // failure record of its browser and is never changed. False when cancelled.
  [[nodiscard]] bool Scan(BrowserResults& results, ProgressReporter& progress);

  // Removes the Selected hosts' entries, each database in one transaction, then compacted. A
  // host is Erased when every database holding it was changed; a database that is in use or
  // fails keeps everything and its Selected hosts become Failed. The tally hears how many
  // entries went. False when cancelled (what was done stays done).
  [[nodiscard]] bool Erase(BrowserResults& results, ProgressReporter& progress,
                           DeletionTally* tally);

 private:
  [[nodiscard]] bool ScanSessions(const ModernProfile& profile, BrowserResults& results,
                                  ProgressReporter& progress);
  void EraseSessions(const ModernProfile& profile, const BrowserScanResult& result,
                     ModernErase& erase, ProgressReporter& progress, DeletionTally* tally);
  void NoteSiteSettings(const ModernProfile& profile, BrowserResults& results);
};

}  // namespace corvane
