#include "cleaners/modern/modern_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cleaners/modern/history_database.h"
#include "demo/demo_modern_history.h"
#include "engine/deletion_tally.h"
#include "tests/support/modern_machine.h"
#include "tests/support/sqlite_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using test::Column;
using test::kLocal;
using test::kRoaming;
using test::RunSql;

class ModernHistoryTest : public test::ModernCleanerTest<ModernHistory> {
 protected:
  ModernHistoryTest() {
    firefox_ = test::MakeFirefoxProfile(machine_);
    // Places 1..5 in order of first visit; 3 is bookmarked.
    EXPECT_TRUE(MakeFirefoxPlaces(
        firefox_ / "places.sqlite",
        {"https://www.beta.test/secret-page", "https://beta.testing.com/", "https://beta.test/",
         "https://keep.test/", "file:///C:/users/ann/diary.pdf",
         "https://www.beta.test/secret-page", "https://beta.test/"}));
    RunSql(firefox_ / "places.sqlite",
           "INSERT INTO moz_bookmarks (type, fk, parent, title) VALUES (1, 3, 1, 'Beta');"
           "UPDATE moz_places SET foreign_count = 1, typed = 1 WHERE id = 3;"
           "INSERT INTO moz_inputhistory VALUES (1, 'secret-typed', 1), (3, 'bet', 1), "
           "(4, 'kee', 1);"
           "INSERT INTO moz_places_metadata_search_queries (id, terms) VALUES (1, 'secret "
           "query'), (2, 'kept query');"
           "INSERT INTO moz_places_metadata (place_id, referrer_place_id, search_query_id) "
           "VALUES (1, NULL, 1), (4, 1, NULL), (4, NULL, 2);"
           "INSERT INTO moz_annos (place_id, anno_attribute_id, content) VALUES (1, 1, 'a'), "
           "(4, 1, 'k');"
           "INSERT INTO moz_places_extra VALUES (1, '{}'), (4, '{}');"
           "INSERT INTO moz_historyvisits_extra VALUES (1, '{}'), (4, '{}');");
    EXPECT_TRUE(MakeFirefoxPermissions(
        firefox_ / "permissions.sqlite",
        {"https://beta.test^userContextId=1", "https://beta.testing.com", "https://keep.test"}));

    chrome_ = test::MakeChromeProfile(machine_);
    // Addresses 1..3.
    EXPECT_TRUE(MakeChromiumHistory(
        chrome_ / "History", {"https://beta.test/?q=secret", "https://keep.test/",
                              "https://beta.test/?q=secret", "http://user@BETA.test:8080/x"}));
    RunSql(chrome_ / "History",
           "INSERT INTO keyword_search_terms VALUES (2, 1, 'secret', 'secret'), (2, 2, 'k', "
           "'k');"
           "INSERT INTO segments VALUES (1, 'http://beta.test/', 1), (2, 'http://keep.test/', "
           "2);"
           "INSERT INTO segment_usage (segment_id, time_slot, visit_count) VALUES (1, 1, 2), "
           "(2, 1, 1);"
           "INSERT INTO visited_links (link_url_id, top_level_url, frame_url) VALUES "
           "(1, 'https://beta.test/', 'https://beta.test/'), "
           "(2, 'https://beta.test/', 'https://beta.test/'), "
           "(2, 'https://keep.test/', 'https://keep.test/');"
           "INSERT INTO content_annotations (visit_id, annotation_flags, search_terms, "
           "has_url_keyed_image) VALUES (1, 0, 'secret', 0), (2, 0, 'k', 0);"
           "INSERT INTO clusters (cluster_id, should_show_on_prominent_ui_surfaces, label, "
           "raw_label, triggerability_calculated, originator_cache_guid, "
           "originator_cluster_id) VALUES (1, 1, 'secret', 'secret', 1, '', 0), "
           "(2, 1, 'k', 'k', 1, '', 0);"
           "INSERT INTO clusters_and_visits (cluster_id, visit_id, url_for_deduping, "
           "normalized_url, url_for_display) VALUES (1, 1, '', '', ''), (1, 3, '', '', ''), "
           "(2, 2, '', '', '');"
           "INSERT INTO cluster_keywords VALUES (1, 'secret', 0, 1, ''), (2, 'k', 0, 1, '');"
           "INSERT INTO downloads (id, guid, current_path, target_path, start_time, "
           "received_bytes, total_bytes, state, danger_type, interrupt_reason, hash, end_time, "
           "opened, last_access_time, transient, referrer, site_url, embedder_download_data, "
           "tab_url, tab_referrer_url, http_method, by_ext_id, by_ext_name, by_web_app_id, "
           "etag, last_modified, mime_type, original_mime_type) VALUES "
           "(1, 'a', 'C:\\secret.zip', 'C:\\secret.zip', 1, 10, 10, 1, 0, 0, x'', 1, 0, 0, 0, "
           "'', '', '', 'https://keep.test/page', '', '', '', '', '', '', '', '', ''), "
           "(2, 'b', 'C:\\k.zip', 'C:\\k.zip', 1, 10, 10, 1, 0, 0, x'', 1, 0, 0, 0, '', '', '', "
           "'https://beta.test/', '', '', '', '', '', '', '', '', '');"
           "INSERT INTO downloads_url_chains VALUES (1, 0, 'https://beta.test/secret.zip'), "
           "(1, 1, 'https://keep.test/moved.zip'), (2, 0, 'https://keep.test/k.zip');"
           "INSERT INTO downloads_slices VALUES (1, 0, 10, 1), (2, 0, 10, 1);");
  }

