#pragma once
// What the stores of today's browsers share: the profiles to look into, the host key a URL is
// filed under, the failure records a database that cannot be read or changed leaves on the page,
// and the walk every store file takes: a scan lists it whole into its browser's result or records
// why not, an erase changes it in one go or fails the Selected hosts it may hold.

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cleaners/modern/modern_profiles.h"
#include "cleaners/modern/sqlite_store.h"
#include "engine/browser_scan_result.h"
#include "engine/deletion_tally.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Every Firefox and Chromium-family profile of the prefix, launchers' included.
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
  // The same with the reason in words (for what is no database).
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

// What a cleaner of today's browsers' stores keeps from its last scan or erase to the next: which
// records of its results are failure records.
class ModernStoreCleaner {
 public:
  // Whether a record of the browser is a failure record (a file or folder that could not be read
  // or changed, named after it and why), not a host, field or site it found.
  [[nodiscard]] bool IsFailure(BrowserCode browser, std::string_view key) const {
    return failures_.Contains(browser, key);
  }

 protected:
  ModernFailures failures_;
};

// The end of an erase of today's browsers: every Selected host is Erased (its entries gone) unless
// it is in `failed`, then Failed; each result is recounted.
void SettleModernErase(BrowserResults& results, const std::set<ModernFailures::Key>& failed);

// Takes one entry of a store filed under its key; the answer false stops the listing (cancel).
using ModernEntrySink = std::function<bool(const std::string& key, DomainEntry entry)>;

// A scan of the stores of today's browsers, file by file; it starts with no failure records.
class ModernScan {
 public:
  ModernScan(BrowserResults& results, ModernFailures& failures, ProgressReporter& progress);

  // Lists one store file into the browser's result: `open` opens it for reading, `list` hands
  // each of its entries to the sink. A missing file is passed over; one that cannot be read to
  // the end becomes a failure record instead, since half a store is no count. False when
  // cancelled.
  [[nodiscard]] bool Store(BrowserCode browser, const std::string& file,
                           const std::function<SqliteStatus()>& open,
                           const std::function<SqliteStatus(const ModernEntrySink&)>& list);

 private:
  BrowserResults& results_;
  ModernFailures& failures_;
  ProgressReporter& progress_;
};

// What the change of one store file did: whether it listed all its rows (then `keys` are the
// Selected keys it holds) and how many entries went.
struct ModernStoreChange {
  bool listed = false;
  bool cancelled = false;  // stopped while listing: nothing was changed
  std::set<std::string, std::less<>> keys;
  std::uint32_t items = 0;
};

// An erase of the Selected keys of today's browsers, store file by store file. It starts by
// dropping the failure records of the last scan or erase (every file is looked at again), and
// Settle ends it: a key is Erased when every file holding it was changed.
class ModernErase {
 public:
  ModernErase(BrowserResults& results, ModernFailures& failures, ProgressReporter& progress,
              DeletionTally* tally);

  // The browser's result, or null when there is nothing of it to erase.
  [[nodiscard]] BrowserScanResult* ResultOf(BrowserCode browser);
  [[nodiscard]] static bool IsSelected(const BrowserScanResult& result, const std::string& key);

  // Erases from one store file: `open` opens it for change or says why not (Missing passes it
  // over); `change` lists the rows of the Selected keys and removes them in one change. A file
  // that fails keeps everything, gets a failure record, and its Selected keys fail (all of them
  // unless it was listed). The tally hears the entries that went. False when cancelled.
  [[nodiscard]] bool Store(BrowserCode browser, const std::string& file,
                           const std::function<SqliteStatus()>& open,
                           const std::function<SqliteStatus(ModernStoreChange&)>& change);

  // Records that the file stays as it is, and why: the browser's Selected keys it holds fail, or
  // all of them when it could not be read.
  void Fail(BrowserCode browser, const std::string& file, std::string_view why, bool unread,
            const std::set<std::string, std::less<>>& keys);

  // Every Selected key becomes Erased, or Failed when a file holding it failed.
  void Settle() { SettleModernErase(results_, failed_); }

 private:
  BrowserResults& results_;
  ModernFailures& failures_;
  ProgressReporter& progress_;
  DeletionTally* tally_;
  std::set<ModernFailures::Key> failed_;
};

}  // namespace corvane
