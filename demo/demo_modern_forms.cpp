#include "demo/demo_modern_forms.h"

#include <sqlite3.h>

#include <fstream>
#include <optional>

#include "platform/machine.h"

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr char kFormHistorySchema[] =
    "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, value TEXT "
    "NOT NULL, timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT);"
    "CREATE TABLE moz_deleted_formhistory (id INTEGER PRIMARY KEY, timeDeleted INTEGER, guid "
    "TEXT);"
    "CREATE TABLE moz_sources (id INTEGER PRIMARY KEY, source TEXT NOT NULL);"
    "CREATE TABLE moz_history_to_sources (history_id INTEGER, source_id INTEGER, PRIMARY KEY "
    "(history_id, source_id), FOREIGN KEY (history_id) REFERENCES moz_formhistory(id) ON DELETE "
    "CASCADE, FOREIGN KEY (source_id) REFERENCES moz_sources(id) ON DELETE CASCADE) WITHOUT "
    "ROWID;"
    "CREATE INDEX moz_formhistory_index ON moz_formhistory(fieldname);"
    "CREATE INDEX moz_formhistory_lastused_index ON moz_formhistory(lastUsed);"
    "CREATE INDEX moz_formhistory_guid_index ON moz_formhistory(guid);";

constexpr char kWebDataSchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "CREATE TABLE autofill (name VARCHAR, value VARCHAR, value_lower VARCHAR, date_created "
    "INTEGER DEFAULT 0, date_last_used INTEGER DEFAULT 0, count INTEGER DEFAULT 1, PRIMARY KEY "
    "(name, value));"
    "CREATE TABLE keywords (id INTEGER PRIMARY KEY,short_name VARCHAR NOT NULL,keyword VARCHAR "
    "NOT NULL,favicon_url VARCHAR NOT NULL,url VARCHAR NOT NULL,safe_for_autoreplace "
    "INTEGER,originating_url VARCHAR,date_created INTEGER DEFAULT 0,usage_count INTEGER DEFAULT "
    "0,input_encodings VARCHAR,suggest_url VARCHAR,prepopulate_id INTEGER DEFAULT "
    "0,created_by_policy INTEGER DEFAULT 0,last_modified INTEGER DEFAULT 0,sync_guid "
    "VARCHAR,alternate_urls VARCHAR,image_url VARCHAR,search_url_post_params "
    "VARCHAR,suggest_url_post_params VARCHAR,image_url_post_params VARCHAR,new_tab_url "
    "VARCHAR,last_visited INTEGER DEFAULT 0, created_from_play_api INTEGER DEFAULT 0, is_active "
    "INTEGER DEFAULT 0, starter_pack_id INTEGER DEFAULT 0, enforced_by_policy INTEGER DEFAULT 0, "
    "featured_by_policy INTEGER DEFAULT 0, url_hash BLOB);"
    "CREATE INDEX autofill_name ON autofill(name);"
    "CREATE INDEX autofill_name_value_lower ON autofill(name, value_lower);"
    // What a fresh profile ships: a prepopulated default engine and the built-in starter pack.
    "INSERT INTO keywords (id, short_name, keyword, favicon_url, url, safe_for_autoreplace, "
    "prepopulate_id) VALUES (2, 'Search', 'search.example', '', "
    "'https://search.example/?q={searchTerms}', 1, 1);"
    "INSERT INTO keywords (id, short_name, keyword, favicon_url, url, safe_for_autoreplace, "
    "starter_pack_id) VALUES (3, 'Bookmarks', '@bookmarks', '', "
    "'chrome://bookmarks/?q={searchTerms}', 1, 1);"
    "INSERT INTO meta VALUES ('Default Search Provider ID', '2');";

