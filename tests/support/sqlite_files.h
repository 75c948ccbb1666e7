#pragma once
// Setting up and reading back the SQLite databases tests hand to the browser stores, over
// connections of the test's own.

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::test {

// Runs statements on a database (the file is made when missing).
void RunSql(const std::filesystem::path& path, const std::string& sql);

// The first column of every row of the query, as text ("NULL" for a null).
[[nodiscard]] std::vector<std::string> Column(const std::filesystem::path& path,
                                              const std::string& sql);

}  // namespace corvane::test