  fs::path firefox_;
  fs::path chrome_;
};

TEST_F(ModernHistoryTest, ScanCountsPagesPerHostAndEraseLeavesNoTraceOfTheSelectedOnes) {
  BrowserResults results = Scan();
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  ASSERT_TRUE(firefox.domains.contains("beta.test"));
  // Two pages with two visits each, and the permission.
  EXPECT_EQ(firefox.domains.at("beta.test").itemCount, 3u);
  EXPECT_EQ(firefox.domains.at("beta.test").hitTotal, 4u);
  EXPECT_GT(firefox.domains.at("beta.test").lastAccess, 0u);
  EXPECT_EQ(firefox.domains.at("beta.testing.com").itemCount, 2u);
  EXPECT_EQ(firefox.domains.at("file:").itemCount, 1u);
  const BrowserScanResult& chrome = results[BrowserCode::Chrome];
  // Two addresses, and the download asked for from its host (redirected elsewhere).
  EXPECT_EQ(chrome.domains.at("beta.test").itemCount, 3u);
  EXPECT_EQ(chrome.domains.at("beta.test").hitTotal, 3u);
  EXPECT_EQ(chrome.domains.at("keep.test").itemCount, 2u);

  Select(results, "beta.test");
  Select(results, "file:");
  DeletionAccumulator tally;
  ASSERT_TRUE(cleaner_.Erase(results, progress_, &tally));
  // Firefox: 4 visits, 1 visit of the file, 1 permission; Chrome: 3 visits, 1 download.
  EXPECT_EQ(tally.Erased().items, 10u);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("keep.test").status, DomainStatus::Found);

  BrowserResults left = Scan();
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("beta.test"));
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("file:"));
  EXPECT_EQ(left[BrowserCode::Firefox].domains.at("beta.testing.com").itemCount, 2u);
  EXPECT_EQ(left[BrowserCode::Firefox].domains.at("keep.test").itemCount, 2u);
  EXPECT_FALSE(left[BrowserCode::Chrome].domains.contains("beta.test"));
  EXPECT_EQ(left[BrowserCode::Chrome].domains.at("keep.test").itemCount, 2u);

  // Firefox: the bookmarked page stays without its visits; nothing else of the host is left.
  const fs::path places = firefox_ / "places.sqlite";
  EXPECT_EQ(Column(places,
                   "SELECT id || ':' || visit_count || ':' || ifnull(last_visit_date, "
                   "'none') || ':' || typed FROM moz_places ORDER BY id"),
            (std::vector<std::string>{"2:1:" +
                                          Column(places,
                                                 "SELECT max(visit_date) FROM "
                                                 "moz_historyvisits WHERE place_id "
                                                 "= 2")[0] +
                                          ":0",
                                      "3:0:none:0",
                                      "4:1:" +
                                          Column(places,
                                                 "SELECT visit_date FROM "
                                                 "moz_historyvisits WHERE "
                                                 "place_id = 4")[0] +
                                          ":0"}));
  EXPECT_EQ(Column(places, "SELECT place_id FROM moz_historyvisits ORDER BY place_id"),
            (std::vector<std::string>{"2", "4"}));
  EXPECT_EQ(Column(places, "SELECT input FROM moz_inputhistory"), std::vector<std::string>{"kee"});
  EXPECT_EQ(Column(places,
                   "SELECT place_id || ':' || ifnull(referrer_place_id, '-') FROM "
                   "moz_places_metadata"),
            std::vector<std::string>{"4:-"});
  EXPECT_EQ(Column(places, "SELECT terms FROM moz_places_metadata_search_queries"),
            std::vector<std::string>{"kept query"});
  EXPECT_EQ(Column(places, "SELECT place_id FROM moz_annos"), std::vector<std::string>{"4"});
  EXPECT_EQ(Column(places, "SELECT place_id FROM moz_places_extra"), std::vector<std::string>{"4"});
  EXPECT_EQ(Column(places,
                   "SELECT count(*) FROM moz_historyvisits_extra WHERE visit_id NOT IN "
                   "(SELECT id FROM moz_historyvisits)"),
            std::vector<std::string>{"0"});
  // The origin of the bookmarked page is still used; the others of the host and the file went.
  EXPECT_EQ(Column(places, "SELECT prefix || host FROM moz_origins ORDER BY id"),
            (std::vector<std::string>{"https://beta.testing.com", "https://beta.test",
                                      "https://keep.test"}));
  EXPECT_EQ(Column(places, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  for (const char* gone : {"secret-page", "secret-typed", "secret query", "diary.pdf"}) {
    EXPECT_EQ(ReadHostFile(places).find(gone), std::string::npos) << gone;
  }
  EXPECT_EQ(Column(firefox_ / "permissions.sqlite", "SELECT origin FROM moz_perms ORDER BY id"),
            (std::vector<std::string>{"https://beta.testing.com", "https://keep.test"}));

  // Chromium: every row keyed by the host's addresses or visits went, the rest stayed.
  const fs::path history = chrome_ / "History";
  EXPECT_EQ(Column(history, "SELECT url FROM urls"),
            std::vector<std::string>{"https://keep.test/"});
  EXPECT_EQ(Column(history, "SELECT url FROM visits"), std::vector<std::string>{"2"});
  EXPECT_EQ(Column(history, "SELECT term FROM keyword_search_terms"),
            std::vector<std::string>{"k"});
  EXPECT_EQ(Column(history, "SELECT segment_id FROM segment_usage"), std::vector<std::string>{"2"});
  EXPECT_EQ(Column(history, "SELECT top_level_url FROM visited_links"),
            std::vector<std::string>{"https://keep.test/"});
  EXPECT_EQ(Column(history, "SELECT visit_id FROM content_annotations"),
            std::vector<std::string>{"2"});
  EXPECT_EQ(Column(history, "SELECT label FROM clusters"), std::vector<std::string>{"k"});
  EXPECT_EQ(Column(history, "SELECT keyword FROM cluster_keywords"), std::vector<std::string>{"k"});
  EXPECT_EQ(Column(history, "SELECT guid FROM downloads"), std::vector<std::string>{"b"});
  EXPECT_EQ(Column(history, "SELECT count(*) FROM downloads_url_chains WHERE id = 1"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(Column(history, "SELECT download_id FROM downloads_slices"),
            std::vector<std::string>{"2"});
  EXPECT_EQ(ReadHostFile(history).find("secret"), std::string::npos);
}

TEST_F(ModernHistoryTest, BadDatabasesBecomeFailureRowsAndStayUntouched) {
  // A places file whose visits table a much older release would lack, a damaged permissions
  // file, and a History that is a link to a file outside the prefix.
  RunSql(firefox_ / "places.sqlite", "DROP TABLE moz_historyvisits;");
  std::ofstream(firefox_ / "permissions.sqlite", std::ios::binary | std::ios::trunc)
      << "SQLite format 3" << std::string(200, '\x7f');
  const fs::path outside = machine_.HostRoot() / "History";
  EXPECT_TRUE(MakeChromiumHistory(outside, {"https://outside.test/"}));
  fs::remove(chrome_ / "History");
  fs::create_symlink(outside, chrome_ / "History");
  const std::string before = ReadHostFile(outside);

  BrowserResults results = Scan();
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  ASSERT_EQ(firefox.domains.size(), 2u);
  for (const auto& [key, record] : firefox.domains) {
    EXPECT_EQ(record.status, DomainStatus::Failed);
    EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Firefox, key));
  }
  const std::string schema = std::string(kRoaming) +
                             "Mozilla\\Firefox\\Profiles\\ab12.default-release\\places.sqlite: " +
                             std::string(SqliteStatusText(SqliteStatus::Schema));
  EXPECT_TRUE(firefox.domains.contains(schema));
  const BrowserScanResult& chrome = results[BrowserCode::Chrome];
  ASSERT_EQ(chrome.domains.size(), 1u);
  EXPECT_NE(chrome.domains.begin()->first.find("refused"), std::string::npos);

  Select(results, "outside.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(ReadHostFile(outside), before);
}

TEST_F(ModernHistoryTest, AProfileInUseKeepsItsHistoryWhole) {
  machine_.WriteFile(
      std::string(kRoaming) + "Mozilla\\Firefox\\Profiles\\ab12.default-release\\parent.lock", "");
  const test::WineServerLockHolder server(machine_.Prefix());
  BrowserResults results = Scan();
  Select(results, "beta.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Failed);
  // Chrome has no lock file: its history goes.
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(Column(firefox_ / "places.sqlite", "SELECT count(*) FROM moz_historyvisits"),
            std::vector<std::string>{"7"});
  EXPECT_TRUE(Scan()[BrowserCode::Firefox].domains.contains("beta.test"));
}

TEST_F(ModernHistoryTest, SessionFilesGoWholeOnlyWhenEveryHostTheyNameGoes) {
  const fs::path backups = firefox_ / "sessionstore-backups";
  ASSERT_TRUE(
      WriteBytes(firefox_ / "sessionstore.jsonlz4",
                 MozLz4Frame(R"({"windows":[{"tabs":[{"entries":[{"url":)"
                             R"("https://beta.test/open"},{"url":"https://keep.test/"}]}]}]})")));
  ASSERT_TRUE(WriteBytes(backups / "recovery.jsonlz4",
                         MozLz4Frame(R"({"_closedWindows":[{"url":"https://www.beta.test/x"}]})")));
  ASSERT_TRUE(WriteBytes(backups / "recovery.baklz4", "mozLz40\0garbage"));
  const fs::path session = chrome_ / "Sessions" / "Session_13345678901234567";
  const std::string preferences =
      R"({"profile":{"content_settings":{"exceptions":{"site_engagement":{)"
      R"("https://beta.test:443,*":{},"https://keep.test:443,*":{}}}}}})";
  ASSERT_TRUE(WriteBytes(chrome_ / "Preferences", preferences));
  ASSERT_TRUE(WriteBytes(chrome_ / "Sessions" / "Tabs_13345678901234567", ""));
  ASSERT_TRUE(WriteBytes(session, std::string("SNSS\3\0\0\0\x12\0\1\0\0\0", 14) +
                                      std::string("\x17\0\0\0", 4) + "https://beta.test/tab/1" +
                                      std::string("\0\x17\0\0\0", 5) + "https://beta.test/tab/1" +
                                      std::string(1, '\0')));

  BrowserResults results = Scan();
  std::size_t sessionEntries = 0;
  for (const DomainEntry& entry : results[BrowserCode::Firefox].domains.at("beta.test").entries) {
    if (!entry.localFile.empty()) ++sessionEntries;
  }
  EXPECT_EQ(sessionEntries, 2u);
  const std::string damaged = std::string(kRoaming) +
                              "Mozilla\\Firefox\\Profiles\\ab12.default-release\\"
                              "sessionstore-backups\\recovery.baklz4";
  bool damagedListed = false;
  for (const auto& [key, record] : results[BrowserCode::Firefox].domains) {
    if (key.starts_with(damaged + ": damaged"))
      damagedListed = cleaner_.IsFailure(BrowserCode::Firefox, key);
  }
  EXPECT_TRUE(damagedListed);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").hitTotal, 3u);
  // Two addresses and a download in History, and the session's tab counted once.
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").itemCount, 4u);

  // keep.test stays, so the session naming it stays whole, and so does beta.test in Firefox.
  Select(results, "beta.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_FALSE(fs::exists(backups / "recovery.jsonlz4"));
  EXPECT_TRUE(fs::exists(firefox_ / "sessionstore.jsonlz4"));
  EXPECT_TRUE(fs::exists(backups / "recovery.baklz4"));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Failed);
  EXPECT_FALSE(fs::exists(session));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  // The preferences are told, not changed.
  const std::string told = std::string(kLocal) +
                           "Google\\Chrome\\User Data\\Default\\Preferences: site settings of 2 "
                           "sites, left alone (clear them in the browser)";
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Chrome, told));
  EXPECT_EQ(ReadHostFile(chrome_ / "Preferences"), preferences);

  fs::remove(backups / "recovery.baklz4");
  results = Scan();
  Select(results, "beta.test");
  Select(results, "keep.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_FALSE(fs::exists(firefox_ / "sessionstore.jsonlz4"));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
}

TEST(HistoryKeyTest, HostsAreParsedAndOtherAddressesFiledUnderTheirScheme) {
  EXPECT_EQ(HistoryKey("https://www.Beta.Test:443/a?b"), "beta.test");
  EXPECT_EQ(HistoryKey("https://beta.testing.com/"), "beta.testing.com");
  EXPECT_EQ(HistoryKey("FILE:///C:/x.pdf"), "file:");
  EXPECT_EQ(HistoryKey("about:newtab"), "about:");
  EXPECT_EQ(HistoryKey("moz-extension://1234/page.html"), "moz-extension:");
  EXPECT_EQ(HistoryKey("not a url"), "");
  EXPECT_EQ(HistoryKey(":nothing"), "");
  EXPECT_EQ(HistoryKey("1http://a.test/"), "");
  EXPECT_EQ(UnixMicrosToFileTime(0), 0u);
  EXPECT_EQ(UnixMicrosToFileTime(1), 116444736000000010ULL);
  EXPECT_EQ(WindowsMicrosToFileTime(-5), 0u);
}

}  // namespace
}  // namespace corvane
