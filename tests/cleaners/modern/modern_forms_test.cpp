#include "cleaners/modern/modern_forms.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cleaners/modern/form_store.h"
#include "cleaners/modern/logins_json.h"
#include "demo/demo_modern_forms.h"
#include "engine/deletion_tally.h"
#include "tests/support/modern_machine.h"
#include "tests/support/sqlite_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr char kFirefoxProfile[] = "Mozilla\\Firefox\\Profiles\\ab12.default-release\\";

using test::Column;
using test::kLocal;
using test::kRoaming;
using test::RunSql;

class ModernFormsTest : public test::ModernCleanerTest<ModernForms> {
 protected:
  ModernFormsTest() {
    firefox_ = test::MakeFirefoxProfile(machine_);
    EXPECT_TRUE(MakeFirefoxFormHistory(firefox_ / "formhistory.sqlite",
                                       {{"searchbar-history", "secret search", ""},
                                        {"email", "ann@beta.test", "beta.test"},
                                        {"q", "secret boots", "https://www.beta.test"},
                                        {"q", "other", "https://beta.testing.com"},
                                        {"address", "1 Main St", "Profile Import"}}));
    EXPECT_TRUE(
        MakeFirefoxLogins(firefox_ / "logins.json",
                          {"https://beta.test", "chrome://FirefoxAccounts", "https://keep.test"}));
    fs::copy_file(firefox_ / "logins.json", firefox_ / "logins-backup.json");
    fs::permissions(firefox_ / "logins.json",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    chrome_ = test::MakeChromeProfile(machine_);
    EXPECT_TRUE(
        MakeChromiumWebData(chrome_ / "Web Data",
                            {{"name", "Ann", ""}, {"city", "Springfield", ""}, {"name", "Bob", ""}},
                            {"https://beta.test/search?q={searchTerms}"}));
    EXPECT_TRUE(
        MakeChromiumLoginData(chrome_ / "Login Data", {"https://beta.test", "https://keep.test"}));
  }

  fs::path firefox_;
  fs::path chrome_;
};

TEST_F(ModernFormsTest, FieldsSitesAndSavedLoginsAreFoundAndOnlyTheSelectedGo) {
  BrowserResults results = Scan();
  const BrowserScanResult& firefox = results[BrowserCode::Firefox];
  // Filed by the site it was typed on where the browser says so, else by field name.
  ASSERT_TRUE(firefox.domains.contains("beta.test"));
  EXPECT_EQ(firefox.domains.at("beta.test").itemCount, 2u);
  EXPECT_EQ(firefox.domains.at("beta.testing.com").itemCount, 1u);
  ASSERT_TRUE(firefox.domains.contains("searchbar-history"));
  const DomainEntry& typed = firefox.domains.at("searchbar-history").entries.at(0);
  EXPECT_EQ(typed.url, "searchbar-history");
  EXPECT_EQ(typed.hits, 1u);
  EXPECT_GT(typed.lastAccess, 133000000000000000u);  // the 2020s as FILETIME
  EXPECT_EQ(firefox.domains.at("saved logins: beta.test").itemCount, 1u);
  EXPECT_EQ(firefox.domains.at("saved logins: beta.test").entries.at(0).url, "https://beta.test");
  EXPECT_TRUE(firefox.domains.contains("saved logins: keep.test"));
  // A source that names no site files the value by its field.
  EXPECT_EQ(firefox.domains.at("address").itemCount, 1u);
  // The browser's own account is no site's login.
  EXPECT_EQ(firefox.domains.size(), 6u);
  // What was typed is never shown.
  for (const auto& [key, record] : firefox.domains) {
    for (const DomainEntry& entry : record.entries) {
      EXPECT_EQ(entry.url.find("secret"), std::string::npos);
    }
  }

  const BrowserScanResult& chrome = results[BrowserCode::Chrome];
  EXPECT_EQ(chrome.domains.at("name").itemCount, 2u);
  EXPECT_EQ(chrome.domains.at("city").itemCount, 1u);
  EXPECT_EQ(chrome.domains.at("beta.test").itemCount, 1u);  // the engine made from its form
  EXPECT_EQ(chrome.domains.at("saved logins: beta.test").entries.at(0).url, "https://beta.test/");
  EXPECT_GT(chrome.domains.at("saved logins: beta.test").lastAccess, 133000000000000000u);
  // Not the engines the browser ships.
  EXPECT_EQ(chrome.domains.size(), 5u);

  Select(results, "beta.test");
  Select(results, "saved logins: beta.test");
  Select(results, "name");
  DeletionAccumulator tally;
  ASSERT_TRUE(cleaner_.Erase(results, progress_, &tally));
  EXPECT_EQ(tally.Erased().items, 2u + 1u + 2u + 1u + 1u);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("saved logins: beta.test").status,
            DomainStatus::Erased);
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("city").status, DomainStatus::Found);

  const fs::path history = firefox_ / "formhistory.sqlite";
  EXPECT_EQ(Column(history, "SELECT fieldname FROM moz_formhistory ORDER BY id"),
            (std::vector<std::string>{"searchbar-history", "q", "address"}));
  EXPECT_EQ(Column(history, "SELECT source FROM moz_sources ORDER BY id"),
            (std::vector<std::string>{"https://beta.testing.com", "Profile Import"}));
  EXPECT_EQ(Column(history, "SELECT history_id FROM moz_history_to_sources ORDER BY history_id"),
            (std::vector<std::string>{"4", "5"}));
  // Noted as the browser notes what it removes, so that its sync does not bring them back.
  EXPECT_EQ(Column(history, "SELECT guid FROM moz_deleted_formhistory ORDER BY guid"),
            (std::vector<std::string>{"guid2", "guid3"}));
  EXPECT_EQ(Column(history,
                   "SELECT count(*) FROM moz_deleted_formhistory WHERE timeDeleted > "
                   "1700000000000000"),
            (std::vector<std::string>{"2"}));
  EXPECT_EQ(ReadHostFile(history).find("secret boots"), std::string::npos);
  EXPECT_EQ(ReadHostFile(history).find("ann@beta.test"), std::string::npos);

  const fs::path webData = chrome_ / "Web Data";
  EXPECT_EQ(Column(webData, "SELECT value FROM autofill"),
            (std::vector<std::string>{"Springfield"}));
  EXPECT_EQ(Column(webData, "SELECT id FROM keywords ORDER BY id"),
            (std::vector<std::string>{"2", "3"}));
  const fs::path logins = chrome_ / "Login Data";
  EXPECT_EQ(Column(logins, "SELECT signon_realm FROM logins"),
            (std::vector<std::string>{"https://keep.test/"}));
  EXPECT_EQ(Column(logins, "SELECT parent_id FROM password_notes"),
            (std::vector<std::string>{"2"}));

  // Both Firefox files lost the login, kept everything else byte for byte, and logins.json its
  // mode.
  for (const char* file : {"logins.json", "logins-backup.json"}) {
    const std::string text = ReadHostFile(firefox_ / file);
    LoginsJson json;
    ASSERT_EQ(json.Parse(text), LoginsJsonStatus::Ok) << file;
    ASSERT_EQ(json.Logins().size(), 2u);
    EXPECT_EQ(json.Logins()[0].hostname, "chrome://FirefoxAccounts");
    EXPECT_EQ(text.find("beta.test"), std::string::npos);
    EXPECT_NE(
        text.find("\"encryptedUsername\":\"MDoEEPgAAAAAAAAAAAAAAAAAAAEwFAYIKoZIhvcNAwcECHVzZXIt"
                  "3\\u002B\\/==\""),
        std::string::npos);
    EXPECT_TRUE(text.ends_with("\"version\":3}"));
  }
  struct stat status {};
  ASSERT_EQ(::stat((firefox_ / "logins.json").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
  EXPECT_FALSE(fs::exists(firefox_ / "logins.json.corvane-new"));

  BrowserResults left = Scan();
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("beta.test"));
  EXPECT_FALSE(left[BrowserCode::Firefox].domains.contains("saved logins: beta.test"));
  EXPECT_TRUE(left[BrowserCode::Firefox].domains.contains("saved logins: keep.test"));
  EXPECT_TRUE(left[BrowserCode::Firefox].domains.contains("beta.testing.com"));
  EXPECT_FALSE(left[BrowserCode::Chrome].domains.contains("name"));
  EXPECT_FALSE(left[BrowserCode::Chrome].domains.contains("beta.test"));
}

