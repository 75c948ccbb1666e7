#pragma once
// A browser's SQLite database inside the prefix, through the system libsqlite3. The file is
// reached only through folder handles (no link on the way, the database itself a regular file,
// and its "-wal", "-journal" and "-shm" companions regular files too, if present), so a database
// that is a link, a pipe or lies outside the prefix is refused rather than opened.
//
// Scans read. Changes run in one immediate transaction with "secure_delete" on, and the file is
// compacted afterwards: deleted rows must not stay readable in free pages or in the write-ahead
// log. A database another program holds (SQLite's own locks) is left alone, never half-changed.

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

enum class SqliteStatus {
  Ok,
  Missing,  // no such file
  Refused,  // a link, no regular file, a file with other hard links, a companion file of that kind
  InUse,    // the browser holds it
  Corrupt,  // not a database (damaged or encrypted)
  Schema,   // a table or column the caller needs is missing
  Failed,   // any other error
};

// A short English text for the status, as failure rows show it.
[[nodiscard]] std::string_view SqliteStatusText(SqliteStatus status);

enum class SqliteAccess { Read, Change };

// One statement of a change. Its "?1", if it has one, is bound to the ids as a JSON array
// ("[4,7]"), read with `json_each(?1)`: the statement runs once, however many rows it touches.
// A statement with "?1" and no ids is skipped; one without parameters runs as it is.
struct SqliteChange {
  std::string sql;
  std::vector<std::int64_t> ids;
};

// The SQL that reads the ids bound to "?1" as a list: "x IN (SELECT value FROM json_each(?1))".
inline constexpr std::string_view kBoundIds = "(SELECT value FROM json_each(?1))";

class SqliteStore {
 public:
  SqliteStore() = default;
  SqliteStore(SqliteStore&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
  SqliteStore& operator=(SqliteStore&& other) noexcept;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;
  ~SqliteStore();

  // Opens an existing database at any path (machine or host). Nothing is ever created.
  [[nodiscard]] SqliteStatus Open(std::string_view path, SqliteAccess access);

  // Ok when the table exists with every column named.
  [[nodiscard]] SqliteStatus CheckColumns(std::string_view table,
                                          std::initializer_list<std::string_view> columns);

  // Runs a query and hands each row to `row`; the row's answer false stops early (Ok still).
  [[nodiscard]] SqliteStatus Scan(std::string_view sql,
                                  const std::function<bool(sqlite3_stmt*)>& row);

  // Deletes the rows of `table` with these row ids in one transaction, with secure deletion,
  // then checkpoints the write-ahead log and compacts the file. Nothing changes unless all go.
  [[nodiscard]] SqliteStatus DeleteRows(std::string_view table,
                                        const std::vector<std::int64_t>& rowids);

  // Runs the statements in order in one transaction, with secure deletion, then checkpoints and
  // compacts as DeleteRows does. Nothing changes unless every statement succeeds; a change
  // without any id to run is no change at all (the file is left as it is).
  [[nodiscard]] SqliteStatus Change(const std::vector<SqliteChange>& changes);

 private:
  [[nodiscard]] SqliteStatus Execute(const char* sql);
  [[nodiscard]] static SqliteStatus FromCode(int code);

  sqlite3* db_ = nullptr;
};

}  // namespace corvane
