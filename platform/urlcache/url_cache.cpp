#include "platform/urlcache/url_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/file_handle.h"
#include "platform/file_services.h"
#include "platform/machine.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "platform/urlcache/url_cache_file.h"
#include "platform/wine_server.h"

namespace corvane {

namespace {

enum class ContainerKind { Cache, Cookies, History };

constexpr std::array<ContainerKind, 3> kAllContainers = {
    ContainerKind::Cache, ContainerKind::Cookies, ContainerKind::History};

// A container file larger than this cannot be one (the allocation table's reach).
constexpr std::uint64_t kLargestContainer = 0x4000 + std::uint64_t{(0x4000 - 0x250) * 8} * 128;

thread_local std::string lastProblem;
// Set while the store writes its last changes at exit, when the main thread's thread-locals may
// already be gone.
std::atomic<bool> exiting{false};

bool Fail(DWORD error, std::string problem = {}) {
  if (!exiting) lastProblem = std::move(problem);
  SetLastError(error);
  return false;
}

// The container's folder as a machine path ending in "\": the shell folder and the layout Wine
// keeps below it. Nullopt when the shell folder does not exist.
std::optional<std::string> ContainerFolder(ContainerKind kind) {
  int csidl = CSIDL_INTERNET_CACHE;
  std::string_view suffix = "Content.IE5\\";
  if (kind == ContainerKind::Cookies) {
    csidl = CSIDL_COOKIES;
    suffix = "";
  } else if (kind == ContainerKind::History) {
    csidl = CSIDL_HISTORY;
    suffix = "History.IE5\\";
  }
  std::optional<std::string> folder = SHGetSpecialFolderPathW(csidl, FolderCreation::MustExist);
  if (!folder) return std::nullopt;
  if (folder->empty() || folder->back() != '\\') *folder += '\\';
  *folder += suffix;
  return folder;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

ContainerKind ContainerOfUrl(std::string_view url) {
  if (StartsWithNoCase(url, "cookie:")) return ContainerKind::Cookies;
  if (StartsWithNoCase(url, "visited:")) return ContainerKind::History;
  return ContainerKind::Cache;
}

// What identifies one version of a file on disk.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// Eight bytes at a time: every entry's texts pass through here.
bool IsAscii(std::string_view text) {
  std::size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) return false;
  }
  for (; pos < text.size(); ++pos)
    if (static_cast<unsigned char>(text[pos]) >= 0x80) return false;
  return true;
}

// Stored URLs are UTF-8 (Wine) or the ANSI code page (older Windows files).
std::string UrlText(std::string_view raw) {
  if (IsAscii(raw)) return std::string(raw);
  std::string text = SanitizeUtf8(raw);
  return text == raw ? text : Cp1252ToUtf8(raw);
}

std::string AnsiText(std::string_view raw) {
  return IsAscii(raw) ? std::string(raw) : Cp1252ToUtf8(raw);
}

// A DOS date and time (as the record keeps expiry and sync times) as a FILETIME; none is 0.
std::uint64_t DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  if (date == 0 && time == 0) return 0;
  const int year = 1980 + (date >> 9);
  const unsigned month = std::clamp((date >> 5) & 0xF, 1, 12);
  const unsigned day = std::clamp(date & 0x1F, 1, 31);
  // Days since 1601-01-01 by the civil calendar (March-based year, as is usual).
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear =
      static_cast<int>((153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1);
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t daysSince1970 = std::int64_t{era} * 146097 + dayOfEra - 719468;
  const std::int64_t seconds = (daysSince1970 + 134774) * 86400 + (time >> 11) * 3600 +
                               ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
  return static_cast<std::uint64_t>(seconds) * 10'000'000;
}

// A name that stays inside its folder: a hostile container must not aim a deletion elsewhere.
bool IsOneComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name)
    if (c == '\\' || c == '/' || c == ':') return false;
  return true;
}

// The folders of the container's files by directory byte (see UrlCacheContainer).
std::vector<std::string> FileFolders(const std::string& folder, const UrlCacheFile& file) {
  std::vector<std::string> folders(256);
  folders[kUrlCacheNoSubdirectory] = folder;
  for (std::uint32_t index = 0; index < std::min<std::uint32_t>(file.DirectoryCount(), 32);
       ++index) {
    const std::string_view name = file.DirectoryName(static_cast<std::uint8_t>(index));
    if (IsOneComponent(name)) folders[index] = folder + std::string(name) + "\\";
  }
  return folders;
}

}  // namespace