TEST_F(ModernFormsTest, BadStoresBecomeFailureRowsAndStayUntouched) {
  // Damaged form history, a Chromium store of an unknown layout, a link to logins kept outside
  // the prefix, and logins that are no JSON.
  RunSql(firefox_ / "formhistory.sqlite", "PRAGMA journal_mode=DELETE;");
  std::string damaged = ReadHostFile(firefox_ / "formhistory.sqlite");
  damaged.replace(100, 4000, std::string(4000, '\x5a'));
  std::ofstream(firefox_ / "formhistory.sqlite", std::ios::binary | std::ios::trunc) << damaged;
  RunSql(chrome_ / "Web Data", "DROP TABLE keywords;");
  const fs::path outside = machine_.HostRoot() / "logins.json";
  EXPECT_TRUE(MakeFirefoxLogins(outside, {"https://outside.test"}));
  const std::string outsideText = ReadHostFile(outside);
  fs::remove(firefox_ / "logins.json");
  fs::create_symlink(outside, firefox_ / "logins.json");
  // Longer than a page: SQLite takes a shorter file for an empty database.
  std::ofstream(chrome_ / "Login Data For Account", std::ios::binary)
      << "{\"not\": sqlite" << std::string(5000, ' ');
  std::ofstream(firefox_ / "signons.sqlite", std::ios::binary)
      << "SQLite format 3" << std::string(5000, '\x01');

  BrowserResults results = Scan();
  std::vector<std::string> failures;
  for (const auto& [browser, result] : results) {
    for (const auto& [key, record] : result.domains) {
      if (!cleaner_.IsFailure(browser, key)) continue;
      EXPECT_EQ(record.status, DomainStatus::Failed);
      failures.push_back(key);
    }
  }
  const std::string profile = std::string(kRoaming) + kFirefoxProfile;
  const std::string chrome = std::string(kLocal) + "Google\\Chrome\\User Data\\Default\\";
  const auto text = [](SqliteStatus status) { return std::string(SqliteStatusText(status)); };
  EXPECT_EQ(failures, (std::vector<std::string>{
                          profile + "formhistory.sqlite: " + text(SqliteStatus::Corrupt),
                          profile + "logins.json: " + text(SqliteStatus::Refused),
                          profile + "signons.sqlite: " + text(SqliteStatus::Corrupt),
                          chrome + "Login Data For Account: " + text(SqliteStatus::Corrupt),
                          chrome + "Web Data: " + text(SqliteStatus::Schema)}));
  // The stores that could be read still count.
  EXPECT_TRUE(results[BrowserCode::Chrome].domains.contains("saved logins: keep.test"));

  // A file that is no JSON, and a store with another hard link, are never rewritten.
  fs::remove(firefox_ / "logins.json");
  std::ofstream(firefox_ / "logins.json", std::ios::binary) << "{\"logins\":[{\"hostname\":";
  fs::create_hard_link(chrome_ / "Login Data", machine_.HostRoot() / "Login Data copy");
  const std::string loginData = ReadHostFile(chrome_ / "Login Data");
  const std::string backup = ReadHostFile(firefox_ / "logins-backup.json");
  results = Scan();
  for (auto& [browser, result] : results) {
    for (auto& [key, record] : result.domains) record.status = DomainStatus::Selected;
  }
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("saved logins: keep.test").status,
            DomainStatus::Failed);
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Chrome,
                                 chrome + "Login Data: " + text(SqliteStatus::Refused)));
  EXPECT_TRUE(cleaner_.IsFailure(BrowserCode::Firefox,
                                 profile + "logins.json: " + text(SqliteStatus::Corrupt)));
  EXPECT_EQ(ReadHostFile(chrome_ / "Login Data"), loginData);
  EXPECT_EQ(ReadHostFile(outside), outsideText);
  EXPECT_EQ(ReadHostFile(firefox_ / "logins.json"), "{\"logins\":[{\"hostname\":");
  // Firefox's logins could not be read, so none was chosen: its backup keeps them all.
  EXPECT_EQ(ReadHostFile(firefox_ / "logins-backup.json"), backup);
}

