#pragma once
// The disk caches of today's browsers, counted and erased as files: Firefox's "cache2" (in the
// local twin of each profile, or inside a profile kept outside the Firefox folder), and the
// Chromium family's "Cache\Cache_Data" (or the older "Cache"), "Code Cache\js" and "Code
// Cache\wasm", each entry filed under the host of the URL its key names. The GPU caches
// ("GPUCache", "DawnCache", ...) hold no URLs: they are one pseudo-domain per browser, as are the
// entries whose key cannot be read or names no host.
//
// An erase deletes the Selected hosts' entry files (a Chromium entry's "_1" and "_s" companions
// with it) as the file toolkit deletes any file, overwritten first when asked. A cache that lost
// entries also loses its index files: the browsers rebuild an index that is missing by reading
// the folder, while a stale one could keep naming entries that are gone.

#include <string_view>

#include "cleaners/modern/modern_store.h"
#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/erase_file.h"
#include "engine/progress_reporter.h"

namespace corvane {

// The pseudo-domains: a browser's GPU caches, and the entries that name no host.
inline constexpr char kGpuCacheDomain[] = "GPUCache";
inline constexpr char kOtherCacheDomain[] = "Other";

class ModernCache : public ModernStoreCleaner {
 public:
  // Counts the cache entries of every profile found into `results` (a result per browser that
  // has entries or a failed cache): one item per entry, its size that of all its files. A cache
  // folder that is a link, or cannot be read, becomes a failure record of its browser. False
  // when cancelled.
  [[nodiscard]] bool Scan(BrowserResults& results, ProgressReporter& progress);

  // Deletes the entry files of the Selected domains of today's browsers. A domain is Erased when
  // every one of its files went (or had gone already); a cache whose browser runs with it is left
  // alone, its domains Failed. The tally hears every file. False when cancelled (what was done
  // stays done).
  [[nodiscard]] bool Erase(BrowserResults& results, Overwrite overwrite, ProgressReporter& progress,
                           DeletionTally* tally);
};

}  // namespace corvane
