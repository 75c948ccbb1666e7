#pragma once
// One store of form data or saved logins of today's browsers, opened for a scan or an erase:
// Firefox's "formhistory.sqlite" (`moz_formhistory`, filed under the site it was typed on when
// `moz_sources` says so, else under its field name), "logins.json" (and the browser's own backup
// of it) and the old "signons.sqlite" (`moz_logins`); the Chromium family's "Web Data"
// (`autofill` by field name, and the search engines the browser made by itself from forms in
// `keywords`, by site) and "Login Data" (`logins`, also in "Login Data For Account").
//
// Saved logins are filed apart from form entries (SavedLoginsKey), so that a page shows them as
// what they are. Only where a login was saved is ever read: never a user name or a password.
// Form values are not read either: a row shows its field name.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cleaners/modern/logins_file.h"
#include "cleaners/modern/logins_json.h"
#include "cleaners/modern/modern_profiles.h"
#include "cleaners/modern/sqlite_store.h"
#include "engine/browser_scan_result.h"

namespace corvane {

enum class FormFile { FormHistory, LoginsJson, LoginsBackup, Signons, WebData, LoginData };

struct FormFileName {
  std::string path;  // machine path
  FormFile kind = FormFile::FormHistory;
};

// The stores a profile may hold.
[[nodiscard]] std::vector<FormFileName> FormFiles(const ModernProfile& profile);

// The key the saved logins of a host are filed under ("saved logins: shop.test"), and the host
// of such a key (none for any other key).
[[nodiscard]] std::string SavedLoginsKey(std::string_view host);
[[nodiscard]] std::optional<std::string_view> SavedLoginsHost(std::string_view key);

// A row found: the key it is filed under and what the page shows of it.
struct FormRow {
  std::size_t table = 0;  // which of the store's tables
  std::int64_t id = 0;    // its row there
  std::string key;
  DomainEntry entry;
};

class FormStore {
 public:
  // Opens the store and learns its layout: Missing, Refused, Corrupt (damaged or no JSON),
  // Schema (a table or column it must have is missing), Failed, or Ok.
  [[nodiscard]] SqliteStatus Open(const FormFileName& name, SqliteAccess access);

  // Hands every row that is filed somewhere to `row`; its answer false stops early (Ok still).
  [[nodiscard]] SqliteStatus List(const std::function<bool(FormRow&)>& row);

  // Removes the rows listed with these (table, id) pairs, all in one change; nothing changes
  // unless all go.
  [[nodiscard]] SqliteStatus Remove(const std::vector<std::pair<std::size_t, std::int64_t>>& rows);

  // One table of a database: the query (row id first), how a row is filed (none: passed over),
  // and the statements that remove a row (each with one "?" for its id), in order.
  struct Table {
    std::string query;
    std::function<std::optional<FormRow>(sqlite3_stmt*)> file;
    std::vector<std::string> removals;
  };

 private:
  FormFile kind_ = FormFile::FormHistory;
  SqliteStore db_;
  std::vector<Table> tables_;
  std::vector<std::string> cleanups_;  // run once after the removals
  LoginsFile file_;
  LoginsJson json_;
};

}  // namespace corvane