TEST_F(ModernFormsTest, AProfileTheBrowserHoldsIsLeftAlone) {
  machine_.WriteFile(std::string(kRoaming) + kFirefoxProfile + "parent.lock", "");
  const std::string logins = ReadHostFile(firefox_ / "logins.json");
  const std::string history = ReadHostFile(firefox_ / "formhistory.sqlite");
  const test::WineServerLockHolder server(machine_.Prefix());
  BrowserResults results = Scan();
  Select(results, "beta.test");
  Select(results, "saved logins: beta.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("beta.test").status, DomainStatus::Failed);
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("saved logins: beta.test").status,
            DomainStatus::Failed);
  // Chrome has no lock file: its stores changed.
  EXPECT_EQ(results[BrowserCode::Chrome].domains.at("beta.test").status, DomainStatus::Erased);
  EXPECT_EQ(ReadHostFile(firefox_ / "logins.json"), logins);
  EXPECT_EQ(ReadHostFile(firefox_ / "formhistory.sqlite"), history);
  // One row per store there is, none for those the profile does not have.
  const std::string profile = std::string(kRoaming) + kFirefoxProfile;
  EXPECT_TRUE(cleaner_.IsFailure(
      BrowserCode::Firefox,
      profile + "logins.json: " + std::string(SqliteStatusText(SqliteStatus::InUse))));
  EXPECT_FALSE(cleaner_.IsFailure(
      BrowserCode::Firefox,
      profile + "signons.sqlite: " + std::string(SqliteStatusText(SqliteStatus::InUse))));
}

