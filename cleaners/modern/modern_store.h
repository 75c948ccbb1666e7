#pragma once
// What the stores of today's browsers share: the profiles to look into, the host key a URL is
// filed under, and the failure records a database that cannot be read or changed leaves on the
// page. Each store (cookies, cache, history, forms) scans into per-browser results keyed by host
// and erases the Selected hosts database by database.

#include <sqlite3.h>

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cleaners/modern/modern_profiles.h"
#include "cleaners/modern/sqlite_store.h"
#include "engine/browser_scan_result.h"

namespace corvane {

// Every Firefox and Chromium-family profile of the prefix.
[[nodiscard]] std::vector<ModernProfile> AllModernProfiles();

// A text column of the current row; empty for NULL.
[[nodiscard]] std::string_view ColumnText(sqlite3_stmt* row, int column);

// The key of a stored host: without a leading ".", "www." or "ftp.", so that the domain lists and
// every store of a browser file a host the same way.
[[nodiscard]] std::string HostKey(std::string_view host);

// The host key of an http, https or ftp URL ("http://user@WWW.Beta.Test:8080/x" gives
// "beta.test"): the host parsed out of the authority, lower-cased, without its port. Empty for
// any other scheme (about:, file:, data:, extensions) and for a URL without a host.
[[nodiscard]] std::string UrlHostKey(std::string_view url);

// The hosts a browser's results hold that are failure records (a database that could not be read
// or changed, named after its file and why), not domains.
class ModernFailures {
 public:
  using Key = std::pair<BrowserCode, std::string>;

  // Adds a failure record of the file to the browser's result.
  void Add(BrowserResults& results, BrowserCode browser, const std::string& file,
           SqliteStatus status);
  // The same with its own reason (for a store that is no database).
  void Add(BrowserResults& results, BrowserCode browser, const std::string& file,
           std::string_view why);
  [[nodiscard]] bool Contains(BrowserCode browser, std::string_view key) const;
  // Removes the records from the results and forgets them: an erase looks at every database
  // again, and what fails then is recorded anew.
  void DropFrom(BrowserResults& results);
  void Clear() { keys_.clear(); }

 private:
  std::set<Key, std::less<>> keys_;
};

// The end of an erase of today's browsers: every Selected host is Erased (its entries gone) unless
// it is in `failed`, then Failed; each result is recounted.
void SettleModernErase(BrowserResults& results, const std::set<ModernFailures::Key>& failed);

}  // namespace corvane
