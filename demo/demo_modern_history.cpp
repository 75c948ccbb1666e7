#include "demo/demo_modern_history.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <string_view>

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr char kPlacesSchema[] =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE moz_origins ( id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT "
    "NULL, frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, block_until_ms INTEGER, "
    "block_pages_until_ms INTEGER, UNIQUE (prefix, host) );"
    "CREATE TABLE moz_places (   id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
    "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
    "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date "
    "INTEGER , guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 "
    "NOT NULL , description TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER "
    "REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE moz_places_extra (  place_id INTEGER PRIMARY KEY NOT NULL, sync_json TEXT, "
    "FOREIGN KEY (place_id) REFERENCES moz_places(id) ON DELETE CASCADE );"
    "CREATE TABLE moz_historyvisits (  id INTEGER PRIMARY KEY, from_visit INTEGER, place_id "
    "INTEGER, visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 "
    "NOT NULL, triggeringPlaceId INTEGER);"
    "CREATE TABLE moz_historyvisits_extra (  visit_id INTEGER PRIMARY KEY NOT NULL, sync_json "
    "TEXT, FOREIGN KEY (visit_id) REFERENCES moz_historyvisits(id) ON   DELETE CASCADE);"
    "CREATE TABLE moz_inputhistory (  place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, "
    "use_count INTEGER, PRIMARY KEY (place_id, input));"
    "CREATE TABLE moz_bookmarks (  id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
    "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type "
    "TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL "
    "DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
    "CREATE TABLE moz_keywords (  id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, "
    "place_id INTEGER, post_data TEXT);"
    "CREATE TABLE moz_annos (  id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
    "anno_attribute_id INTEGER, content LONGVARCHAR, flags INTEGER DEFAULT 0, expiration "
    "INTEGER DEFAULT 0, type INTEGER DEFAULT 0, dateAdded INTEGER DEFAULT 0, lastModified "
    "INTEGER DEFAULT 0);"
    "CREATE TABLE moz_places_metadata (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
    "referrer_place_id INTEGER, created_at INTEGER NOT NULL DEFAULT 0, updated_at INTEGER NOT "
    "NULL DEFAULT 0, total_view_time INTEGER NOT NULL DEFAULT 0, typing_time INTEGER NOT NULL "
    "DEFAULT 0, key_presses INTEGER NOT NULL DEFAULT 0, scrolling_time INTEGER NOT NULL DEFAULT "
    "0, scrolling_distance INTEGER NOT NULL DEFAULT 0, document_type INTEGER NOT NULL DEFAULT 0, "
    "search_query_id INTEGER, FOREIGN KEY (place_id) REFERENCES moz_places(id) ON DELETE "
    "CASCADE, FOREIGN KEY (referrer_place_id) REFERENCES moz_places(id) ON DELETE CASCADE, "
    "FOREIGN KEY(search_query_id) REFERENCES moz_places_metadata_search_queries(id) ON DELETE "
    "CASCADE CHECK(place_id != referrer_place_id) );"
    "CREATE TABLE moz_places_metadata_search_queries ( id INTEGER PRIMARY KEY, terms TEXT NOT "
    "NULL UNIQUE );"
    "CREATE TABLE moz_newtab_shortcuts_interaction (   id INTEGER PRIMARY KEY,   place_id "
    "INTEGER NOT NULL REFERENCES moz_places(id) ON DELETE CASCADE,   event_type INTEGER NOT "
    "NULL,   timestamp_s INTEGER NOT NULL,   pinned INTEGER NOT NULL CHECK (pinned IN (0, 1)),  "
    " tile_position INTEGER NOT NULL);"
    "CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash);"
    "CREATE INDEX moz_places_originidindex ON moz_places (origin_id);"
    "CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);"
    "CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);"
    "CREATE UNIQUE INDEX moz_annos_placeattributeindex ON moz_annos (place_id, "
    "anno_attribute_id);"
    "CREATE INDEX moz_places_metadata_referrerindex ON moz_places_metadata (referrer_place_id);";

constexpr char kHistorySchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES ('version', '70');"
    "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title "
    "LONGVARCHAR,visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT "
    "NULL,last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,visit_time "
    "INTEGER NOT NULL,from_visit INTEGER,external_referrer_url TEXT,transition INTEGER DEFAULT 0 "
    "NOT NULL,segment_id INTEGER,visit_duration INTEGER DEFAULT 0 NOT "
    "NULL,incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL,opener_visit "
    "INTEGER,originator_cache_guid TEXT,originator_visit_id INTEGER,originator_from_visit "
    "INTEGER,originator_opener_visit INTEGER,is_known_to_sync BOOLEAN DEFAULT FALSE NOT "
    "NULL,consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL,visited_link_id INTEGER "
    "DEFAULT 0 NOT NULL,app_id TEXT);"
    "CREATE TABLE visit_source(id INTEGER PRIMARY KEY,source INTEGER NOT NULL);"
    "CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL,url_id INTEGER NOT "
    "NULL,term LONGVARCHAR NOT NULL,normalized_term LONGVARCHAR NOT NULL);"
    "CREATE TABLE downloads (id INTEGER PRIMARY KEY,guid VARCHAR NOT NULL,current_path "
    "LONGVARCHAR NOT NULL,target_path LONGVARCHAR NOT NULL,start_time INTEGER NOT "
    "NULL,received_bytes INTEGER NOT NULL,total_bytes INTEGER NOT NULL,state INTEGER NOT "
    "NULL,danger_type INTEGER NOT NULL,interrupt_reason INTEGER NOT NULL,hash BLOB NOT "
    "NULL,end_time INTEGER NOT NULL,opened INTEGER NOT NULL,last_access_time INTEGER NOT "
    "NULL,transient INTEGER NOT NULL,referrer VARCHAR NOT NULL,site_url VARCHAR NOT "
    "NULL,embedder_download_data VARCHAR NOT NULL,tab_url VARCHAR NOT NULL,tab_referrer_url "
    "VARCHAR NOT NULL,http_method VARCHAR NOT NULL,by_ext_id VARCHAR NOT NULL,by_ext_name "
    "VARCHAR NOT NULL,by_web_app_id VARCHAR NOT NULL,etag VARCHAR NOT NULL,last_modified "
    "VARCHAR NOT NULL,mime_type VARCHAR(255) NOT NULL,original_mime_type VARCHAR(255) NOT "
    "NULL);"
    "CREATE TABLE downloads_url_chains (id INTEGER NOT NULL,chain_index INTEGER NOT NULL,url "
    "LONGVARCHAR NOT NULL, PRIMARY KEY (id, chain_index) );"
    "CREATE TABLE downloads_slices (download_id INTEGER NOT NULL,offset INTEGER NOT "
    "NULL,received_bytes INTEGER NOT NULL,finished INTEGER NOT NULL DEFAULT 0,PRIMARY KEY "
    "(download_id, offset) );"
    "CREATE TABLE segments (id INTEGER PRIMARY KEY,name VARCHAR,url_id INTEGER NON NULL);"
    "CREATE TABLE segment_usage (id INTEGER PRIMARY KEY,segment_id INTEGER NOT NULL,time_slot "
    "INTEGER NOT NULL,visit_count INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE content_annotations(visit_id INTEGER PRIMARY KEY,visibility_score "
    "NUMERIC,floc_protected_score NUMERIC,categories VARCHAR,page_topics_model_version "
    "INTEGER,annotation_flags INTEGER NOT NULL,entities VARCHAR,related_searches "
    "VARCHAR,search_normalized_url VARCHAR,search_terms LONGVARCHAR,alternative_title "
    "VARCHAR,page_language VARCHAR,password_state INTEGER DEFAULT 0 NOT NULL,has_url_keyed_image "
    "BOOLEAN NOT NULL);"
    "CREATE TABLE context_annotations(visit_id INTEGER PRIMARY KEY,context_annotation_flags "
    "INTEGER NOT NULL,duration_since_last_visit INTEGER,page_end_reason "
    "INTEGER,total_foreground_duration INTEGER,browser_type INTEGER DEFAULT 0 NOT "
    "NULL,window_id INTEGER DEFAULT -1 NOT NULL,tab_id INTEGER DEFAULT -1 NOT NULL,task_id "
    "INTEGER DEFAULT -1 NOT NULL,root_task_id INTEGER DEFAULT -1 NOT NULL,parent_task_id "
    "INTEGER DEFAULT -1 NOT NULL,response_code INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE clusters(cluster_id INTEGER PRIMARY KEY "
    "AUTOINCREMENT,should_show_on_prominent_ui_surfaces BOOLEAN NOT NULL,label VARCHAR NOT "
    "NULL,raw_label VARCHAR NOT NULL,triggerability_calculated BOOLEAN NOT "
    "NULL,originator_cache_guid TEXT NOT NULL,originator_cluster_id INTEGER NOT NULL);"
    "CREATE TABLE clusters_and_visits(cluster_id INTEGER NOT NULL,visit_id INTEGER NOT "
    "NULL,score NUMERIC DEFAULT 0 NOT NULL,engagement_score NUMERIC DEFAULT 0 NOT "
    "NULL,url_for_deduping LONGVARCHAR NOT NULL,normalized_url LONGVARCHAR NOT "
    "NULL,url_for_display LONGVARCHAR NOT NULL,interaction_state INTEGER DEFAULT 0 NOT "
    "NULL,PRIMARY KEY(cluster_id,visit_id))WITHOUT ROWID;"
    "CREATE TABLE cluster_keywords(cluster_id INTEGER NOT NULL,keyword VARCHAR NOT NULL,type "
    "INTEGER NOT NULL,score NUMERIC NOT NULL,collections VARCHAR NOT NULL);"
    "CREATE TABLE cluster_visit_duplicates(visit_id INTEGER NOT NULL,duplicate_visit_id INTEGER "
    "NOT NULL,PRIMARY KEY(visit_id,duplicate_visit_id))WITHOUT ROWID;"
    "CREATE TABLE visited_links(id INTEGER PRIMARY KEY AUTOINCREMENT,link_url_id INTEGER NOT "
    "NULL,top_level_url LONGVARCHAR NOT NULL,frame_url LONGVARCHAR NOT NULL,visit_count INTEGER "
    "DEFAULT 0 NOT NULL);"
    "CREATE INDEX visits_url_index ON visits (url);"
    "CREATE INDEX keyword_search_terms_index2 ON keyword_search_terms (url_id);"
    "CREATE INDEX segments_url_id ON segments(url_id);"
    "CREATE INDEX segments_usage_seg_id ON segment_usage(segment_id);"
    "CREATE INDEX clusters_for_visit ON clusters_and_visits(visit_id);"
    "CREATE INDEX visited_links_index ON visited_links (link_url_id, top_level_url, frame_url);"
    "CREATE INDEX urls_url_index ON urls (url);";

constexpr char kPermissionsSchema[] =
    "CREATE TABLE moz_perms ( id INTEGER PRIMARY KEY,origin TEXT,type TEXT,permission "
    "INTEGER,expireType INTEGER,expireTime INTEGER,modificationTime INTEGER);"
    "CREATE TABLE moz_hosts ( id INTEGER PRIMARY KEY,host TEXT,type TEXT,permission "
    "INTEGER,expireType INTEGER,expireTime INTEGER,modificationTime INTEGER,isInBrowserElement "
    "INTEGER);"
    "CREATE TABLE moz_origin_interactions ( origin TEXT PRIMARY KEY,lastInteractionTime "
    "INTEGER);";

// 2024-01-01 00:00 UTC in microseconds since 1970.
constexpr std::int64_t kFirstVisit = 1704067200LL * 1000000;
constexpr std::int64_t kMinute = 60LL * 1000000;
// Microseconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kWindowsEpoch = 11644473600LL * 1000000;

// A database made with the schema, filled by `fill` inside one transaction.
template <typename Fill>
bool MakeDatabase(const fs::path& file, const char* schema, Fill fill) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK &&
            sqlite3_exec(db, schema, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  ok = ok && fill(db);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  return sqlite3_close(db) == SQLITE_OK && ok;
}

// Runs a prepared statement with text and integer parameters; answers the new row's id, or -1.
class Inserter {
 public:
  Inserter(sqlite3* db, const char* sql) : db_(db) {
    ok_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) == SQLITE_OK;
  }
  Inserter(const Inserter&) = delete;
  Inserter& operator=(const Inserter&) = delete;
  ~Inserter() { sqlite3_finalize(statement_); }

  template <typename... Values>
  std::int64_t Run(const Values&... values) {
    if (!ok_) return -1;
    int index = 0;
    (Bind(++index, values), ...);
    ok_ = sqlite3_step(statement_) == SQLITE_DONE && sqlite3_reset(statement_) == SQLITE_OK;
    return ok_ ? sqlite3_last_insert_rowid(db_) : -1;
  }

 private:
  void Bind(int index, const std::string& text) {
    sqlite3_bind_text(statement_, index, text.c_str(), -1, SQLITE_TRANSIENT);
  }
  void Bind(int index, std::int64_t number) { sqlite3_bind_int64(statement_, index, number); }

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  bool ok_ = false;
};

