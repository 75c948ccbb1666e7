#include "demo/demo_modern_traces.h"

#include <sqlite3.h>

#include <fstream>
#include <optional>

#include "demo/demo_cache_entries.h"
#include "demo/demo_modern_history.h"
#include "platform/machine.h"

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr char kFirefoxSchema[] =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT "
    "'', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, "
    "creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER "
    "DEFAULT 0, sameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0, "
    "isPartitionedAttributeSet INTEGER DEFAULT 0, CONSTRAINT moz_uniqueid UNIQUE (name, host, "
    "path, originAttributes));";

constexpr char kChromiumSchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES ('version', '24');"
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
    "top_frame_site_key TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
    "encrypted_value BLOB NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL, "
    "is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL, "
    "has_expires INTEGER NOT NULL, is_persistent INTEGER NOT NULL, priority INTEGER NOT NULL, "
    "samesite INTEGER NOT NULL, source_scheme INTEGER NOT NULL, source_port INTEGER NOT NULL, "
    "last_update_utc INTEGER NOT NULL, source_type INTEGER NOT NULL, has_cross_site_ancestor "
    "INTEGER NOT NULL, UNIQUE (host_key, top_frame_site_key, name, path, source_scheme, "
    "source_port));";

// Creates the database with the schema, then inserts one row per host through `insert` (the
// host bound as parameter 1, a running number as parameter 2).
bool MakeStore(const fs::path& file, const char* schema, const char* insert,
               const std::vector<std::string>& hosts) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK &&
            sqlite3_exec(db, schema, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* statement = nullptr;
  ok = ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
       sqlite3_prepare_v2(db, insert, -1, &statement, nullptr) == SQLITE_OK;
  int number = 0;
  for (const std::string& host : hosts) {
    if (!ok) break;
    sqlite3_bind_text(statement, 1, host.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 2, ++number);
    ok = sqlite3_step(statement) == SQLITE_DONE && sqlite3_reset(statement) == SQLITE_OK;
  }
  sqlite3_finalize(statement);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  return sqlite3_close(db) == SQLITE_OK && ok;
}

std::optional<fs::path> Host(const std::string& machinePath) {
  return Machine::Current()->ToHostPath(machinePath);
}

}  // namespace

bool MakeFirefoxCookieStore(const fs::path& file, const std::vector<std::string>& hosts) {
  return MakeStore(file, kFirefoxSchema,
                   "INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES ('c' || ?2, "
                   "'v', ?1, '/', 1924905600)",
                   hosts);
}

bool MakeChromiumCookieStore(const fs::path& file, const std::vector<std::string>& hosts) {
  return MakeStore(
      file, kChromiumSchema,
      "INSERT INTO cookies VALUES (?2, ?1, '', 'c' || ?2, '', x'763130aabbccddeeff', '/', "
      "0, 1, 0, ?2, 0, 0, 1, -1, 2, 443, ?2, 0, 0)",
      hosts);
}

bool PlantModernBrowserTraces(const std::string& user) {
  const std::string roaming = "C:\\users\\" + user + "\\AppData\\Roaming\\Mozilla\\Firefox\\";
  const std::string local = "C:\\users\\" + user + "\\AppData\\Local\\";
  const std::optional<fs::path> ini = Host(roaming + "profiles.ini");
  const std::optional<fs::path> firefox =
      Host(roaming + "Profiles\\k9w2m5qa.default-release\\cookies.sqlite");
  const std::optional<fs::path> chrome =
      Host(local + "Google\\Chrome\\User Data\\Default\\Network\\Cookies");
  if (!ini || !firefox || !chrome) return false;
  const fs::path firefoxProfile = firefox->parent_path();
  const fs::path chromeProfile = chrome->parent_path().parent_path();
  std::error_code ec;
  fs::create_directories(ini->parent_path(), ec);
  std::ofstream(*ini, std::ios::binary | std::ios::trunc)
      << "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n\r\n[Profile0]\r\n"
         "Name=default-release\r\nIsRelative=1\r\nPath=Profiles/k9w2m5qa.default-release\r\n"
         "Default=1\r\n";
  return fs::exists(*ini) &&
         MakeFirefoxCookieStore(*firefox,
                                {".example.com", ".example.com", "news.test", ".shop.test",
                                 ".tracker.example.net", "www.forum.test"}) &&
         MakeChromiumCookieStore(
             *chrome, {".example.com", ".ads.example.biz", "search.test", "search.test"}) &&
         PlantModernCacheTraces(user) &&
         MakeFirefoxPlaces(
             firefoxProfile / "places.sqlite",
             {"https://www.example.com/", "https://www.example.com/", "https://news.test/today",
              "https://shop.test/cart", "https://news.test/today",
              "file:///C:/users/" + user + "/Documents/letter.pdf"}) &&
         MakeFirefoxPermissions(firefoxProfile / "permissions.sqlite", {"https://news.test"}) &&
         WriteBytes(firefoxProfile / "sessionstore.jsonlz4",
                    MozLz4Frame("{\"windows\":[{\"tabs\":[{\"entries\":[{\"url\":"
                                "\"https://news.test/today\",\"title\":\"News\"}]}],"
                                "\"_closedTabs\":[{\"state\":{\"entries\":[{\"url\":"
                                "\"https://www.example.com/\"}]}}]}]}")) &&
         MakeChromiumHistory(chromeProfile / "History",
                             {"https://search.test/?q=weather", "https://example.com/",
                              "https://search.test/?q=news", "https://video.test/watch"});
}

}  // namespace corvane
