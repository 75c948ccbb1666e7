#pragma once
// How the Mozilla-family scans count what they find: one more item in the record of a host or
// domain, the record made when it is new. Nothing is kept per item.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/browser_scan_result.h"

namespace corvane {

// The record named `key` (status Found, no items, when new), so the caller can count into it.
[[nodiscard]] DomainRecord& FindOrAddDomain(BrowserScanResult& result, std::string_view key);

// Counts an entry of the domain in, shown by its text (a cookie's domain field, an address); the
// first few hundred are kept for the details page.
void CountShownEntry(DomainRecord& record, std::string text);

// Bytes read from a browser file as the wide text Windows would hold in a buffer of
// `maxUnits` + 1 UTF-16 units: decoded as UTF-8 (what is not UTF-8 reads as U+FFFD) and cut
// after `maxUnits` units.
[[nodiscard]] std::string WideText(std::string_view bytes, std::size_t maxUnits);

}  // namespace corvane
