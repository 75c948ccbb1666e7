#include "cleaners/modern/sqlite_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/sqlite_files.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::RunSql;

// Firefox's cookie table, as far as the store needs it, with `count` rows of the host.
void MakeCookies(const fs::path& path, const std::string& host, int count) {
  std::string sql =
      "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT "
      "'', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER); BEGIN;";
  for (int i = 0; i < count; ++i) {
    sql += "INSERT INTO moz_cookies (name, value, host, path) VALUES ('n" + std::to_string(i) +
           "', 'value-of-" + host + "', '" + host + "', '/');";
  }
  RunSql(path, sql + "COMMIT;");
}

int CountRows(SqliteStore& store) {
  int rows = 0;
  EXPECT_EQ(store.Scan("SELECT host FROM moz_cookies",
                       [&](sqlite3_stmt*) {
                         ++rows;
                         return true;
                       }),
            SqliteStatus::Ok);
  return rows;
}

TEST(SqliteStoreTest, DeletedRowsLeaveNoTraceInTheFileOrItsLog) {
  const TempDir dir;
  for (const bool wal : {false, true}) {
    const fs::path db = dir.Path() / (wal ? "wal.sqlite" : "rollback.sqlite");
    if (wal) RunSql(db, "PRAGMA journal_mode=WAL;");
    MakeCookies(db, ".secret-tracker.test", 200);
    RunSql(db, "INSERT INTO moz_cookies (host) VALUES ('keep.test');");
    ASSERT_NE(ReadHostFile(db).find("secret-tracker"), std::string::npos);

    SqliteStore store;
    ASSERT_EQ(store.Open(db.string(), SqliteAccess::Change), SqliteStatus::Ok);
    std::vector<std::int64_t> rowids;
    ASSERT_EQ(store.Scan("SELECT rowid, host FROM moz_cookies",
                         [&](sqlite3_stmt* row) {
                           const auto* host =
                               reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
                           if (std::string(host) != "keep.test") {
                             rowids.push_back(sqlite3_column_int64(row, 0));
                           }
                           return true;
                         }),
              SqliteStatus::Ok);
    ASSERT_EQ(rowids.size(), 200u);
    ASSERT_EQ(store.DeleteRows("moz_cookies", rowids), SqliteStatus::Ok) << wal;
    EXPECT_EQ(CountRows(store), 1);
    store = SqliteStore();

    for (const std::string suffix : {"", "-wal", "-journal"}) {
      const fs::path file = db.string() + suffix;
      if (fs::exists(file)) {
        EXPECT_EQ(ReadHostFile(file).find("secret-tracker"), std::string::npos) << file;
      }
    }
    EXPECT_NE(ReadHostFile(db).find("keep.test"), std::string::npos);
  }
}

TEST(SqliteStoreTest, AScanLeavesAWriteAheadDatabaseAsItFoundIt) {
  const TempDir dir;
  // A name that needs escaping in a URI, too.
  const fs::path db = dir.Path() / "cookies ?#%.sqlite";
  RunSql(db, "PRAGMA journal_mode=WAL;");
  MakeCookies(db, "a.test", 2);
  ASSERT_FALSE(fs::exists(db.string() + "-wal"));
  {
    SqliteStore store;
    ASSERT_EQ(store.Open(db.string(), SqliteAccess::Read), SqliteStatus::Ok);
    EXPECT_EQ(CountRows(store), 2);
  }
  EXPECT_FALSE(fs::exists(db.string() + "-wal"));
  EXPECT_FALSE(fs::exists(db.string() + "-shm"));

  // With a log, its rows count too.
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "INSERT INTO moz_cookies (host) VALUES ('b.test')", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  ASSERT_TRUE(fs::exists(db.string() + "-wal"));
  SqliteStore store;
  ASSERT_EQ(store.Open(db.string(), SqliteAccess::Read), SqliteStatus::Ok);
  EXPECT_EQ(CountRows(store), 3);
  sqlite3_close(writer);
}

