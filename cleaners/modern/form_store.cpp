#include "cleaners/modern/form_store.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "cleaners/modern/modern_store.h"

namespace corvane {

namespace {

constexpr std::string_view kSavedLogins = "saved logins: ";
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

// FILETIME of a time counted from 1970 in units of `ticks` hundred nanoseconds; 0 when unknown.
std::uint64_t FileTimeSince1970(std::int64_t count, std::uint64_t ticks) {
  if (count <= 0) return 0;
  return kUnixEpochTicks + static_cast<std::uint64_t>(count) * ticks;
}

std::uint32_t Count(sqlite3_stmt* row, int column) {
  const std::int64_t count = sqlite3_column_int64(row, column);
  return count <= 0 ? 0 : static_cast<std::uint32_t>(count);
}

bool Has(SqliteStore& db, std::string_view table, std::initializer_list<std::string_view> columns) {
  return db.CheckColumns(table, columns) == SqliteStatus::Ok && columns.size() > 0;
}

// The site a saved login belongs to: its page, else where its form went. Empty for a login of
// the browser itself (Firefox keeps its account under "chrome://"), which is never filed.
std::string LoginHost(std::string_view page, std::string_view submit) {
  std::string host = UrlHostKey(page);
  return host.empty() ? UrlHostKey(submit) : host;
}

// Firefox files where a value came from in `moz_sources`: the page's host or origin in the
// releases that fill it in. Anything that is no host (a name of some other source) files the
// value by its field instead.
std::string SourceHost(std::string_view source) {
  if (source.empty()) return {};
  std::string host = source.find("://") != std::string_view::npos
                         ? UrlHostKey(source)
                         : UrlHostKey("http://" + std::string(source));
  const bool valid = std::all_of(host.begin(), host.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_' || c == '[' || c == ']' ||
           c == ':';
  });
  return valid ? host : std::string();
}

SqliteStatus PlanFormHistory(SqliteStore& db, std::vector<FormStore::Table>& tables,
                             std::vector<std::string>& cleanups) {
  if (const SqliteStatus status =
          db.CheckColumns("moz_formhistory", {"id", "fieldname", "timesUsed", "lastUsed"});
      status != SqliteStatus::Ok) {
    return status;
  }
  const bool sources = Has(db, "moz_sources", {"id", "source"}) &&
                       Has(db, "moz_history_to_sources", {"history_id", "source_id"});
  FormStore::Table table;
  table.query =
      "SELECT f.id, f.fieldname, f.timesUsed, f.lastUsed, " +
      std::string(sources ? "(SELECT s.source FROM moz_history_to_sources h JOIN moz_sources s "
                            "ON s.id = h.source_id WHERE h.history_id = f.id ORDER BY s.id "
                            "LIMIT 1)"
                          : "NULL") +
      " FROM moz_formhistory f";
  table.file = [](sqlite3_stmt* row) {
    FormRow found;
    found.entry.url = ColumnText(row, 1);
    found.entry.hits = Count(row, 2);
    found.entry.lastAccess = FileTimeSince1970(sqlite3_column_int64(row, 3), 10);
    found.key = SourceHost(ColumnText(row, 4));
    if (found.key.empty()) found.key = found.entry.url;
    return std::optional<FormRow>(std::move(found));
  };
  // The browser notes what it removes itself, so that its sync removes the value everywhere
  // rather than bringing it back: an erase does the same.
  if (Has(db, "moz_deleted_formhistory", {"guid", "timeDeleted"})) {
    table.removals.emplace_back(
        "INSERT INTO moz_deleted_formhistory (guid, timeDeleted) SELECT guid, "
        "CAST(strftime('%s', 'now') AS INTEGER) * 1000000 FROM moz_formhistory WHERE id IN " +
        std::string(kBoundIds) + " AND guid IS NOT NULL");
  }
  if (sources) {
    table.removals.emplace_back("DELETE FROM moz_history_to_sources WHERE history_id IN " +
                                std::string(kBoundIds));
  }
  table.removals.emplace_back("DELETE FROM moz_formhistory WHERE id IN " + std::string(kBoundIds));
  tables.push_back(std::move(table));
  if (sources) {
    // A source no entry names any more still says where the user typed.
    cleanups.emplace_back(
        "DELETE FROM moz_sources WHERE id NOT IN (SELECT source_id FROM moz_history_to_sources)");
  }
  return SqliteStatus::Ok;
}

SqliteStatus PlanSignons(SqliteStore& db, std::vector<FormStore::Table>& tables) {
  if (const SqliteStatus status =
          db.CheckColumns("moz_logins", {"id", "hostname", "formSubmitURL"});
      status != SqliteStatus::Ok) {
    return status;
  }
  FormStore::Table table;
  table.query = "SELECT id, hostname, formSubmitURL FROM moz_logins";
  table.file = [](sqlite3_stmt* row) -> std::optional<FormRow> {
    const std::string host = LoginHost(ColumnText(row, 1), ColumnText(row, 2));
    if (host.empty()) return std::nullopt;
    FormRow found;
    found.key = SavedLoginsKey(host);
    found.entry.url = ColumnText(row, 1);
    return found;
  };
  table.removals.emplace_back("DELETE FROM moz_logins WHERE id IN " + std::string(kBoundIds));
  tables.push_back(std::move(table));
  return SqliteStatus::Ok;
}

SqliteStatus PlanWebData(SqliteStore& db, std::vector<FormStore::Table>& tables) {
  if (const SqliteStatus status = db.CheckColumns("autofill", {"name", "count", "date_last_used"});
      status != SqliteStatus::Ok) {
    return status;
  }
  if (const SqliteStatus status = db.CheckColumns(
          "keywords", {"id", "url", "safe_for_autoreplace", "prepopulate_id", "created_by_policy"});
      status != SqliteStatus::Ok) {
    return status;
  }
  FormStore::Table autofill;
  autofill.query = "SELECT rowid, name, count, date_last_used FROM autofill";
  autofill.file = [](sqlite3_stmt* row) {
    FormRow found;
    found.key = ColumnText(row, 1);
    found.entry.url = found.key;
    found.entry.hits = Count(row, 2);
    found.entry.lastAccess = FileTimeSince1970(sqlite3_column_int64(row, 3), 10'000'000);
    return std::optional<FormRow>(std::move(found));
  };
  autofill.removals.emplace_back("DELETE FROM autofill WHERE rowid IN " + std::string(kBoundIds));
  tables.push_back(std::move(autofill));

  // Only the engines the browser added by itself from a site's search form: not the ones it
  // ships (prepopulated, or its built-in starter pack), not those a policy set, not one the user
  // made or edited (no longer safe to replace), and never the default engine.
  FormStore::Table keywords;
  keywords.query =
      "SELECT id, url FROM keywords WHERE safe_for_autoreplace = 1 AND prepopulate_id = 0 AND "
      "created_by_policy = 0";
  // Later releases mark more kinds the browser or a policy brings along.
  for (const char* column :
       {"starter_pack_id", "enforced_by_policy", "featured_by_policy", "created_from_play_api"}) {
    if (Has(db, "keywords", {column})) keywords.query += " AND " + std::string(column) + " = 0";
  }
  if (Has(db, "meta", {"key", "value"})) {
    keywords.query +=
        " AND id NOT IN (SELECT CAST(value AS INTEGER) FROM meta WHERE key = 'Default Search "
        "Provider ID')";
  }
  keywords.file = [](sqlite3_stmt* row) -> std::optional<FormRow> {
    FormRow found;
    found.entry.url = ColumnText(row, 1);
    found.key = UrlHostKey(found.entry.url);
    if (found.key.empty()) return std::nullopt;
    return found;
  };
  keywords.removals.emplace_back("DELETE FROM keywords WHERE id IN " + std::string(kBoundIds));
  tables.push_back(std::move(keywords));
  return SqliteStatus::Ok;
}

SqliteStatus PlanLoginData(SqliteStore& db, std::vector<FormStore::Table>& tables) {
  if (const SqliteStatus status = db.CheckColumns("logins", {"origin_url", "signon_realm"});
      status != SqliteStatus::Ok) {
    return status;
  }
  const bool used = Has(db, "logins", {"times_used", "date_last_used"});
  FormStore::Table table;
  table.query = "SELECT rowid, origin_url, signon_realm, " +
                std::string(used ? "times_used, date_last_used" : "0, 0") + " FROM logins";
  table.file = [](sqlite3_stmt* row) -> std::optional<FormRow> {
    const std::string host = LoginHost(ColumnText(row, 1), ColumnText(row, 2));
    if (host.empty()) return std::nullopt;
    FormRow found;
    found.key = SavedLoginsKey(host);
    // The realm is the site; the page may carry a path and a query with tokens in it.
    found.entry.url = ColumnText(row, 2).empty() ? ColumnText(row, 1) : ColumnText(row, 2);
    found.entry.hits = Count(row, 3);
    const std::int64_t since1601 = sqlite3_column_int64(row, 4);  // microseconds
    found.entry.lastAccess = since1601 > 0 ? static_cast<std::uint64_t>(since1601) * 10 : 0;
    return found;
  };
  // What the browser keeps about a login beside it goes with it.
  for (const char* child : {"insecure_credentials", "password_notes"}) {
    if (Has(db, child, {"parent_id"})) {
      table.removals.push_back("DELETE FROM " + std::string(child) + " WHERE parent_id IN " +
                               std::string(kBoundIds));
    }
  }
  table.removals.emplace_back("DELETE FROM logins WHERE rowid IN " + std::string(kBoundIds));
  tables.push_back(std::move(table));
  return SqliteStatus::Ok;
}

bool IsJson(FormFile kind) {
  return kind == FormFile::LoginsJson || kind == FormFile::LoginsBackup;
}

}  // namespace

