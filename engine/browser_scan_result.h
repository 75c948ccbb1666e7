#pragma once
// What the browser cleaners find, per browser and per domain, and the rows their pages show.
// The back-ends fill a BrowserScanResult during a scan and update it in place during an erase;
// the cleaner turns its results into DomainRows for the details and report pages.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Which store a result came from. The history cleaner adds the typed-URL list; the SQLite-based
// browsers of today follow it. Any other value is shown as unknown.
enum class BrowserCode : std::int32_t {
  InternetExplorer = 1,
  Mozilla = 2,
  TypedUrls = 3,
  Firefox = 4,
  Chrome = 5,
  Edge = 6,
  Brave = 7,
  Chromium = 8,
  Steam = 9,
  EpicGames = 10,
};

// "Internet Explorer", "Mozilla", "Firefox", "Chrome", "Edge", "Brave", "Chromium", "Steam",
// "Epic Games Launcher", or "Unknown" for every other code.
[[nodiscard]] std::string_view BrowserName(BrowserCode code);

enum class DomainStatus : std::int32_t { Found = 0, Selected = 1, Failed = 2, Erased = 3 };

// Where the cookies cleaner found a domain: on neither domain list (gray), on the blacklist, or on
// the whitelist. Other cleaners leave every domain gray.
enum class ListState : std::int32_t { Gray = 0, Blacklisted = 1, Whitelisted = 2 };

// One stored trace: a cache entry, cookie, history entry or form value.
struct DomainEntry {
  std::string url;        // key or URL (a cache entry's source URL)
  std::string localFile;  // may be empty
  std::uint32_t size = 0;
  std::uint32_t hits = 0;
  std::uint64_t lastAccess = 0;  // FILETIME
};

// The traces of one domain. Counts are 32-bit, as the pages show them: they wrap. The size is
// 64-bit: a domain's cache files (the Mozilla caches are one domain) may pass 4 GiB.
struct DomainRecord {
  DomainStatus status = DomainStatus::Found;
  std::string name;
  std::uint32_t itemCount = 0;
  std::uint32_t hitTotal = 0;
  std::uint64_t size = 0;
  std::uint64_t lastAccess = 0;  // the latest of the entries'
  // What an erase removes; emptied once it has been processed. A back-end that erases whole files
  // or domains keeps only the first few, to show them.
  std::vector<DomainEntry> entries;
  ListState listState = ListState::Gray;

  // Counts the entry in and keeps it.
  void Add(DomainEntry entry);
};

struct BrowserScanResult {
  BrowserCode browser = BrowserCode::InternetExplorer;
  // Keyed by the domain as the back-end names it, in plain byte order (letter case matters).
  std::map<std::string, DomainRecord, std::less<>> domains;
  bool blacklistedOnly = false;  // "DeleteBlListOnly" when the erase started
  bool overwrite = false;        // "Owerwrite" when the erase started
  std::uint64_t items = 0;
  std::uint64_t size = 0;

  // Adds an entry to the domain's record (made, named after the key, when new) and to the
  // result's totals.
  void AddEntry(std::string_view domain, DomainEntry entry);
  // Sets the totals from the records, as an erase leaves them (what remains).
  void Recount();
};

using BrowserResults = std::map<BrowserCode, BrowserScanResult>;

// One line of a domain table. The cache cleaner shows name, items, size, browser and status; the
// other browser cleaners use hits and the last access instead of some of them.
struct DomainRow {
  std::string name;
  std::uint32_t itemCount = 0;
  std::uint64_t size = 0;
  std::uint32_t hitTotal = 0;
  std::uint64_t lastAccess = 0;
  BrowserCode browser = BrowserCode::InternetExplorer;
  DomainStatus status = DomainStatus::Found;
  ListState listState = ListState::Gray;
};

// The column a cleaner's rows are ordered by, largest first.
enum class DomainSortColumn { Size, ItemCount, HitTotal };

// One row per domain: the results in key order, each result's domains in map order, then sorted
// (not stably: equal rows come in no particular order) by the column, largest first. A row's
// browser is the key of the result it came from.
[[nodiscard]] std::vector<DomainRow> BuildDomainRows(const BrowserResults& results,
                                                     DomainSortColumn column);

}  // namespace corvane