TEST(SqliteStoreTest, AScanNeverReadsPastAJournalThatHoldsAnUnfinishedChange) {
  const TempDir dir;
  const fs::path db = dir.Path() / "live.sqlite";
  MakeCookies(db, "a-rather-long-host-name-to-fill-pages.test", 2000);
  // A change so large that pages reach the file before the commit: the copy taken meanwhile
  // is what a crash leaves, a half-changed file and the journal that undoes it.
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(writer, "PRAGMA cache_size=2; BEGIN; DELETE FROM moz_cookies WHERE id % 2 = 0;",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  const fs::path copy = dir.Path() / "crashed.sqlite";
  fs::copy_file(db, copy);
  ASSERT_TRUE(fs::exists(db.string() + "-journal"));
  fs::copy_file(db.string() + "-journal", copy.string() + "-journal");
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);

  SqliteStore store;
  const SqliteStatus status = store.Open(copy.string(), SqliteAccess::Read);
  if (status == SqliteStatus::Ok) {
    int rows = 0;
    const SqliteStatus scanned = store.Scan("SELECT host FROM moz_cookies", [&](sqlite3_stmt*) {
      ++rows;
      return true;
    });
    EXPECT_TRUE(scanned != SqliteStatus::Ok || rows == 2000) << rows;
  }
}

TEST(SqliteStoreTest, LinksPipesAndSharedFilesAreRefusedAndLeftAsTheyAre) {
  const TempDir dir;
  const fs::path real = dir.Path() / "real.sqlite";
  MakeCookies(real, "a.test", 1);
  const std::string before = ReadHostFile(real);

  fs::create_symlink(real, dir.Path() / "link.sqlite");
  ASSERT_EQ(mkfifo((dir.Path() / "fifo.sqlite").c_str(), 0600), 0);
  fs::create_hard_link(real, dir.Path() / "second-name.sqlite");
  const fs::path other = dir.Path() / "other.sqlite";
  MakeCookies(other, "b.test", 1);
  fs::create_symlink(dir.Path() / "elsewhere", dir.Path() / "other.sqlite-journal");

  SqliteStore store;
  EXPECT_EQ(store.Open((dir.Path() / "link.sqlite").string(), SqliteAccess::Read),
            SqliteStatus::Refused);
  EXPECT_EQ(store.Open((dir.Path() / "fifo.sqlite").string(), SqliteAccess::Read),
            SqliteStatus::Refused);
  // Another name of the file may be outside what is cleaned: never written.
  EXPECT_EQ(store.Open(real.string(), SqliteAccess::Change), SqliteStatus::Refused);
  EXPECT_EQ(store.Open(real.string(), SqliteAccess::Read), SqliteStatus::Ok);
  EXPECT_EQ(store.Open(other.string(), SqliteAccess::Change), SqliteStatus::Refused);
  EXPECT_FALSE(fs::exists(dir.Path() / "elsewhere"));
  EXPECT_EQ(store.Open((dir.Path() / "missing.sqlite").string(), SqliteAccess::Read),
            SqliteStatus::Missing);
  EXPECT_EQ(ReadHostFile(real), before);
}

