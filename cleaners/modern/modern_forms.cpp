#include "cleaners/modern/modern_forms.h"

#include <cstdint>
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
  ModernScan scan(results, failures_, progress);
  for (const ModernProfile& profile : AllModernProfiles()) {
    if (progress.IsCancelled()) return false;
    progress.Report(profile.folder);
    for (const FormFileName& name : FormFiles(profile)) {
      // The backup holds the same logins as the file itself: counted once, erased from both.
      if (name.kind == FormFile::LoginsBackup) continue;
      FormStore store;
      const bool scanned = scan.Store(
          profile.browser, name.path, [&] { return store.Open(name, SqliteAccess::Read); },
          [&](const ModernEntrySink& sink) {
            return store.List([&](FormRow& row) { return sink(row.key, std::move(row.entry)); });
          });
      if (!scanned) return false;
    }
  }
  return true;
}

bool ModernForms::Erase(BrowserResults& results, ProgressReporter& progress, DeletionTally* tally) {
  ModernErase erase(results, failures_, progress, tally);
  for (const ModernProfile& profile : AllModernProfiles()) {
    const BrowserScanResult* result = erase.ResultOf(profile.browser);
    if (result == nullptr) continue;
    const bool inUse = IsProfileInUse(profile);
    for (const FormFileName& name : FormFiles(profile)) {
      FormStore store;
      const auto open = [&] {
        if (!Exists(name.path)) return SqliteStatus::Missing;
        return inUse ? SqliteStatus::InUse : store.Open(name, SqliteAccess::Change);
      };
      const auto change = [&](ModernStoreChange& changed) {
        std::vector<std::pair<std::size_t, std::int64_t>> rows;
        const SqliteStatus status = store.List([&](FormRow& row) {
          if (ModernErase::IsSelected(*result, row.key)) {
            rows.emplace_back(row.table, row.id);
            changed.keys.insert(std::move(row.key));
          }
          return !progress.IsCancelled();
        });
        changed.cancelled = progress.IsCancelled();
        changed.listed = status == SqliteStatus::Ok;
        if (status != SqliteStatus::Ok || changed.cancelled) return status;
        // The backup's logins were counted with the file's own.
        if (name.kind != FormFile::LoginsBackup) {
          changed.items = static_cast<std::uint32_t>(rows.size());
        }
        return store.Remove(rows);
      };
      if (!erase.Store(profile.browser, name.path, open, change)) return false;
    }
  }
  erase.Settle();
  return true;
}

}  // namespace corvane