// One container as last read, with the changes not yet written back.
struct UrlCacheContainer {
  std::string folder;  // machine path, ending in "\"
  std::string index;   // machine path of its index.dat
  std::filesystem::path host;
  UrlCacheFile file;
  FileStamp stamp;
  bool changed = false;
  // By a record's directory byte: the machine folder its file lies in (ending in "\"), empty
  // when that directory does not exist or its name would lead out of the container.
  std::vector<std::string> fileFolders;
};

namespace {

class UrlCacheStore {
 public:
  ~UrlCacheStore() {
    exiting = true;
    const std::lock_guard lock(mutex_);
    (void)FlushLocked();
  }

  std::mutex& Mutex() { return mutex_; }

  // The container as its file is now. Null with ERROR_SUCCESS when it does not exist; null with
  // the error (and the problem) when it cannot be read.
  std::shared_ptr<UrlCacheContainer> Load(ContainerKind kind, bool reuseChanged) {
    const Machine* machine = Machine::Current();
    if (machine == nullptr) {
      Fail(ERROR_FILE_NOT_FOUND, "no machine");
      return nullptr;
    }
    if (machine->Prefix() != prefix_) {
      containers_.clear();
      folders_.clear();
      prefix_ = machine->Prefix();
    }
    auto folder = folders_.find(kind);
    if (folder == folders_.end() || !reuseChanged) {
      const std::optional<std::string> place = ContainerFolder(kind);
      if (!place) {
        SetLastError(ERROR_SUCCESS);
        return nullptr;
      }
      folder = folders_.insert_or_assign(kind, *place).first;
    }
    const std::string index = folder->second + "index.dat";
    auto cached = containers_.find(index);
    if (reuseChanged && cached != containers_.end() && cached->second->changed)
      return cached->second;

    const std::optional<std::filesystem::path> host = machine->ToHostPath(index);
    if (!host) {
      SetLastError(ERROR_SUCCESS);
      return nullptr;
    }
    struct stat st;
    if (::lstat(host->c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) {
        SetLastError(ERROR_SUCCESS);
        return nullptr;
      }
      Fail(Win32ErrorFromErrno(errno), index + ": cannot be examined");
      return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
      // A link could lead the reader out of the prefix; a device or pipe could hang it.
      Fail(ERROR_FILE_CORRUPT, index + ": not a regular file");
      return nullptr;
    }
    if (cached != containers_.end() && cached->second->stamp == StampOf(st)) return cached->second;

    FileHandle file = OpenExistingFile(index, FileAccess::Read);
    if (!file) {
      Fail(GetLastError(), index + ": cannot be opened");
      return nullptr;
    }
    if (::fstat(file.Descriptor(), &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) > kLargestContainer) {
      Fail(ERROR_FILE_CORRUPT, index + ": larger than a container can be");
      return nullptr;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    auto bytes = std::make_unique_for_overwrite<char[]>(size);
    std::size_t read = 0;
    if (!file.Read(bytes.get(), size, &read) || read != size) {
      Fail(ERROR_FILE_CORRUPT, index + ": cannot be read whole");
      return nullptr;
    }
    std::string problem;
    std::optional<UrlCacheFile> parsed = UrlCacheFile::Parse(std::move(bytes), size, &problem);
    if (!parsed) {
      Fail(ERROR_FILE_CORRUPT, index + ": " + problem);
      return nullptr;
    }
    std::vector<std::string> fileFolders = FileFolders(folder->second, *parsed);
    auto container = std::make_shared<UrlCacheContainer>(
        UrlCacheContainer{folder->second, index, *host, std::move(*parsed), StampOf(st), false,
                          std::move(fileFolders)});
    containers_[index] = container;
    return container;
  }

  bool DeleteEntry(std::string_view url) {
    const std::shared_ptr<UrlCacheContainer> container = Load(ContainerOfUrl(url), true);
    if (!container) {
      if (GetLastError() == ERROR_SUCCESS) return Fail(ERROR_FILE_NOT_FOUND);
      return false;
    }
    const std::optional<std::size_t> found = container->file.Find(url);
    if (!found) return Fail(ERROR_FILE_NOT_FOUND);
    std::string problem;
    if (!container->file.IsWritable(&problem))
      return Fail(ERROR_FILE_CORRUPT, container->index + ": not changed, " + problem);
    if (!container->changed && IsWineServerRunning(prefix_))
      return Fail(ERROR_SHARING_VIOLATION, container->index + ": Wine is running on the prefix");

    const UrlCacheRecord& record = container->file.Records()[*found];
    const std::string& fileFolder = container->fileFolders[record.directory];
    const std::string_view name = container->file.Text(record.localName);
    if (!fileFolder.empty() && IsOneComponent(name)) {
      const std::string path = fileFolder + AnsiText(name);
      if (!DeleteFileW(path)) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
          return Fail(error, path + ": cannot be deleted");
      }
    }
    container->file.Delete(*found);
    container->changed = true;
    return true;
  }