TEST(SqliteStoreTest, DamagedEncryptedAndUnknownDatabasesFailCleanly) {
  const TempDir dir;
  const fs::path garbage = dir.Path() / "garbage.sqlite";
  std::ofstream(garbage, std::ios::binary) << std::string(8192, '\x5a');
  // The header of a database, then pages of noise: what an encrypted store looks like past it.
  const fs::path damaged = dir.Path() / "damaged.sqlite";
  MakeCookies(damaged, "a.test", 50);
  {
    std::string bytes = ReadHostFile(damaged);
    for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
    std::ofstream(damaged, std::ios::binary | std::ios::trunc) << bytes;
  }
  const fs::path old = dir.Path() / "old.sqlite";
  RunSql(old, "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT);");

  for (const fs::path& file : {garbage, damaged}) {
    const std::string before = ReadHostFile(file);
    SqliteStore store;
    const SqliteStatus status = store.Open(file.string(), SqliteAccess::Change);
    const bool failed = status == SqliteStatus::Corrupt ||
                        (status == SqliteStatus::Ok &&
                         store.Scan("SELECT host FROM moz_cookies",
                                    [](sqlite3_stmt*) { return true; }) != SqliteStatus::Ok);
    EXPECT_TRUE(failed) << file;
    store = SqliteStore();
    EXPECT_EQ(ReadHostFile(file), before) << file;
  }

  SqliteStore store;
  ASSERT_EQ(store.Open(old.string(), SqliteAccess::Read), SqliteStatus::Ok);
  EXPECT_EQ(store.CheckColumns("moz_cookies", {"host"}), SqliteStatus::Schema);
  EXPECT_EQ(store.CheckColumns("moz_cookies", {"id", "name"}), SqliteStatus::Ok);
  EXPECT_EQ(store.CheckColumns("no_such_table", {"id"}), SqliteStatus::Schema);
  EXPECT_EQ(store.Scan("SELECT host FROM moz_cookies", [](sqlite3_stmt*) { return true; }),
            SqliteStatus::Schema);
}

TEST(SqliteStoreTest, ADatabaseAnotherProgramWritesIsLeftWhole) {
  const TempDir dir;
  const fs::path db = dir.Path() / "cookies.sqlite";
  MakeCookies(db, "a.test", 3);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  SqliteStore store;
  ASSERT_EQ(store.Open(db.string(), SqliteAccess::Change), SqliteStatus::Ok);
  EXPECT_EQ(store.DeleteRows("moz_cookies", {1, 2}), SqliteStatus::InUse);
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(CountRows(store), 3);
}

TEST(SqliteStoreTest, AChangeOfSeveralStatementsGoesWholeOrNotAtAll) {
  const TempDir dir;
  const fs::path db = dir.Path() / "places.sqlite";
  MakeCookies(db, "a.test", 4);
  RunSql(db,
         "CREATE TABLE visits (id INTEGER PRIMARY KEY, cookie INTEGER, note TEXT);"
         "INSERT INTO visits (cookie, note) VALUES (1, 'x'), (1, 'y'), (2, 'z'), (3, 'w');");
  SqliteStore store;
  ASSERT_EQ(store.Open(db.string(), SqliteAccess::Change), SqliteStatus::Ok);
  auto count = [&](const char* sql) {
    int rows = 0;
    EXPECT_EQ(store.Scan(sql,
                         [&](sqlite3_stmt*) {
                           ++rows;
                           return true;
                         }),
              SqliteStatus::Ok);
    return rows;
  };

  // The second statement names a table that does not exist: the first one's rows stay.
  EXPECT_NE(
      store.Change({{"DELETE FROM visits WHERE cookie IN " + std::string(kBoundIds), {1, 2}},
                    {"DELETE FROM no_such_table WHERE id IN " + std::string(kBoundIds), {1}}}),
      SqliteStatus::Ok);
  EXPECT_EQ(count("SELECT id FROM visits"), 4);

  // The list twice in one statement, one with no ids (skipped) and one without parameters.
  const std::string ids(kBoundIds);
  EXPECT_EQ(
      store.Change({{"DELETE FROM visits WHERE cookie IN " + ids + " OR id IN " + ids, {1, 4}},
                    {"DELETE FROM visits WHERE id IN " + ids, {}},
                    {"DELETE FROM moz_cookies WHERE id NOT IN (SELECT cookie FROM visits)", {}}}),
      SqliteStatus::Ok);
  EXPECT_EQ(count("SELECT id FROM visits"), 1);  // only (2, 'z') is left
  EXPECT_EQ(count("SELECT id FROM moz_cookies"), 1);
  // Nothing to run: nothing is touched, not even a vacuum.
  EXPECT_EQ(store.Change({{"DELETE FROM no_such_table", {}}}), SqliteStatus::Ok);
}

}  // namespace
}  // namespace corvane
