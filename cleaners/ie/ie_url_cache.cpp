#include "cleaners/ie/ie_url_cache.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/trace_log.h"
#include "cleaners/ie/domain_rule.h"
#include "engine/waip_file.h"
#include "platform/urlcache/url_cache.h"

namespace corvane {

namespace {

constexpr DWORD kFirstBufferSize = 65536;
constexpr DWORD kBufferSlack = 1024;

// The entry buffer, kept aligned for the record at its start.
class EntryBuffer {
 public:
  EntryBuffer() { Resize(kFirstBufferSize); }
  void Resize(DWORD bytes) { words_.assign(bytes / sizeof(std::uint64_t) + 1, 0); }
  [[nodiscard]] INTERNET_CACHE_ENTRY_INFOW* Entry() {
    return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(words_.data());
  }
  [[nodiscard]] DWORD Size() const {
    return static_cast<DWORD>(words_.size() * sizeof(std::uint64_t));
  }

 private:
  std::vector<std::uint64_t> words_;
};

const char* PatternOf(UrlCacheMode mode) {
  switch (mode) {
    case UrlCacheMode::History:
      return "visited:";
    case UrlCacheMode::Cookies:
      return "cookie:";
    case UrlCacheMode::Cache:
      break;
  }
  return "*";
}

void Keep(UrlCacheMode mode, const INTERNET_CACHE_ENTRY_INFOW& info, BrowserScanResult& result) {
  const DWORD type = info.CacheEntryType;
  const std::string_view url = info.lpszSourceUrlName != nullptr ? info.lpszSourceUrlName : "";
  std::string domain;
  switch (mode) {
    case UrlCacheMode::History:
      if ((type & URLHISTORY_CACHE_ENTRY) == 0) return;
      domain = HistoryDomain(url);
      break;
    case UrlCacheMode::Cookies:
      if ((type & COOKIE_CACHE_ENTRY) == 0) return;
      domain = CookieHost(url);
      break;
    case UrlCacheMode::Cache:
      if ((type & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)) != 0) return;
      domain = DomainFromUrl(url);
      break;
  }
  AddDomainEntry(result, domain,
                 {std::string(url), info.lpszLocalFileName != nullptr ? info.lpszLocalFileName : "",
                  info.dwSizeLow, info.dwHitRate, info.LastAccessTime});
}

void TraceProblem(const char* routine) {
  const std::string problem = UrlCacheLastProblem();
  if (!problem.empty()) HalvikTrace(std::string(routine) + ": " + problem + "\n");
}

}  // namespace

PluginResult EnumerateUrlCache(UrlCacheMode mode, BrowserScanResult& result,
                               ProgressReporter* progress) {
  result.browser = BrowserCode::InternetExplorer;
  EntryBuffer buffer;
  DWORD size = buffer.Size();
  UrlCacheFindHandle find = FindFirstUrlCacheEntryW(PatternOf(mode), buffer.Entry(), &size);
  while (find == nullptr && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.Resize(size + kBufferSlack);
    size = buffer.Size();
    find = FindFirstUrlCacheEntryW(PatternOf(mode), buffer.Entry(), &size);
  }
  if (find == nullptr) {
    if (GetLastError() == ERROR_NO_MORE_ITEMS) return PluginResult::Finished;
    HalvikTrace("FindFirstUrlCacheEntry: Unnable to open Enumeration\n");
    TraceProblem("FindFirstUrlCacheEntry");
    return PluginResult::Failed;
  }
  int counter = 0;
  std::string dots;
  while (true) {
    Keep(mode, *buffer.Entry(), result);
    if (counter == 100 && progress != nullptr) {
      counter = 0;
      if (progress->IsCancelled()) {
        FindCloseUrlCache(find);
        return PluginResult::Cancelled;
      }
      dots += '.';
      progress->Report(dots);
    } else {
      ++counter;
    }
    size = buffer.Size();
    bool next = FindNextUrlCacheEntryW(find, buffer.Entry(), &size);
    while (!next && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      buffer.Resize(size + kBufferSlack);
      size = buffer.Size();
      next = FindNextUrlCacheEntryW(find, buffer.Entry(), &size);
    }
    if (next) continue;
    const DWORD error = GetLastError();
    FindCloseUrlCache(find);
    if (error == ERROR_NO_MORE_ITEMS) return PluginResult::Finished;
    SetLastError(error);
    HalvikTrace("FindNextUrlCacheEntry: Unnable open Enumeration\n");
    TraceProblem("FindNextUrlCacheEntry");
    return PluginResult::Failed;
  }
}

PluginResult UpdateIECache(BrowserScanResult& result, bool overwrite, ProgressReporter* progress,
                           DeletionTally* tally) {
  int counter = 0;
  std::string dots;
  for (auto& [key, domain] : result.domains) {
    if (domain.status != DomainStatus::Selected) continue;
    if (counter > 4 && progress != nullptr) {
      counter = 0;
      if (progress->IsCancelled()) return PluginResult::Cancelled;
      dots += '.';
      progress->Report(dots);
    } else {
      ++counter;
    }
    for (const DomainEntry& entry : domain.entries) {
      if (!entry.localFile.empty() && overwrite &&
          WaipFile(entry.localFile, WipePattern::WipeRandom, {}) == 0 &&
          GetLastError() != ERROR_FILE_NOT_FOUND) {
        domain.status = DomainStatus::Failed;
        HalvikTrace("UpdateIECache: WaipFile Error file:" + entry.localFile + "\n");
        continue;
      }
      if (DeleteUrlCacheEntryW(entry.url)) continue;
      const DWORD error = GetLastError();
      domain.status = DomainStatus::Failed;
      if (error == ERROR_ACCESS_DENIED)
        HalvikTrace("UpdateIECache:DeleteUrlCacheEntry: AccessDenied file:" + entry.localFile +
                    "\n");
      else if (error != ERROR_FILE_NOT_FOUND)
        HalvikTrace("UpdateIECache:DeleteUrlCacheEntry: Error url:" + entry.url + "\n");
    }
    // A deletion counts once it is in the container file.
    if (!FlushUrlCache()) {
      domain.status = DomainStatus::Failed;
      TraceProblem("UpdateIECache");
    }
    if (tally != nullptr) {
      const TallyRecord record{domain.itemCount, domain.size};
      if (domain.status == DomainStatus::Failed)
        tally->AddFailed(record);
      else
        tally->AddDone(record);
    }
    if (domain.status == DomainStatus::Selected) {
      domain.status = DomainStatus::Erased;
      result.items -= std::min<std::uint64_t>(result.items, domain.itemCount);
      result.size -= std::min<std::uint64_t>(result.size, domain.size);
    }
    domain.entries.clear();
  }
  return PluginResult::Finished;
}

}  // namespace corvane