// "https://www.a.test/x" as its origin's prefix ("https://") and host ("www.a.test").
std::pair<std::string, std::string> Origin(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {std::string(url.substr(0, url.find(':') + 1)), ""};
  const std::string_view rest = url.substr(scheme + 3);
  return {std::string(url.substr(0, scheme + 3)), std::string(rest.substr(0, rest.find('/')))};
}

}  // namespace

bool MakeFirefoxPlaces(const fs::path& file, const std::vector<std::string>& visits) {
  return MakeDatabase(file, kPlacesSchema, [&](sqlite3* db) {
    Inserter origin(db, "INSERT INTO moz_origins (prefix, host, frecency) VALUES (?, ?, 1)");
    Inserter place(db,
                   "INSERT INTO moz_places (url, guid, origin_id, frecency) VALUES "
                   "(?, 'g' || ?, ?, 100)");
    Inserter visit(db,
                   "INSERT INTO moz_historyvisits (place_id, visit_date, visit_type) "
                   "VALUES (?, ?, 1)");
    std::map<std::pair<std::string, std::string>, std::int64_t> origins;
    std::map<std::string, std::int64_t, std::less<>> places;
    std::int64_t time = kFirstVisit;
    for (const std::string& url : visits) {
      auto found = places.find(url);
      if (found == places.end()) {
        const auto key = Origin(url);
        auto known = origins.find(key);
        if (known == origins.end()) {
          known = origins.emplace(key, origin.Run(key.first, key.second)).first;
        }
        const auto id = static_cast<std::int64_t>(places.size()) + 1;
        found = places.emplace(url, place.Run(url, id, known->second)).first;
      }
      if (found->second < 0 || visit.Run(found->second, time += kMinute) < 0) return false;
    }
    // The counters Firefox's own triggers keep.
    return sqlite3_exec(db,
                        "UPDATE moz_places SET visit_count = (SELECT count(*) FROM "
                        "moz_historyvisits v WHERE v.place_id = moz_places.id), last_visit_date "
                        "= (SELECT max(visit_date) FROM moz_historyvisits v WHERE v.place_id = "
                        "moz_places.id)",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
  });
}

bool MakeChromiumHistory(const fs::path& file, const std::vector<std::string>& visits) {
  return MakeDatabase(file, kHistorySchema, [&](sqlite3* db) {
    Inserter address(db, "INSERT INTO urls (url, title, last_visit_time) VALUES (?, ?, 0)");
    Inserter visit(db, "INSERT INTO visits (url, visit_time, transition) VALUES (?, ?, 805306368)");
    std::map<std::string, std::int64_t, std::less<>> urls;
    std::int64_t time = kFirstVisit + kWindowsEpoch;
    for (const std::string& url : visits) {
      auto found = urls.find(url);
      if (found == urls.end()) found = urls.emplace(url, address.Run(url, url)).first;
      if (found->second < 0 || visit.Run(found->second, time += kMinute) < 0) return false;
    }
    return sqlite3_exec(db,
                        "UPDATE urls SET visit_count = (SELECT count(*) FROM visits v WHERE v.url "
                        "= urls.id), last_visit_time = (SELECT max(visit_time) FROM visits v "
                        "WHERE v.url = urls.id)",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
  });
}

bool MakeFirefoxPermissions(const fs::path& file, const std::vector<std::string>& origins) {
  return MakeDatabase(file, kPermissionsSchema, [&](sqlite3* db) {
    Inserter permission(db,
                        "INSERT INTO moz_perms (origin, type, permission, expireType, "
                        "expireTime, modificationTime) VALUES (?, 'desktop-notification', 1, 0, "
                        "0, ?)");
    std::int64_t time = kFirstVisit / 1000;
    for (const std::string& origin : origins) {
      if (permission.Run(origin, time += 60000) < 0) return false;
    }
    return true;
  });
}

std::string MozLz4Frame(std::string_view text) {
  std::string frame("mozLz40\0", 8);
  for (int i = 0; i < 4; ++i) frame += static_cast<char>((text.size() >> (8 * i)) & 0xff);
  // The token's high half holds the literal count, 15 meaning more follow in 255-steps.
  frame += static_cast<char>(std::min<std::size_t>(text.size(), 15) << 4);
  if (text.size() >= 15) {
    std::size_t rest = text.size() - 15;
    for (; rest >= 255; rest -= 255) frame += static_cast<char>(255);
    frame += static_cast<char>(rest);
  }
  return frame.append(text);
}

bool WriteBytes(const fs::path& file, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace corvane
