#include "tests/support/sqlite_files.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace corvane::test {

namespace fs = std::filesystem;

void RunSql(const fs::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error != nullptr ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

std::vector<std::string> Column(const fs::path& path, const std::string& sql) {
  std::vector<std::string> values;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* row = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &row, nullptr), SQLITE_OK) << sql;
  while (sqlite3_step(row) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, 0));
    values.emplace_back(text != nullptr ? text : "NULL");
  }
  sqlite3_finalize(row);
  sqlite3_close(db);
  return values;
}

}  // namespace corvane::test
