#include "cleaners/modern/modern_cookies.h"

#include <array>
#include <cstdint>
#include <vector>

namespace corvane {

namespace {

struct CookieStore {
  std::string file;  // machine path
  std::string_view table;
  std::string_view hostColumn;
};

// Chromium moved its cookies to "Network\Cookies"; a profile upgraded in place may keep both.
std::vector<CookieStore> CookieStores(const ModernProfile& profile) {
  if (profile.browser == BrowserCode::Firefox) {
    return {{profile.folder + "cookies.sqlite", "moz_cookies", "host"}};
  }
  return {{profile.folder + "Network\\Cookies", "cookies", "host_key"},
          {profile.folder + "Cookies", "cookies", "host_key"}};
}

std::vector<ModernProfile> AllProfiles() {
  std::vector<ModernProfile> profiles = FirefoxModernProfiles();
  for (ModernProfile& profile : ChromiumProfiles()) profiles.push_back(std::move(profile));
  return profiles;
}

std::string_view ColumnText(sqlite3_stmt* row, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
  if (text == nullptr) return {};
  return {text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))};
}

SqliteStatus OpenCookies(SqliteStore& store, const CookieStore& cookies, SqliteAccess access) {
  const SqliteStatus status = store.Open(cookies.file, access);
  if (status != SqliteStatus::Ok) return status;
  return store.CheckColumns(cookies.table, {cookies.hostColumn});
}

std::string HostQuery(const CookieStore& cookies) {
  return "SELECT rowid, \"" + std::string(cookies.hostColumn) + "\" FROM \"" +
         std::string(cookies.table) + "\"";
}

}  // namespace

std::string CookieHostKey(std::string_view host) {
  if (host.starts_with('.')) host.remove_prefix(1);
  if (host.starts_with("www.") || host.starts_with("ftp.")) host.remove_prefix(4);
  return std::string(host);
}

bool ModernCookies::IsFailure(BrowserCode browser, std::string_view key) const {
  return failures_.contains(std::pair<BrowserCode, std::string>(browser, std::string(key)));
}

void ModernCookies::AddFailure(BrowserResults& results, BrowserCode browser,
                               const std::string& file, SqliteStatus status) {
  BrowserScanResult& result = results[browser];
  result.browser = browser;
  std::string key = file + ": " + std::string(SqliteStatusText(status));
  DomainRecord& record = result.domains[key];
  record.name = key;
  record.status = DomainStatus::Failed;
  failures_.emplace(browser, std::move(key));
}

bool ModernCookies::Scan(BrowserResults& results, ProgressReporter& progress) {
  failures_.clear();
  for (const ModernProfile& profile : AllProfiles()) {
    if (progress.IsCancelled()) return false;
    progress.Report(profile.folder);
    for (const CookieStore& cookies : CookieStores(profile)) {
      SqliteStore store;
      SqliteStatus status = OpenCookies(store, cookies, SqliteAccess::Read);
      if (status == SqliteStatus::Missing) continue;
      BrowserScanResult scanned;
      if (status == SqliteStatus::Ok) {
        status = store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
          DomainEntry entry;
          entry.url = ColumnText(row, 1);
          const std::string key = CookieHostKey(entry.url);
          scanned.AddEntry(key, std::move(entry));
          return !progress.IsCancelled();
        });
      }
      if (progress.IsCancelled()) return false;
      if (status != SqliteStatus::Ok) {
        // Half a table is no count: the database counts as unread.
        AddFailure(results, profile.browser, cookies.file, status);
        continue;
      }
      BrowserScanResult& result = results[profile.browser];
      result.browser = profile.browser;
      for (auto& [key, record] : scanned.domains) {
        for (DomainEntry& entry : record.entries) result.AddEntry(key, std::move(entry));
      }
    }
  }
  return true;
}

bool ModernCookies::Erase(BrowserResults& results, ProgressReporter& progress,
                          DeletionTally* tally) {
  // The failures of the scan are looked at again: what fails now is recorded anew.
  for (const auto& [browser, key] : failures_) {
    if (const auto found = results.find(browser); found != results.end()) {
      found->second.domains.erase(key);
    }
  }
  failures_.clear();
  std::set<std::pair<BrowserCode, std::string>, std::less<>> failed;
  for (const ModernProfile& profile : AllProfiles()) {
    const auto found = results.find(profile.browser);
    if (found == results.end()) continue;
    BrowserScanResult& result = found->second;
    for (const CookieStore& cookies : CookieStores(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(cookies.file);
      SqliteStore store;
      SqliteStatus status = IsProfileInUse(profile)
                                ? SqliteStatus::InUse
                                : OpenCookies(store, cookies, SqliteAccess::Change);
      if (status == SqliteStatus::Missing) continue;
      std::vector<std::int64_t> rowids;
      std::set<std::string> keys;
      bool listed = false;
      if (status == SqliteStatus::Ok) {
        status = store.Scan(HostQuery(cookies), [&](sqlite3_stmt* row) {
          std::string key = CookieHostKey(ColumnText(row, 1));
          const auto record = result.domains.find(key);
          if (record != result.domains.end() && record->second.status == DomainStatus::Selected) {
            rowids.push_back(sqlite3_column_int64(row, 0));
            keys.insert(std::move(key));
          }
          return true;
        });
        listed = status == SqliteStatus::Ok;
      }
      if (status == SqliteStatus::Ok) status = store.DeleteRows(cookies.table, rowids);
      if (status != SqliteStatus::Ok) {
        // Unread, every Selected domain may have rows in it: none of them is known to be gone.
        for (const auto& [key, record] : result.domains) {
          if (record.status == DomainStatus::Selected && (!listed || keys.contains(key))) {
            failed.emplace(profile.browser, key);
          }
        }
        AddFailure(results, profile.browser, cookies.file, status);
        continue;
      }
      if (tally != nullptr && !rowids.empty()) {
        tally->AddDone({static_cast<std::uint32_t>(rowids.size()), 0});
      }
    }
  }
  for (auto& [browser, result] : results) {
    if (browser < BrowserCode::Firefox) continue;
    for (auto& [key, record] : result.domains) {
      if (record.status != DomainStatus::Selected) continue;
      if (failed.contains(std::pair<BrowserCode, std::string>(browser, key))) {
        record.status = DomainStatus::Failed;
      } else {
        record.status = DomainStatus::Erased;
        record.entries.clear();
      }
    }
    result.Recount();
  }
  return true;
}

}  // namespace corvane
