#pragma once
// The Internet Explorer side of the browser cleaners over the URL cache: finding the cache,
// cookie and history entries of the profile, filed by domain, and erasing the domains chosen.

#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/plugin_id.h"
#include "engine/progress_reporter.h"

namespace corvane {

enum class UrlCacheMode : int {
  History = 0,  // "visited:" entries, by the domain of the URL after the user name
  Cookies = 1,  // "cookie:" entries, by the cookie's host
  Cache = 2,    // every other entry, by the domain of its URL
};

// Adds the mode's entries to `result` (browser = Internet Explorer). Every 100 entries the
// enumeration asks `progress` (may be null) whether to stop and reports one more ".".
// Finished (also for an empty cache), Failed when the cache could not be read (traced, with the
// container file and the reason), Cancelled.
[[nodiscard]] PluginResult EnumerateUrlCache(UrlCacheMode mode, BrowserScanResult& result,
                                             ProgressReporter* progress);

// Erases the entries of every Selected domain: each local file is overwritten first when
// `overwrite` is on, then the entry is deleted with its file. A domain whose entries all went is
// Erased, one where any failed is Failed (traced); either way its entries are dropped and its
// items and size reach `tally` (may be null), as done or as failed. Before every sixth Selected
// domain `progress` is asked whether to stop (Cancelled) and reports one more ".".
[[nodiscard]] PluginResult UpdateIECache(BrowserScanResult& result, bool overwrite,
                                         ProgressReporter* progress, DeletionTally* tally);

}  // namespace corvane