  bool FlushLocked() {
    bool ok = true;
    for (auto& [index, container] : containers_) {
      if (!container->changed) continue;
      if (!Write(*container)) {
        ok = false;
        const DWORD error = GetLastError();
        const std::string problem = exiting ? std::string() : lastProblem;
        container->changed = false;
        container->stamp = {};  // read again next time
        (void)container->file.TakeChangedRanges();
        Fail(error, problem);
      }
    }
    return ok;
  }

 private:
  bool Write(UrlCacheContainer& container) {
    if (IsWineServerRunning(prefix_))
      return Fail(ERROR_SHARING_VIOLATION,
                  container.index + ": not written, Wine is running on the prefix");
    const int fd = ::open(container.host.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Fail(Win32ErrorFromErrno(errno), container.index + ": cannot be written");
    FileHandle file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || StampOf(st) != container.stamp)
      return Fail(ERROR_SHARING_VIOLATION,
                  container.index + ": not written, it changed since it was read");
    const std::string_view bytes = container.file.Bytes();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    if (container.file.Grew()) {
      (void)container.file.TakeChangedRanges();
      ranges.emplace_back(0, static_cast<std::uint32_t>(bytes.size()));
    } else {
      ranges = container.file.TakeChangedRanges();
    }
    for (const auto& [begin, end] : ranges) {
      std::size_t done = 0;
      while (done < end - begin) {
        const ssize_t wrote = ::pwrite(fd, bytes.data() + begin + done, end - begin - done,
                                       static_cast<off_t>(begin + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0)
          return Fail(Win32ErrorFromErrno(errno), container.index + ": writing it failed");
        done += static_cast<std::size_t>(wrote);
      }
    }
    // The freed records were overwritten so that their URLs are gone: that must reach the disk.
    if (::fdatasync(fd) != 0 || ::fstat(fd, &st) != 0)
      return Fail(Win32ErrorFromErrno(errno), container.index + ": syncing it failed");
    container.stamp = StampOf(st);
    container.changed = false;
    return true;
  }

  std::mutex mutex_;
  std::filesystem::path prefix_;
  std::map<ContainerKind, std::string> folders_;
  std::map<std::string, std::shared_ptr<UrlCacheContainer>> containers_;
};

UrlCacheStore& Store() {
  static UrlCacheStore store;
  return store;
}

// Fills the caller's buffer with one record; ERROR_INSUFFICIENT_BUFFER with the size needed.
// Texts go straight into the buffer: an enumeration copies each entry once.
bool CopyEntry(const UrlCacheContainer& container, const UrlCacheRecord& record,
               INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
  const auto aligned = [](std::size_t n) { return (n + 3) & ~std::size_t{3}; };
  const UrlCacheFile& file = container.file;
  // Texts outside ASCII are converted; the common all-ASCII text is used as stored.
  std::string urlConverted, nameConverted, extensionConverted;
  std::string_view url = file.Text(record.url);
  if (!IsAscii(url)) url = urlConverted = UrlText(url);
  std::string_view name = file.Text(record.localName);
  if (!IsAscii(name)) name = nameConverted = AnsiText(name);
  std::string_view extension = file.Text(record.fileExtension);
  if (!IsAscii(extension)) extension = extensionConverted = AnsiText(extension);
  const std::string& fileFolder = container.fileFolders[record.directory];
  const bool hasLocal = !fileFolder.empty() && IsOneComponent(name);
  const std::size_t localSize = fileFolder.size() + name.size();
  const std::string_view header = file.Text(record.headerInfo);
  const bool hasExtension = record.fileExtension.offset != 0;

  std::size_t needed = aligned(sizeof(INTERNET_CACHE_ENTRY_INFOW)) + aligned(url.size() + 1);
  if (hasLocal) needed += aligned(localSize + 1);
  needed += aligned(header.size());
  if (hasExtension) needed += aligned(extension.size() + 1);
  if (entry == nullptr || *size < needed) {
    *size = static_cast<DWORD>(needed);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  *size = static_cast<DWORD>(needed);
  char* const base = reinterpret_cast<char*>(entry);
  std::size_t at = aligned(sizeof(INTERNET_CACHE_ENTRY_INFOW));
  // Appends pieces of one text; End closes it (with a NUL when asked) at a 4-byte boundary.
  std::size_t textStart = at;
  const auto append = [&](std::string_view piece) {
    std::memcpy(base + at, piece.data(), piece.size());
    at += piece.size();
  };
  const auto end = [&](bool terminate) {
    if (terminate) base[at++] = '\0';
    const char* text = base + textStart;
    at = textStart + aligned(at - textStart);
    textStart = at;
    return text;
  };
  INTERNET_CACHE_ENTRY_INFOW& info = *entry;
  info = {};
  info.dwStructSize = sizeof(INTERNET_CACHE_ENTRY_INFOW);
  append(url);
  info.lpszSourceUrlName = end(true);
  if (hasLocal) {
    append(fileFolder);
    append(name);
    info.lpszLocalFileName = end(true);
  }
  if (!header.empty()) {
    append(header);
    info.lpHeaderInfo = reinterpret_cast<const BYTE*>(end(false));
  }
  if (hasExtension) {
    append(extension);
    info.lpszFileExtension = end(true);
  }
  info.CacheEntryType = record.entryType;
  info.dwUseCount = record.useCount;
  info.dwHitRate = record.hitRate;
  info.dwSizeLow = static_cast<DWORD>(record.size);
  info.dwSizeHigh = static_cast<DWORD>(record.size >> 32);
  info.LastModifiedTime = record.lastModified;
  info.ExpireTime = DosDateTimeToFileTime(record.expireDate, record.expireTime);
  info.LastAccessTime = record.lastAccess;
  info.LastSyncTime = DosDateTimeToFileTime(record.syncDate, record.syncTime);
  info.dwHeaderInfoSize = static_cast<DWORD>(header.size());
  info.dwExemptDelta = record.exemptDelta;
  return true;
}

}  // namespace

struct UrlCacheFind {
  std::vector<ContainerKind> containers;
  std::size_t next = 0;  // the next container to open
  std::shared_ptr<UrlCacheContainer> current;
  std::size_t record = 0;
};

bool FindNextUrlCacheEntryW(UrlCacheFindHandle find, INTERNET_CACHE_ENTRY_INFOW* entry,
                            DWORD* size) {
  if (find == nullptr || size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  UrlCacheStore& store = Store();
  const std::lock_guard lock(store.Mutex());
  lastProblem.clear();
  while (true) {
    if (!find->current) {
      if (find->next == find->containers.size()) return Fail(ERROR_NO_MORE_ITEMS);
      find->current = store.Load(find->containers[find->next], false);
      if (!find->current) {
        if (GetLastError() != ERROR_SUCCESS) return false;
        ++find->next;
        continue;
      }
      ++find->next;
      find->record = 0;
    }
    const std::vector<UrlCacheRecord>& records = find->current->file.Records();
    while (find->record < records.size() && records[find->record].deleted) ++find->record;
    if (find->record == records.size()) {
      find->current.reset();
      continue;
    }
    if (!CopyEntry(*find->current, records[find->record], entry, size)) return false;
    ++find->record;
    return true;
  }
}

UrlCacheFindHandle FindFirstUrlCacheEntryW(const char* pattern, INTERNET_CACHE_ENTRY_INFOW* entry,
                                           DWORD* size) {
  if (size == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto find = std::make_unique<UrlCacheFind>();
  const std::string_view text = pattern == nullptr ? "*" : pattern;
  if (text == "*")
    find->containers.assign(kAllContainers.begin(), kAllContainers.end());
  else if (text.empty())
    find->containers = {ContainerKind::Cache};
  else if (EqualsNoCase(text, "cookie:"))
    find->containers = {ContainerKind::Cookies};
  else if (EqualsNoCase(text, "visited:"))
    find->containers = {ContainerKind::History};
  {
    // Pending deletions first, so the enumeration sees the files as they will stay.
    const std::lock_guard lock(Store().Mutex());
    (void)Store().FlushLocked();
  }
  if (!FindNextUrlCacheEntryW(find.get(), entry, size)) return nullptr;
  return find.release();
}

bool FindCloseUrlCache(UrlCacheFindHandle find) {
  if (find == nullptr) return Fail(ERROR_INVALID_HANDLE);
  delete find;
  return true;
}

bool DeleteUrlCacheEntryW(std::string_view url) {
  UrlCacheStore& store = Store();
  const std::lock_guard lock(store.Mutex());
  lastProblem.clear();
  return store.DeleteEntry(url);
}

bool FlushUrlCache() {
  UrlCacheStore& store = Store();
  const std::lock_guard lock(store.Mutex());
  lastProblem.clear();
  return store.FlushLocked();
}

std::string UrlCacheLastProblem() {
  return lastProblem;
}

}  // namespace corvane
