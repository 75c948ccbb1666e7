#pragma once
// The WinInet URL cache calls, answered from the containers Wine's WinInet keeps in the current
// machine's profile: "<Cache>\Content.IE5\index.dat" (entries without a prefix),
// "<Cookies>\index.dat" ("Cookie:") and "<History>\History.IE5\index.dat" ("Visited:"), the
// folders being the user's shell folders. Containers copied from a Windows disk read the same.
//
// Text is UTF-8 (URLs as stored, file names from the ANSI code page); local files are machine
// paths. Enumeration reads each container once and never opens a cached file.
//
// Deletion changes the container in memory at once and deletes the entry's file at once; the
// container file is brought up to date by FlushUrlCache (also at the next FindFirst and at exit),
// which writes only the changed bytes in place and syncs them. Nothing is written while a
// wineserver owns the prefix: WinInet keeps the file mapped and would not see the change, and no
// WinInet can hold the file open without one, so in-place changes never race it. A container that
// does not parse, or that Wine would find inconsistent, is never written.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/last_error.h"
#include "platform/urlcache/url_cache_file.h"  // the CacheEntryType bits

namespace corvane {

using BYTE = std::uint8_t;

inline constexpr DWORD ERROR_FILE_CORRUPT = 1392;

// The entry an enumeration writes into the caller's buffer: this record first, the texts after
// it (each NUL-terminated, at a 4-byte boundary). Times are FILETIMEs.
struct INTERNET_CACHE_ENTRY_INFOW {
  DWORD dwStructSize = 0;
  const char* lpszSourceUrlName = nullptr;
  const char* lpszLocalFileName = nullptr;  // null when the entry has no file
  DWORD CacheEntryType = 0;
  DWORD dwUseCount = 0;
  DWORD dwHitRate = 0;
  DWORD dwSizeLow = 0;
  DWORD dwSizeHigh = 0;
  std::uint64_t LastModifiedTime = 0;
  std::uint64_t ExpireTime = 0;
  std::uint64_t LastAccessTime = 0;
  std::uint64_t LastSyncTime = 0;
  const BYTE* lpHeaderInfo = nullptr;
  DWORD dwHeaderInfoSize = 0;
  const char* lpszFileExtension = nullptr;
  DWORD dwExemptDelta = 0;
};

struct UrlCacheFind;
using UrlCacheFindHandle = UrlCacheFind*;

// Starts an enumeration and fills `entry` (a buffer of *size bytes, aligned for the record) with
// the first entry. The pattern picks the container by its prefix, in any letter case ("cookie:",
// "visited:"); null or "*" enumerates every container, the empty pattern the cache. Null on
// failure: ERROR_INSUFFICIENT_BUFFER with *size = the size needed (call again with a larger
// buffer), ERROR_NO_MORE_ITEMS when there is no entry, ERROR_FILE_CORRUPT when a container cannot
// be read (UrlCacheLastProblem names the file and says why).
[[nodiscard]] UrlCacheFindHandle FindFirstUrlCacheEntryW(const char* pattern,
                                                         INTERNET_CACHE_ENTRY_INFOW* entry,
                                                         DWORD* size);
// The next entry, with FindFirst's failures; a short buffer does not lose the entry.
[[nodiscard]] bool FindNextUrlCacheEntryW(UrlCacheFindHandle find,
                                          INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size);
bool FindCloseUrlCache(UrlCacheFindHandle find);

// Removes the entry with exactly this URL from its container (chosen by the URL's prefix, in any
// letter case) and deletes its local file. ERROR_FILE_NOT_FOUND when there is no such entry;
// ERROR_ACCESS_DENIED when its file cannot be deleted (the entry stays); ERROR_SHARING_VIOLATION
// while a wineserver owns the prefix; ERROR_FILE_CORRUPT when the container must not be changed.
[[nodiscard]] bool DeleteUrlCacheEntryW(std::string_view url);

// Writes every container changed by DeleteUrlCacheEntryW back to its file. False, with the last
// error and UrlCacheLastProblem set, when a change could not be written (the changes are then
// dropped and the containers read again: they are as the file says).
[[nodiscard]] bool FlushUrlCache();

// Why the calling thread's last failing call failed, naming the container file; empty if none.
[[nodiscard]] std::string UrlCacheLastProblem();

}  // namespace corvane
