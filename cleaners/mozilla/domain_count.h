#pragma once
// How the Mozilla-family scans count what they find: one more item in the record of a host or
// domain, the record made when it is new. Only a record's first few hundred items are kept, to
// show what goes.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/browser_scan_result.h"
#include "engine/domain_pages.h"

namespace corvane {

// The record named `key` (status Found, no items, when new), so the caller can count into it.
[[nodiscard]] DomainRecord& FindOrAddDomain(BrowserScanResult& result, std::string_view key);

// Counts an entry of the domain in. The first few hundred are kept for the details page, shown
// by the text `makeText` answers (a cookie's domain field, an address), made only for those: a
// store of a million lines costs no million strings.
template <typename MakeText>
void CountShownEntry(DomainRecord& record, MakeText&& makeText) {
  if (record.entries.size() >= kShownDomainEntries) {
    ++record.itemCount;
    return;
  }
  DomainEntry entry;
  entry.url = makeText();
  record.Add(std::move(entry));
}

// Bytes read from a browser file as the wide text Windows would hold in a buffer of
// `maxUnits` + 1 UTF-16 units: decoded as UTF-8 (what is not UTF-8 reads as U+FFFD) and cut
// after `maxUnits` units.
[[nodiscard]] std::string WideText(std::string_view bytes, std::size_t maxUnits);

}  // namespace corvane
