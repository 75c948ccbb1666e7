#include "cleaners/modern/sqlite_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>

#include "platform/folder_handle.h"

namespace corvane {

namespace {

constexpr std::array<std::string_view, 3> kCompanions = {"-wal", "-journal", "-shm"};

// The folder's own path as the kernel knows it: every link on the way already resolved.
std::optional<std::string> FolderRealPath(const FolderHandle& folder) {
  const std::string link = "/proc/self/fd/" + std::to_string(folder.Descriptor());
  std::string target(4096, '\0');
  const ssize_t length = readlink(link.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(length));
  if (!target.starts_with('/')) return std::nullopt;  // a deleted folder reads "... (deleted)"
  return target;
}

// The path as a "file:" URI: everything but letters, digits and "/-._~" percent-encoded.
std::string FileUri(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      ((uri += '%') += kHex[byte >> 4]) += kHex[byte & 15];
    }
  }
  return uri;
}

// A file that may be written: a regular file with no other hard link.
SqliteStatus CheckEntry(const struct stat& status, SqliteAccess access) {
  if (!S_ISREG(status.st_mode)) return SqliteStatus::Refused;
  if (access == SqliteAccess::Change && status.st_nlink > 1) return SqliteStatus::Refused;
  return SqliteStatus::Ok;
}

// A name in double quotes (an identifier) or single quotes (a string literal), the quote doubled
// inside.
std::string Quoted(std::string_view name, char quote = '"') {
  std::string quoted(1, quote);
  for (const char c : name) {
    quoted += c;
    if (c == quote) quoted += quote;
  }
  return quoted + quote;
}

// The ids as a JSON array.
std::string IdList(const std::vector<std::int64_t>& ids) {
  std::string list = "[";
  for (const std::int64_t id : ids) {
    if (list.size() > 1) list += ',';
    list += std::to_string(id);
  }
  return list + "]";
}

}  // namespace

std::string_view SqliteStatusText(SqliteStatus status) {
  switch (status) {
    case SqliteStatus::Ok:
      return "done";
    case SqliteStatus::Missing:
      return "not found";
    case SqliteStatus::Refused:
      return "refused: a link, no regular file, or a file with other links";
    case SqliteStatus::InUse:
      return "in use by the browser, left alone";
    case SqliteStatus::Corrupt:
      return "damaged or encrypted database, left alone";
    case SqliteStatus::Schema:
      return "unknown database layout, left alone";
    case SqliteStatus::Failed:
      break;
  }
  return "database error, left alone";
}