TEST_F(ModernFormsTest, OldSignonsAreSavedLoginsToo) {
  RunSql(firefox_ / "signons.sqlite",
         "CREATE TABLE moz_logins (id INTEGER PRIMARY KEY, hostname TEXT NOT NULL, httpRealm "
         "TEXT, formSubmitURL TEXT, usernameField TEXT NOT NULL, passwordField TEXT NOT NULL, "
         "encryptedUsername TEXT NOT NULL, encryptedPassword TEXT NOT NULL, guid TEXT);"
         "INSERT INTO moz_logins VALUES (1, 'https://old.test', NULL, 'https://old.test', 'u', "
         "'p', 'MDoE', 'MDoE', '{1}'), (2, 'https://beta.test:8443', NULL, '', 'u', 'p', 'MDoE', "
         "'MDoE', '{2}');");
  BrowserResults results = Scan();
  EXPECT_EQ(results[BrowserCode::Firefox].domains.at("saved logins: beta.test").itemCount, 2u);
  Select(results, "saved logins: old.test");
  ASSERT_TRUE(cleaner_.Erase(results, progress_, nullptr));
  EXPECT_EQ(Column(firefox_ / "signons.sqlite", "SELECT id FROM moz_logins"),
            (std::vector<std::string>{"2"}));
}

TEST(SavedLoginsKeyTest, OnlyItsOwnKeysHaveAHost) {
  EXPECT_EQ(SavedLoginsHost(SavedLoginsKey("beta.test")), "beta.test");
  EXPECT_FALSE(SavedLoginsHost("beta.test"));
  EXPECT_FALSE(SavedLoginsHost("saved logins"));
}

}  // namespace
}  // namespace corvane
