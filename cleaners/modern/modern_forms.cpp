#include "cleaners/modern/modern_forms.h"

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "cleaners/modern/form_store.h"
#include "platform/folder_handle.h"

namespace corvane {

namespace {

bool Exists(const std::string& path) {
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  struct stat status {};
  return entry && entry->folder.Status(entry->name, &status);
}

}  // namespace

bool ModernForms::Scan(BrowserResults& results, ProgressReporter& progress) {
  failures_.Clear();
  for (const ModernProfile& profile : AllModernProfiles()) {
    if (progress.IsCancelled()) return false;
    progress.Report(profile.folder);
    for (const FormFileName& name : FormFiles(profile)) {
      // The backup holds the same logins as the file itself: counted once, erased from both.
      if (name.kind == FormFile::LoginsBackup) continue;
      FormStore store;
      SqliteStatus status = store.Open(name, SqliteAccess::Read);
      if (status == SqliteStatus::Missing) continue;
      BrowserScanResult scanned;
      if (status == SqliteStatus::Ok) {
        status = store.List([&](FormRow& row) {
          scanned.AddEntry(row.key, std::move(row.entry));
          return !progress.IsCancelled();
        });
      }
      if (progress.IsCancelled()) return false;
      if (status != SqliteStatus::Ok) {
        // Half a store is no count: the store counts as unread.
        failures_.Add(results, profile.browser, name.path, status);
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

bool ModernForms::Erase(BrowserResults& results, ProgressReporter& progress, DeletionTally* tally) {
  failures_.DropFrom(results);
  std::set<ModernFailures::Key> failed;
  for (const ModernProfile& profile : AllModernProfiles()) {
    const auto found = results.find(profile.browser);
    if (found == results.end()) continue;
    BrowserScanResult& result = found->second;
    const bool inUse = IsProfileInUse(profile);
    for (const FormFileName& name : FormFiles(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(name.path);
      if (!Exists(name.path)) continue;
      FormStore store;
      SqliteStatus status = inUse ? SqliteStatus::InUse : store.Open(name, SqliteAccess::Change);
      if (status == SqliteStatus::Missing) continue;
      std::vector<std::pair<std::size_t, std::int64_t>> rows;
      std::set<std::string> keys;
      bool listed = false;
      if (status == SqliteStatus::Ok) {
        status = store.List([&](FormRow& row) {
          const auto record = result.domains.find(row.key);
          if (record != result.domains.end() && record->second.status == DomainStatus::Selected) {
            rows.emplace_back(row.table, row.id);
            keys.insert(std::move(row.key));
          }
          return !progress.IsCancelled();
        });
        if (progress.IsCancelled()) return false;
        listed = status == SqliteStatus::Ok;
      }
      if (status == SqliteStatus::Ok) status = store.Remove(rows);
      if (status != SqliteStatus::Ok) {
        // Unread, every Selected record may have entries in it: none of them is known gone.
        for (const auto& [key, record] : result.domains) {
          if (record.status == DomainStatus::Selected && (!listed || keys.contains(key))) {
            failed.emplace(profile.browser, key);
          }
        }
        failures_.Add(results, profile.browser, name.path, status);
        continue;
      }
      if (tally != nullptr && !rows.empty() && name.kind != FormFile::LoginsBackup) {
        tally->AddDone({static_cast<std::uint32_t>(rows.size()), 0});
      }
    }
  }
  SettleModernErase(results, failed);
  return true;
}

}  // namespace corvane