SqliteStore& SqliteStore::operator=(SqliteStore&& other) noexcept {
  if (this != &other) {
    sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

SqliteStore::~SqliteStore() {
  sqlite3_close_v2(db_);
}

SqliteStatus SqliteStore::FromCode(int code) {
  switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return SqliteStatus::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return SqliteStatus::InUse;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return SqliteStatus::Corrupt;
    case SQLITE_CANTOPEN:
      return code == SQLITE_CANTOPEN_SYMLINK ? SqliteStatus::Refused : SqliteStatus::Failed;
    default:
      return SqliteStatus::Failed;
  }
}

SqliteStatus SqliteStore::Open(std::string_view path, SqliteAccess access) {
  sqlite3_close_v2(std::exchange(db_, nullptr));
  std::optional<PathEntry> entry = OpenPathEntry(path);
  if (!entry) return SqliteStatus::Missing;
  struct stat seen {};
  if (!entry->folder.Status(entry->name, &seen)) return SqliteStatus::Missing;
  if (const SqliteStatus status = CheckEntry(seen, access); status != SqliteStatus::Ok) {
    return status;
  }
  // SQLite opens the companions by name beside the database: one that is a link would carry
  // the journal's writes (or the log's pages) to wherever it points.
  bool hasLog = false;
  for (const std::string_view suffix : kCompanions) {
    struct stat companion {};
    const std::string name = entry->name + std::string(suffix);
    if (!entry->folder.Status(name, &companion)) continue;
    if (CheckEntry(companion, access) != SqliteStatus::Ok) return SqliteStatus::Refused;
    hasLog = hasLog || suffix != "-shm";
  }
  const std::optional<std::string> folder = FolderRealPath(entry->folder);
  if (!folder) return SqliteStatus::Missing;
  const std::string file = *folder + "/" + entry->name;
  // NOFOLLOW refuses a link anywhere on the resolved path, so the name still leads through
  // the folder we hold unless something was swapped meanwhile, which the checks below catch.
  const int flags = SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_URI |
                    (access == SqliteAccess::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
  // A read-only connection to a write-ahead database makes its "-wal" and "-shm" files and
  // cannot remove them again. Without a log or a journal (which may hold a change to roll back)
  // the file alone is the whole database, so a scan reads it as unchanging and leaves the
  // profile as it found it.
  const std::string uri =
      FileUri(file) + (access == SqliteAccess::Read && !hasLog ? "?immutable=1" : "");
  sqlite3* db = nullptr;
  const int code = sqlite3_open_v2(uri.c_str(), &db, flags, nullptr);
  db_ = db;
  if (code != SQLITE_OK) {
    sqlite3_close_v2(std::exchange(db_, nullptr));
    return FromCode(code);
  }
  struct stat opened {};
  struct stat folderNow {};
  struct stat folderHeld {};
  if (lstat(file.c_str(), &opened) != 0 || !SameFile(opened, seen) ||
      lstat(folder->c_str(), &folderNow) != 0 ||
      fstat(entry->folder.Descriptor(), &folderHeld) != 0 || !SameFile(folderNow, folderHeld)) {
    sqlite3_close_v2(std::exchange(db_, nullptr));
    return SqliteStatus::Refused;
  }
  sqlite3_busy_timeout(db_, 0);
  sqlite3_extended_result_codes(db_, 1);
  // Reading the schema is the first access to the file: a damaged or encrypted one fails here.
  if (const SqliteStatus status = Execute("SELECT count(*) FROM sqlite_master");
      status != SqliteStatus::Ok) {
    sqlite3_close_v2(std::exchange(db_, nullptr));
    return status;
  }
  return SqliteStatus::Ok;
}

SqliteStatus SqliteStore::Execute(const char* sql) {
  if (db_ == nullptr) return SqliteStatus::Failed;
  return FromCode(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

SqliteStatus SqliteStore::CheckColumns(std::string_view table,
                                       std::initializer_list<std::string_view> columns) {
  std::vector<std::string> found;
  const SqliteStatus status = Scan(
      "SELECT name FROM pragma_table_info(" + Quoted(table, '\'') + ")", [&](sqlite3_stmt* row) {
        const auto* text = sqlite3_column_text(row, 0);
        if (text != nullptr) found.emplace_back(reinterpret_cast<const char*>(text));
        return true;
      });
  if (status != SqliteStatus::Ok) return status;
  for (const std::string_view column : columns) {
    if (std::find(found.begin(), found.end(), column) == found.end()) return SqliteStatus::Schema;
  }
  return SqliteStatus::Ok;
}

SqliteStatus SqliteStore::Scan(std::string_view sql,
                               const std::function<bool(sqlite3_stmt*)>& row) {
  if (db_ == nullptr) return SqliteStatus::Failed;
  sqlite3_stmt* statement = nullptr;
  int code = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
  if (code != SQLITE_OK) {
    sqlite3_finalize(statement);
    return code == SQLITE_ERROR ? SqliteStatus::Schema : FromCode(code);
  }
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
    if (!row(statement)) {
      code = SQLITE_DONE;
      break;
    }
  }
  sqlite3_finalize(statement);
  return FromCode(code);
}

SqliteStatus SqliteStore::DeleteRows(std::string_view table,
                                     const std::vector<std::int64_t>& rowids) {
  return Change(
      {{"DELETE FROM " + Quoted(table) + " WHERE rowid IN " + std::string(kBoundIds), rowids}});
}

SqliteStatus SqliteStore::Change(const std::vector<SqliteChange>& changes) {
  if (db_ == nullptr) return SqliteStatus::Failed;
  if (std::all_of(changes.begin(), changes.end(),
                  [](const SqliteChange& change) { return change.ids.empty(); })) {
    return SqliteStatus::Ok;
  }
  if (const SqliteStatus status = Execute("PRAGMA secure_delete=ON"); status != SqliteStatus::Ok) {
    return status;
  }
  // Immediate: the write lock is taken before the first row, so a holder is found before
  // anything changed.
  if (const SqliteStatus status = Execute("BEGIN IMMEDIATE"); status != SqliteStatus::Ok) {
    return status;
  }
  int code = SQLITE_OK;
  for (const SqliteChange& change : changes) {
    sqlite3_stmt* statement = nullptr;
    code = sqlite3_prepare_v2(db_, change.sql.c_str(), -1, &statement, nullptr);
    const bool bound = code == SQLITE_OK && sqlite3_bind_parameter_count(statement) > 0;
    if (code == SQLITE_OK && !(bound && change.ids.empty())) {
      if (bound) {
        const std::string list = IdList(change.ids);
        sqlite3_bind_text(statement, 1, list.data(), static_cast<int>(list.size()),
                          SQLITE_TRANSIENT);
      }
      code = sqlite3_step(statement);
      if (code == SQLITE_DONE) code = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_OK) break;
  }
  if (code != SQLITE_OK) {
    static_cast<void>(Execute("ROLLBACK"));
    return FromCode(code);
  }
  if (const SqliteStatus status = Execute("COMMIT"); status != SqliteStatus::Ok) {
    static_cast<void>(Execute("ROLLBACK"));
    return status;
  }
  // The log holds the changed pages (old contents included) until a checkpoint copies them
  // back; TRUNCATE empties it. VACUUM then rebuilds the file without free pages.
  if (const SqliteStatus status = Execute("PRAGMA wal_checkpoint(TRUNCATE)");
      status != SqliteStatus::Ok) {
    return status;
  }
  return Execute("VACUUM");
}

}  // namespace corvane