constexpr char kLoginDataSchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "CREATE TABLE logins (origin_url VARCHAR NOT NULL, action_url VARCHAR, username_element "
    "VARCHAR, username_value VARCHAR, password_element VARCHAR, password_value BLOB, "
    "submit_element VARCHAR, signon_realm VARCHAR NOT NULL, date_created INTEGER NOT NULL, "
    "blacklisted_by_user INTEGER NOT NULL, scheme INTEGER NOT NULL, password_type INTEGER, "
    "times_used INTEGER, form_data BLOB, display_name VARCHAR, icon_url VARCHAR, federation_url "
    "VARCHAR, skip_zero_click INTEGER, generation_upload_status INTEGER, possible_username_pairs "
    "BLOB, id INTEGER PRIMARY KEY AUTOINCREMENT, date_last_used INTEGER NOT NULL DEFAULT 0, "
    "moving_blocked_for BLOB, date_password_modified INTEGER NOT NULL DEFAULT 0, sender_email "
    "VARCHAR, sender_name VARCHAR, date_received INTEGER, sharing_notification_displayed INTEGER "
    "NOT NULL DEFAULT 0, keychain_identifier BLOB, sender_profile_image_url VARCHAR, "
    "date_last_filled INTEGER NOT NULL DEFAULT 0, actor_login_approved INTEGER NOT NULL DEFAULT "
    "0, UNIQUE (origin_url, username_element, username_value, password_element, signon_realm));"
    "CREATE TABLE insecure_credentials (parent_id INTEGER REFERENCES logins ON UPDATE CASCADE ON "
    "DELETE CASCADE DEFERRABLE INITIALLY DEFERRED, insecurity_type INTEGER NOT NULL, create_time "
    "INTEGER NOT NULL, is_muted INTEGER NOT NULL DEFAULT 0, trigger_notification_from_backend "
    "INTEGER NOT NULL DEFAULT 0, UNIQUE (parent_id, insecurity_type));"
    "CREATE TABLE password_notes (id INTEGER PRIMARY KEY AUTOINCREMENT, parent_id INTEGER NOT "
    "NULL REFERENCES logins ON UPDATE CASCADE ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED, "
    "key VARCHAR NOT NULL, value BLOB, date_created INTEGER NOT NULL, confidential INTEGER, "
    "UNIQUE (parent_id, key));"
    "CREATE INDEX logins_signon ON logins (signon_realm);";

// A string literal of SQL.
std::string Quote(const std::string& text) {
  char* quoted = sqlite3_mprintf("%Q", text.c_str());
  std::string out = quoted != nullptr ? quoted : "NULL";
  sqlite3_free(quoted);
  return out;
}

// Creates the database (its folder too) and runs the statements on it in one transaction.
bool MakeDatabase(const fs::path& file, const std::string& sql) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                  nullptr) == SQLITE_OK &&
                  sqlite3_exec(db, ("BEGIN;" + sql + "COMMIT;").c_str(), nullptr, nullptr,
                               nullptr) == SQLITE_OK;
  return sqlite3_close(db) == SQLITE_OK && ok;
}

std::optional<fs::path> Host(const std::string& machinePath) {
  return Machine::Current()->ToHostPath(machinePath);
}

}  // namespace

bool MakeFirefoxFormHistory(const fs::path& file, const std::vector<DemoFormValue>& values) {
  std::string sql = kFormHistorySchema;
  int id = 0;
  for (const DemoFormValue& value : values) {
    const std::string number = std::to_string(++id);
    // Microseconds since 1970: the 2020s.
    sql += "INSERT INTO moz_formhistory VALUES (" + number + ", " + Quote(value.field) + ", " +
           Quote(value.value) + ", " + number + ", 1700000000000000, 170000000" + number +
           "000000, 'guid" + number + "');";
    if (!value.source.empty()) {
      // The browser keeps each source once (the table has no constraint saying so).
      sql += "INSERT INTO moz_sources (source) SELECT " + Quote(value.source) +
             " WHERE NOT EXISTS (SELECT 1 FROM moz_sources WHERE source = " + Quote(value.source) +
             ");";
      sql += "INSERT INTO moz_history_to_sources SELECT " + number +
             ", id FROM moz_sources WHERE source = " + Quote(value.source) + ";";
    }
  }
  return MakeDatabase(file, sql);
}

