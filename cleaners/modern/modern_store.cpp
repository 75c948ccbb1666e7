#include "cleaners/modern/modern_store.h"

#include <algorithm>

#include "platform/text.h"

namespace corvane {

std::vector<ModernProfile> AllModernProfiles() {
  std::vector<ModernProfile> profiles = FirefoxModernProfiles();
  for (ModernProfile& profile : ChromiumProfiles()) profiles.push_back(std::move(profile));
  for (ModernProfile& profile : LauncherProfiles()) profiles.push_back(std::move(profile));
  return profiles;
}

std::string_view ColumnText(sqlite3_stmt* row, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
  if (text == nullptr) return {};
  return {text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))};
}

std::string HostKey(std::string_view host) {
  if (host.starts_with('.')) host.remove_prefix(1);
  if (host.starts_with("www.") || host.starts_with("ftp.")) host.remove_prefix(4);
  return std::string(host);
}

std::string UrlHostKey(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos) return {};
  std::string scheme(url.substr(0, colon));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme != "http" && scheme != "https" && scheme != "ftp") return {};
  std::string_view rest = url.substr(colon + 1);
  if (!rest.starts_with("//")) return {};
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  if (host.starts_with('[')) {
    host = host.substr(0, host.find(']') + 1);  // an IPv6 address keeps its colons
  } else {
    host = host.substr(0, host.find(':'));
  }
  while (host.ends_with('.')) host.remove_suffix(1);
  std::string key(host);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return HostKey(key);
}

void ModernFailures::Add(BrowserResults& results, BrowserCode browser, const std::string& file,
                         SqliteStatus status) {
  Add(results, browser, file, SqliteStatusText(status));
}

void ModernFailures::Add(BrowserResults& results, BrowserCode browser, const std::string& file,
                         std::string_view why) {
  BrowserScanResult& result = results[browser];
  result.browser = browser;
  std::string key = file + ": " + std::string(why);
  DomainRecord& record = result.domains[key];
  record.name = key;
  record.status = DomainStatus::Failed;
  keys_.emplace(browser, std::move(key));
}

bool ModernFailures::Contains(BrowserCode browser, std::string_view key) const {
  return keys_.contains(Key(browser, std::string(key)));
}

void ModernFailures::DropFrom(BrowserResults& results) {
  for (const auto& [browser, key] : keys_) {
    if (const auto found = results.find(browser); found != results.end()) {
      found->second.domains.erase(key);
    }
  }
  keys_.clear();
}

void SettleModernErase(BrowserResults& results, const std::set<ModernFailures::Key>& failed) {
  for (auto& [browser, result] : results) {
    if (browser < BrowserCode::Firefox) continue;
    for (auto& [key, record] : result.domains) {
      if (record.status != DomainStatus::Selected) continue;
      if (failed.contains(ModernFailures::Key(browser, key))) {
        record.status = DomainStatus::Failed;
      } else {
        record.status = DomainStatus::Erased;
        record.entries.clear();
      }
    }
    result.Recount();
  }
}

ModernScan::ModernScan(BrowserResults& results, ModernFailures& failures,
                       ProgressReporter& progress)
    : results_(results), failures_(failures), progress_(progress) {
  failures_.Clear();
}

bool ModernScan::Store(BrowserCode browser, const std::string& file,
                       const std::function<SqliteStatus()>& open,
                       const std::function<SqliteStatus(const ModernEntrySink&)>& list) {
  SqliteStatus status = open();
  if (status == SqliteStatus::Missing) return true;
  BrowserScanResult scanned;
  if (status == SqliteStatus::Ok) {
    status = list([&](const std::string& key, DomainEntry entry) {
      scanned.AddEntry(key, std::move(entry));
      return !progress_.IsCancelled();
    });
  }
  if (progress_.IsCancelled()) return false;
  if (status != SqliteStatus::Ok) {
    failures_.Add(results_, browser, file, status);
    return true;
  }
  BrowserScanResult& result = results_[browser];
  result.browser = browser;
  for (auto& [key, record] : scanned.domains) {
    for (DomainEntry& entry : record.entries) result.AddEntry(key, std::move(entry));
  }
  return true;
}

ModernErase::ModernErase(BrowserResults& results, ModernFailures& failures,
                         ProgressReporter& progress, DeletionTally* tally)
    : results_(results), failures_(failures), progress_(progress), tally_(tally) {
  failures_.DropFrom(results_);
}

BrowserScanResult* ModernErase::ResultOf(BrowserCode browser) {
  const auto found = results_.find(browser);
  return found == results_.end() ? nullptr : &found->second;
}

bool ModernErase::IsSelected(const BrowserScanResult& result, const std::string& key) {
  const auto record = result.domains.find(key);
  return record != result.domains.end() && record->second.status == DomainStatus::Selected;
}

bool ModernErase::Store(BrowserCode browser, const std::string& file,
                        const std::function<SqliteStatus()>& open,
                        const std::function<SqliteStatus(ModernStoreChange&)>& change) {
  if (progress_.IsCancelled()) return false;
  progress_.Report(file);
  SqliteStatus status = open();
  if (status == SqliteStatus::Missing) return true;
  ModernStoreChange changed;
  if (status == SqliteStatus::Ok) {
    status = change(changed);
    if (changed.cancelled) return false;
  }
  if (status != SqliteStatus::Ok) {
    // Unread, every Selected key may have entries in it: none of them is known to be gone.
    Fail(browser, file, SqliteStatusText(status), !changed.listed, changed.keys);
    return true;
  }
  if (tally_ != nullptr && changed.items > 0) tally_->AddDone({changed.items, 0});
  return true;
}

void ModernErase::Fail(BrowserCode browser, const std::string& file, std::string_view why,
                       bool unread, const std::set<std::string, std::less<>>& keys) {
  if (const BrowserScanResult* result = ResultOf(browser); result != nullptr) {
    for (const auto& [key, record] : result->domains) {
      if (record.status == DomainStatus::Selected && (unread || keys.contains(key))) {
        failed_.emplace(browser, key);
      }
    }
  }
  failures_.Add(results_, browser, file, why);
}

}  // namespace corvane
