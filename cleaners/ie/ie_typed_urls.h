#pragma once
// The addresses typed into Internet Explorer's address bar: HKCU
// "SOFTWARE\Microsoft\Internet Explorer\TypedURLs", one value ("url1", "url2", ...) per address.

#include "engine/browser_scan_result.h"
#include "engine/plugin_id.h"

namespace corvane {

inline constexpr char kTypedUrlsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs";

// Files every value under its address (the data, as typed) with the value's name as the entry's
// URL (browser = the typed-URL list). Failed when the key cannot be opened.
[[nodiscard]] PluginResult ScanTypedUrls(BrowserScanResult& result);

// Deletes the values of every domain of the result, whatever its status (an address typed twice
// has two): Erased when every one was deleted,
// Failed otherwise. Always Finished (a missing key leaves the statuses alone).
PluginResult EraseTypedUrls(BrowserScanResult& result);

}  // namespace corvane
