#include "cleaners/modern/modern_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaners/modern/cache_entry_key.h"
#include "engine/erase_fault.h"
#include "platform/file_handle.h"
#include "platform/file_status.h"
#include "platform/folder_handle.h"
#include "platform/text.h"

namespace corvane {

namespace {

enum class CacheFormat {
  Firefox,  // "cache2": entries in "entries", "doomed" and "trash*", index files beside them
  Simple,   // Chromium's simple cache: "<hash>_0" entries, "index" and "index-dir"
  Files,    // files without URLs, one pseudo-domain
};

struct CacheStore {
  std::string folder;  // machine path ending in "\"
  CacheFormat format;
};

constexpr std::string_view kIndexFolder = "index-dir";
constexpr std::array<std::string_view, 4> kGpuCaches = {"GPUCache", "DawnCache",
                                                        "DawnGraphiteCache", "DawnWebGPUCache"};
// An entry's first bytes hold a simple cache key, its last ones Firefox's metadata: one read of
// this size takes them whole for all but the longest URLs.
constexpr std::size_t kProbeSize = 8192;
// Seconds from 1601 (FILETIME's start) to 1970.
constexpr std::uint64_t kUnixEpochSeconds = 11644473600ULL;
// Entries read between two cancel checks.
constexpr std::size_t kCancelBatch = 64;

std::vector<ModernProfile> CacheProfiles() {
  std::vector<ModernProfile> profiles = FirefoxModernProfiles(true);
  // A profile outside the Firefox folder (an absolute path in "profiles.ini") keeps its cache
  // inside itself; the roaming twin of any other has none.
  for (ModernProfile& profile : FirefoxModernProfiles(false)) {
    const bool known = std::any_of(profiles.begin(), profiles.end(), [&](const ModernProfile& p) {
      return EqualsNoCase(p.folder, profile.folder);
    });
    if (!known) profiles.push_back(std::move(profile));
  }
  for (ModernProfile& profile : ChromiumProfiles()) profiles.push_back(std::move(profile));
  for (ModernProfile& profile : LauncherProfiles()) profiles.push_back(std::move(profile));
  return profiles;
}

std::vector<CacheStore> CacheStores(const ModernProfile& profile) {
  if (profile.browser == BrowserCode::Firefox) {
    return {{profile.folder + "cache2\\", CacheFormat::Firefox}};
  }
  std::vector<CacheStore> stores = {
      {profile.folder + "Cache\\Cache_Data\\", CacheFormat::Simple},
      // Before the cache moved into "Cache_Data" its entries were right in "Cache".
      {profile.folder + "Cache\\", CacheFormat::Simple},
      {profile.folder + "Code Cache\\js\\", CacheFormat::Simple},
      {profile.folder + "Code Cache\\wasm\\", CacheFormat::Simple},
  };
  for (const std::string_view name : kGpuCaches) {
    stores.push_back({profile.folder + std::string(name) + "\\", CacheFormat::Files});
  }
  return stores;
}

std::string FolderOf(std::string_view path) {
  return std::string(path.substr(0, path.rfind('\\') + 1));
}

// Whether the file is one of the store's: directly in a Chromium cache folder (or its index
// folder), anywhere below "cache2".
bool BelongsTo(const CacheStore& store, std::string_view path) {
  if (store.format == CacheFormat::Firefox) return path.starts_with(store.folder);
  const std::string folder = FolderOf(path);
  return folder == store.folder || folder == store.folder + std::string(kIndexFolder) + "\\";
}

struct OpenedFolder {
  FolderHandle handle;
  std::vector<FolderEntry> entries;
};

// The cache folder listed; Missing when there is none (a file of that name is none either),
// Refused for a link in its place, Failed when it cannot be read.
SqliteStatus OpenCacheFolder(const std::string& path, OpenedFolder& opened) {
  const std::string trimmed = path.substr(0, path.size() - 1);
  opened.handle = OpenFolderPath(trimmed);
  if (opened.handle) {
    const bool listed = InjectedEraseFault(EraseStep::ListFolder, path) == ERROR_SUCCESS &&
                        opened.handle.List(opened.entries);
    return listed ? SqliteStatus::Ok : SqliteStatus::Failed;
  }
  const std::optional<PathEntry> entry = OpenPathEntry(trimmed);
  struct stat status {};
  if (!entry || !entry->folder.Status(entry->name, &status)) return SqliteStatus::Missing;
  if (S_ISLNK(status.st_mode)) return SqliteStatus::Refused;
  return S_ISDIR(status.st_mode) ? SqliteStatus::Failed : SqliteStatus::Missing;
}

std::string_view FailureText(SqliteStatus status) {
  switch (status) {
    case SqliteStatus::Refused:
      return "refused: a link";
    case SqliteStatus::InUse:
      return "in use by the browser, left alone";
    default:
      return "cannot be read";
  }
}

bool IsEntryFile(const FolderEntry& entry) {
  return S_ISREG(entry.status.st_mode) || S_ISLNK(entry.status.st_mode);
}

std::optional<std::string> ReadAt(const FileHandle& file, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(file.Descriptor(), bytes.data() + done, size - done,
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

// What an entry's key says: the URL (empty when unreadable) and its host key.
struct EntryKey {
  std::string url;
  std::string host;
  std::uint64_t lastAccess = 0;  // FILETIME; none known when 0
};

EntryKey ReadFirefoxEntry(const FolderHandle& folder, const FolderEntry& entry) {
  EntryKey read;
  if (!S_ISREG(entry.status.st_mode)) return read;
  const FileHandle file = OpenExistingFileIn(folder, entry.name, FileAccess::Read, &entry.status);
  const auto size = static_cast<std::uint64_t>(entry.status.st_size);
  if (!file || size < 4) return read;
  const std::size_t probe = static_cast<std::size_t>(std::min<std::uint64_t>(size, kProbeSize));
  const std::optional<std::string> tail = ReadAt(file, size - probe, probe);
  if (!tail) return read;
  const std::optional<std::uint32_t> offset = FirefoxMetadataOffset(*tail);
  if (!offset || *offset > size - 4 || size - *offset > kMaxFirefoxMetadata) return read;
  std::optional<std::string> metadata;
  if (*offset >= size - probe) {
    metadata = tail->substr(static_cast<std::size_t>(*offset - (size - probe)));
  } else {
    metadata = ReadAt(file, *offset, static_cast<std::size_t>(size - *offset));
  }
  if (!metadata) return read;
  const std::optional<FirefoxCacheKey> key = ParseFirefoxMetadata(*metadata, *offset);
  if (!key) return read;
  const std::optional<std::string_view> url = FirefoxKeyUrl(key->key);
  if (!url) return read;
  read.url = std::string(*url);
  read.host = UrlHostKey(read.url);
  if (key->lastFetched != 0) {
    read.lastAccess = (key->lastFetched + kUnixEpochSeconds) * 10'000'000ULL;
  }
  return read;
}

EntryKey ReadSimpleEntry(const FolderHandle& folder, const FolderEntry& entry) {
  EntryKey read;
  if (!S_ISREG(entry.status.st_mode)) return read;
  const FileHandle file = OpenExistingFileIn(folder, entry.name, FileAccess::Read, &entry.status);
  const auto size = static_cast<std::uint64_t>(entry.status.st_size);
  if (!file || size < kSimpleCacheHeaderSize) return read;
  const std::size_t probe = static_cast<std::size_t>(std::min<std::uint64_t>(size, kProbeSize));
  const std::optional<std::string> head = ReadAt(file, 0, probe);
  if (!head) return read;
  const std::optional<std::uint32_t> length = SimpleCacheKeyLength(*head);
  if (!length || *length > kMaxSimpleCacheKey || kSimpleCacheHeaderSize + *length > size) {
    return read;
  }
  std::optional<std::string> key;
  if (kSimpleCacheHeaderSize + *length <= head->size()) {
    key = head->substr(kSimpleCacheHeaderSize, *length);
  } else {
    key = ReadAt(file, kSimpleCacheHeaderSize, *length);
  }
  if (!key) return read;
  read.url = std::string(SimpleCacheKeyUrl(*key));
  read.host = UrlHostKey(read.url);
  return read;
}

// Files an entry under its host (or the pseudo-domain), its size the full 64-bit one.
void AddCacheFile(BrowserScanResult& result, const std::string& domain, EntryKey key,
                  const std::string& path, const struct stat& status, std::uint64_t size) {
  DomainEntry entry;
  entry.url = key.url.empty() ? path : std::move(key.url);
  entry.localFile = path;
  entry.size = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(size, std::numeric_limits<std::uint32_t>::max()));
  entry.lastAccess = key.lastAccess != 0 ? key.lastAccess : FileTimeFromTimespec(status.st_mtim);
  const std::uint64_t beyond = size - entry.size;
  result.AddEntry(domain, std::move(entry));
  result.domains[domain].size += beyond;
  result.size += beyond;
}

std::string DomainOf(const EntryKey& key) {
  return key.host.empty() ? kOtherCacheDomain : key.host;
}

// "<16 hex digits>_<suffix>"
bool IsSimpleEntryName(std::string_view name, char suffix) {
  return name.size() == 18 && name[16] == '_' && name[17] == suffix &&
         std::all_of(name.begin(), name.begin() + 16,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

class StoreScan {
 public:
  StoreScan(BrowserScanResult& result, ProgressReporter& progress)
      : result_(result), progress_(progress) {}

  // The folders below the cache that could not be read.
  [[nodiscard]] const std::vector<std::string>& Unreadable() const { return unreadable_; }

  // False when cancelled.
  bool Run(const CacheStore& store, const OpenedFolder& opened) {
    switch (store.format) {
      case CacheFormat::Firefox:
        return ScanFirefox(store, opened);
      case CacheFormat::Simple:
        return ScanSimple(store, opened);
      case CacheFormat::Files:
        return ScanFiles(store, opened);
    }
    return true;
  }

 private:
  bool Tick() { return ++read_ % kCancelBatch != 0 || !progress_.IsCancelled(); }

  bool ScanFirefox(const CacheStore& store, const OpenedFolder& opened) {
    for (const FolderEntry& sub : opened.entries) {
      if (!S_ISDIR(sub.status.st_mode)) continue;  // the index files
      if (sub.name != "entries" && sub.name != "doomed" && !sub.name.starts_with("trash")) {
        continue;
      }
      const std::string base = store.folder + sub.name + "\\";
      const FolderHandle folder = opened.handle.OpenFolder(sub.name);
      std::vector<FolderEntry> entries;
      if (!folder || InjectedEraseFault(EraseStep::ListFolder, base) != ERROR_SUCCESS ||
          !folder.List(entries)) {
        unreadable_.push_back(base);
        continue;
      }
      for (const FolderEntry& entry : entries) {
        if (!IsEntryFile(entry)) continue;
        if (!Tick()) return false;
        EntryKey key = ReadFirefoxEntry(folder, entry);
        const std::string domain = DomainOf(key);
        AddCacheFile(result_, domain, std::move(key), base + entry.name, entry.status,
                     static_cast<std::uint64_t>(entry.status.st_size));
      }
    }
    return true;
  }

  bool ScanSimple(const CacheStore& store, const OpenedFolder& opened) {
    // The "_1" (third stream) and "_s" (sparse data) files belong to their "_0" entry.
    std::map<std::string, std::uint64_t, std::less<>> companions;
    std::set<std::string, std::less<>> entryHashes;
    for (const FolderEntry& entry : opened.entries) {
      if (!S_ISREG(entry.status.st_mode)) continue;
      if (IsSimpleEntryName(entry.name, '0')) entryHashes.insert(entry.name.substr(0, 16));
      if (IsSimpleEntryName(entry.name, '1') || IsSimpleEntryName(entry.name, 's')) {
        companions[entry.name.substr(0, 16)] += static_cast<std::uint64_t>(entry.status.st_size);
      }
    }
    for (const FolderEntry& entry : opened.entries) {
      if (!IsEntryFile(entry) || entry.name == "index") continue;
      if (!Tick()) return false;
      auto size = static_cast<std::uint64_t>(entry.status.st_size);
      const std::string hash = entry.name.substr(0, 16);
      EntryKey key;
      if (IsSimpleEntryName(entry.name, '0')) {
        key = ReadSimpleEntry(opened.handle, entry);
        if (const auto found = companions.find(hash); found != companions.end()) {
          size += found->second;
        }
      } else if ((IsSimpleEntryName(entry.name, '1') || IsSimpleEntryName(entry.name, 's')) &&
                 entryHashes.contains(hash)) {
        continue;  // counted with its entry
      }
      const std::string domain = DomainOf(key);
      AddCacheFile(result_, domain, std::move(key), store.folder + entry.name, entry.status, size);
    }
    return true;
  }

  bool ScanFiles(const CacheStore& store, const OpenedFolder& opened) {
    AddAll(store.folder, opened.entries);
    if (const FolderHandle index = opened.handle.OpenFolder(kIndexFolder)) {
      std::vector<FolderEntry> entries;
      if (index.List(entries)) AddAll(store.folder + std::string(kIndexFolder) + "\\", entries);
    }
    return !progress_.IsCancelled();
  }

  void AddAll(const std::string& base, const std::vector<FolderEntry>& entries) {
    for (const FolderEntry& entry : entries) {
      if (!IsEntryFile(entry)) continue;
      AddCacheFile(result_, kGpuCacheDomain, {}, base + entry.name, entry.status,
                   static_cast<std::uint64_t>(entry.status.st_size));
    }
  }

  BrowserScanResult& result_;
  ProgressReporter& progress_;
  std::size_t read_ = 0;
  std::vector<std::string> unreadable_;
};

bool Exists(const std::string& path) {
  const std::optional<PathEntry> entry = OpenPathEntry(path);
  struct stat status {};
  return entry && entry->folder.Status(entry->name, &status);
}

// The files a browser rebuilds from the entries: removed once entries have gone.
std::vector<std::string> IndexFiles(const CacheStore& store, const OpenedFolder& opened) {
  std::vector<std::string> files;
  if (store.format == CacheFormat::Files) return files;  // its index files are its entries
  for (const FolderEntry& entry : opened.entries) {
    if (!IsEntryFile(entry)) continue;
    if (store.format == CacheFormat::Firefox || entry.name == "index") {
      files.push_back(store.folder + entry.name);
    }
  }
  if (store.format == CacheFormat::Simple) {
    if (const FolderHandle index = opened.handle.OpenFolder(kIndexFolder)) {
      std::vector<FolderEntry> entries;
      if (index.List(entries)) {
        for (const FolderEntry& entry : entries) {
          if (IsEntryFile(entry)) {
            files.push_back(store.folder + std::string(kIndexFolder) + "\\" + entry.name);
          }
        }
      }
    }
  }
  return files;
}

// A simple cache entry's "_1" and "_s" files go with its "_0" file.
void AddCompanions(const CacheStore& store, const OpenedFolder& opened,
                   std::map<std::string, std::vector<std::string>>& work) {
  std::set<std::string_view> names;
  for (const FolderEntry& entry : opened.entries) names.insert(entry.name);
  for (auto& [key, files] : work) {
    const std::size_t entries = files.size();
    for (std::size_t i = 0; i < entries; ++i) {
      const std::string_view name = std::string_view(files[i]).substr(store.folder.size());
      if (!IsSimpleEntryName(name, '0')) continue;
      for (const char suffix : {'1', 's'}) {
        std::string companion = std::string(name.substr(0, 17)) + suffix;
        if (names.contains(companion)) files.push_back(store.folder + companion);
      }
    }
  }
}

}  // namespace

bool ModernCache::Scan(BrowserResults& results, ProgressReporter& progress) {
  failures_.Clear();
  for (const ModernProfile& profile : CacheProfiles()) {
    for (const CacheStore& store : CacheStores(profile)) {
      if (progress.IsCancelled()) return false;
      progress.Report(store.folder);
      OpenedFolder opened;
      const SqliteStatus status = OpenCacheFolder(store.folder, opened);
      if (status == SqliteStatus::Missing) continue;
      if (status != SqliteStatus::Ok) {
        failures_.Add(results, profile.browser, store.folder, FailureText(status));
        continue;
      }
      BrowserScanResult& result = results[profile.browser];
      result.browser = profile.browser;
      StoreScan scan(result, progress);
      if (!scan.Run(store, opened)) return false;
      for (const std::string& folder : scan.Unreadable()) {
        failures_.Add(results, profile.browser, folder, FailureText(SqliteStatus::Failed));
      }
    }
  }
  return true;
}

bool ModernCache::Erase(BrowserResults& results, Overwrite overwrite, ProgressReporter& progress,
                        DeletionTally* tally) {
  failures_.DropFrom(results);
  std::set<ModernFailures::Key> failed;
  const CancelCheck cancel = progress.AsCancelCheck();
  for (const ModernProfile& profile : CacheProfiles()) {
    const auto found = results.find(profile.browser);
    if (found == results.end()) continue;
    BrowserScanResult& result = found->second;
    for (const CacheStore& store : CacheStores(profile)) {
      if (progress.IsCancelled()) return false;
      // The Selected domains' files in this cache.
      std::map<std::string, std::vector<std::string>> work;
      for (const auto& [key, record] : result.domains) {
        if (record.status != DomainStatus::Selected) continue;
        for (const DomainEntry& entry : record.entries) {
          if (BelongsTo(store, entry.localFile)) work[key].push_back(entry.localFile);
        }
      }
      if (work.empty()) continue;
      progress.Report(store.folder);
      OpenedFolder opened;
      const SqliteStatus status =
          IsProfileInUse(profile) ? SqliteStatus::InUse : OpenCacheFolder(store.folder, opened);
      if (status == SqliteStatus::Missing) continue;  // gone with everything in it
      if (status != SqliteStatus::Ok) {
        for (const auto& [key, files] : work) failed.emplace(profile.browser, key);
        failures_.Add(results, profile.browser, store.folder, FailureText(status));
        continue;
      }
      if (store.format == CacheFormat::Simple) AddCompanions(store, opened, work);
      for (const auto& [key, files] : work) {
        if (EraseFileList(files, overwrite, WipePattern::WipeRandom, cancel, tally)) continue;
        if (progress.IsCancelled()) return false;
        // A file that had gone since the scan is no failure; one still there is.
        if (std::any_of(files.begin(), files.end(), Exists)) failed.emplace(profile.browser, key);
      }
      const std::vector<std::string> index = IndexFiles(store, opened);
      if (!EraseFileList(index, overwrite, WipePattern::WipeRandom, cancel, tally)) {
        if (progress.IsCancelled()) return false;
        if (std::any_of(index.begin(), index.end(), Exists)) {
          failures_.Add(results, profile.browser, store.folder, "index not removed");
        }
      }
    }
  }
  SettleModernErase(results, failed);
  return true;
}

}  // namespace corvane