std::vector<FormFileName> FormFiles(const ModernProfile& profile) {
  const std::string& folder = profile.folder;
  if (profile.browser == BrowserCode::Firefox) {
    return {{folder + "formhistory.sqlite", FormFile::FormHistory},
            {folder + "logins.json", FormFile::LoginsJson},
            {folder + "logins-backup.json", FormFile::LoginsBackup},
            {folder + "signons.sqlite", FormFile::Signons}};
  }
  return {{folder + "Web Data", FormFile::WebData},
          {folder + "Login Data", FormFile::LoginData},
          {folder + "Login Data For Account", FormFile::LoginData}};
}

std::string SavedLoginsKey(std::string_view host) {
  return std::string(kSavedLogins) + std::string(host);
}

std::optional<std::string_view> SavedLoginsHost(std::string_view key) {
  if (!key.starts_with(kSavedLogins)) return std::nullopt;
  return key.substr(kSavedLogins.size());
}

SqliteStatus FormStore::Open(const FormFileName& name, SqliteAccess access) {
  kind_ = name.kind;
  tables_.clear();
  cleanups_.clear();
  if (IsJson(kind_)) {
    const SqliteStatus status = file_.Read(name.path, access);
    if (status != SqliteStatus::Ok) return status;
    switch (json_.Parse(file_.Text())) {
      case LoginsJsonStatus::Ok:
        return SqliteStatus::Ok;
      case LoginsJsonStatus::Invalid:
        return SqliteStatus::Corrupt;
      case LoginsJsonStatus::NoLogins:
        break;
    }
    return SqliteStatus::Schema;
  }
  if (const SqliteStatus status = db_.Open(name.path, access); status != SqliteStatus::Ok) {
    return status;
  }
  switch (kind_) {
    case FormFile::FormHistory:
      return PlanFormHistory(db_, tables_, cleanups_);
    case FormFile::Signons:
      return PlanSignons(db_, tables_);
    case FormFile::WebData:
      return PlanWebData(db_, tables_);
    case FormFile::LoginData:
    case FormFile::LoginsJson:
    case FormFile::LoginsBackup:
      break;
  }
  return PlanLoginData(db_, tables_);
}

