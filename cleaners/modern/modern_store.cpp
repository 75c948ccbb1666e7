#include "cleaners/modern/modern_store.h"

#include <algorithm>

#include "platform/text.h"

namespace corvane {

std::vector<ModernProfile> AllModernProfiles() {
  std::vector<ModernProfile> profiles = FirefoxModernProfiles();
  for (ModernProfile& profile : ChromiumProfiles()) profiles.push_back(std::move(profile));
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

}  // namespace corvane