bool MakeFirefoxLogins(const fs::path& file, const std::vector<std::string>& sites) {
  std::string text = "{\"nextId\":" + std::to_string(sites.size() + 1) + ",\"logins\":[";
  int id = 0;
  for (const std::string& site : sites) {
    const std::string number = std::to_string(++id);
    if (id > 1) text += ',';
    const bool web = site.find("://") != std::string::npos && !site.starts_with("chrome:");
    text +=
        "{\"id\":" + number + ",\"hostname\":\"" + site + "\",\"httpRealm\":null," +
        "\"formSubmitURL\":" + (web ? "\"" + site + "\"" : std::string("null")) +
        ",\"usernameField\":\"user\",\"passwordField\":\"pass\","
        "\"encryptedUsername\":\"MDoEEPgAAAAAAAAAAAAAAAAAAAEwFAYIKoZIhvcNAwcECHVzZXIt" +
        number +
        "\\u002B\\/==\",\"encryptedPassword\":\"MDoEEPgAAAAAAAAAAAAAAAAAAAEwFAYIKoZIhvcNAwcECHBh"
        "c3Mt" +
        number + "\",\"guid\":\"{0000-" + number +
        "}\",\"encType\":1,\"timeCreated\":1700000000000,\"timeLastUsed\":1700000000000,"
        "\"timePasswordChanged\":1700000000000,\"timesUsed\":1,\"syncCounter\":0,"
        "\"everSynced\":false,\"encryptedUnknownFields\":null}";
  }
  text +=
      "],\"potentiallyVulnerablePasswords\":[],\"dismissedBreachAlertsByLoginGUID\":{},"
      "\"version\":3}";
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return out.good();
}

bool MakeChromiumWebData(const fs::path& file, const std::vector<DemoFormValue>& values,
                         const std::vector<std::string>& engineUrls) {
  std::string sql = kWebDataSchema;
  int number = 0;
  for (const DemoFormValue& value : values) {
    const std::string count = std::to_string(++number);
    // Seconds since 1970.
    sql += "INSERT INTO autofill VALUES (" + Quote(value.field) + ", " + Quote(value.value) +
           ", lower(" + Quote(value.value) + "), 1700000000, 170000" + count + "000, " + count +
           ");";
  }
  for (const std::string& url : engineUrls) {
    sql +=
        "INSERT INTO keywords (short_name, keyword, favicon_url, url, safe_for_autoreplace, "
        "originating_url) VALUES ('Site search', 'site" +
        std::to_string(++number) + "', '', " + Quote(url) + ", 1, " + Quote(url) + ");";
  }
  return MakeDatabase(file, sql);
}

bool MakeChromiumLoginData(const fs::path& file, const std::vector<std::string>& origins) {
  std::string sql = kLoginDataSchema;
  int id = 0;
  for (const std::string& origin : origins) {
    const std::string number = std::to_string(++id);
    // Microseconds since 1601.
    sql +=
        "INSERT INTO logins (id, origin_url, action_url, username_element, username_value, "
        "password_element, password_value, signon_realm, date_created, blacklisted_by_user, "
        "scheme, times_used, date_last_used) VALUES (" +
        number + ", " + Quote(origin + "/login?next=/account") + ", " + Quote(origin + "/session") +
        ", 'user', 'user-" + number + "', 'pass', x'763130aabbccddeeff', " + Quote(origin + "/") +
        ", 13340000000000000, 0, 0, " + number + ", 1334000000000000" + number + ");";
    sql += "INSERT INTO password_notes (parent_id, key, value, date_created) VALUES (" + number +
           ", 'note', x'763130aabb', 13340000000000000);";
  }
  return MakeDatabase(file, sql);
}

bool PlantModernFormTraces(const std::string& user) {
  const std::optional<fs::path> firefox =
      Host("C:\\users\\" + user +
           "\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\k9w2m5qa.default-release");
  const std::optional<fs::path> chrome =
      Host("C:\\users\\" + user + "\\AppData\\Local\\Google\\Chrome\\User Data\\Default");
  if (!firefox || !chrome) return false;
  return MakeFirefoxFormHistory(*firefox / "formhistory.sqlite",
                                {{"searchbar-history", "cheap flights", ""},
                                 {"email", "ann@example.com", "shop.test"},
                                 {"q", "winter boots", "https://shop.test"}}) &&
         MakeFirefoxLogins(
             *firefox / "logins.json",
             {"https://portal.test", "https://shop.example.org", "chrome://FirefoxAccounts"}) &&
         MakeChromiumWebData(*chrome / "Web Data",
                             {{"name", "Ann", ""}, {"city", "Springfield", ""}},
                             {"https://search.test/find?q={searchTerms}"}) &&
         MakeChromiumLoginData(*chrome / "Login Data", {"https://bank.test"});
}

}  // namespace corvane