SqliteStatus FormStore::List(const std::function<bool(FormRow&)>& row) {
  if (IsJson(kind_)) {
    const std::vector<SavedLogin>& logins = json_.Logins();
    for (std::size_t i = 0; i < logins.size(); ++i) {
      const std::string host = LoginHost(logins[i].hostname, logins[i].formSubmitUrl);
      if (host.empty()) continue;
      FormRow found;
      found.id = static_cast<std::int64_t>(i);
      found.key = SavedLoginsKey(host);
      found.entry.url = logins[i].hostname.empty() ? logins[i].formSubmitUrl : logins[i].hostname;
      if (!row(found)) break;
    }
    return SqliteStatus::Ok;
  }
  bool stopped = false;
  for (std::size_t index = 0; index < tables_.size() && !stopped; ++index) {
    const Table& table = tables_[index];
    const SqliteStatus status = db_.Scan(table.query, [&](sqlite3_stmt* statement) {
      std::optional<FormRow> found = table.file(statement);
      if (!found) return true;
      found->table = index;
      found->id = sqlite3_column_int64(statement, 0);
      stopped = !row(*found);
      return !stopped;
    });
    if (status != SqliteStatus::Ok) return status;
  }
  return SqliteStatus::Ok;
}

SqliteStatus FormStore::Remove(const std::vector<std::pair<std::size_t, std::int64_t>>& rows) {
  if (rows.empty()) return SqliteStatus::Ok;
  if (IsJson(kind_)) {
    std::vector<bool> drop(json_.Logins().size(), false);
    for (const auto& [table, id] : rows) {
      if (id >= 0 && static_cast<std::size_t>(id) < drop.size()) {
        drop[static_cast<std::size_t>(id)] = true;
      }
    }
    return file_.Replace(json_.Without(drop));
  }
  std::vector<SqliteChange> changes;
  for (std::size_t index = 0; index < tables_.size(); ++index) {
    std::vector<std::int64_t> ids;
    for (const auto& [table, id] : rows) {
      if (table == index) ids.push_back(id);
    }
    for (const std::string& removal : tables_[index].removals) changes.push_back({removal, ids});
  }
  for (const std::string& cleanup : cleanups_) changes.push_back({cleanup, {}});
  return db_.Change(changes);
}

}  // namespace corvane
