#pragma once
// A profile's "cookies.txt": one cookie a line, its fields separated by tabs and its domain
// first; lines that begin with "#" or a carriage return are comments. A cookie that scripts may
// not read is written with "#HttpOnly_" before its domain: it is a cookie, not a comment.
//
// The file is read in blocks and a line of any length is one line. Rewriting never changes the
// file in place: the kept lines go to a new file beside it, which is synced and renamed over the
// old one, so a crash or a full disk leaves either the old file or the new one, whole.

#include <cstdint>
#include <string>
#include <string_view>

#include "cleaners/mozilla/profile_folder.h"
#include "engine/browser_scan_result.h"
#include "engine/erase_file.h"
#include "platform/file_handle.h"

namespace corvane {

// A domain field longer than this names no host a browser would send cookies to: its line is
// left alone (neither counted nor removed), and memory stays bounded on a line without a tab.
inline constexpr std::size_t kMaxCookieDomain = 4096;

// The domain a cookie's domain field counts under: a leading "." dropped, otherwise a leading
// "www." or "ftp.". Bytes that are not UTF-8 (and NUL) read as U+FFFD, for scan and erase alike.
[[nodiscard]] std::string CookieDomainKey(std::string_view field);

// Counts the file's cookies into the result: 1 to the domain's record (made when new) for each.
// False when a read failed.
[[nodiscard]] bool CountCookieFile(FileHandle& file, BrowserScanResult& result);

struct CookieFileUpdate {
  bool ok = false;            // everything asked was done (a missing file is nothing to do)
  std::uint32_t removed = 0;  // cookies no longer in the file
};

// Rewrites the profile's "cookies.txt" without the cookies whose domain is not in the result or
// has the status Selected; every other line stays, with its bytes, in its place. The file is
// replaced only when a cookie goes. With `overwrite`, the old file's bytes are overwritten
// (WaipFile, WipeRandom) once the new file has taken its place, unless another name links to
// them. Failures are traced as the UpdateNetscapeCookies routine's.
[[nodiscard]] CookieFileUpdate UpdateCookieFile(const ProfileFolder& profile,
                                                const BrowserScanResult& result,
                                                Overwrite overwrite);

}  // namespace corvane
