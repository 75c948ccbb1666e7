#pragma once
// Today's browsers on the demo machine: a Firefox profile (listed in "profiles.ini") and a
// Chrome profile, each with cookie and history databases of the browser's own layout, so that
// the cookies and history cleaners have SQLite stores to find, and cache entries
// (demo/demo_cache_entries.h). The makers of those databases serve the tests too.

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

// Writes a Firefox "cookies.sqlite" (its `moz_cookies` table as today's releases lay it out, in
// write-ahead mode) holding one cookie per host given. False when it could not be written.
[[nodiscard]] bool MakeFirefoxCookieStore(const std::filesystem::path& file,
                                          const std::vector<std::string>& hosts);

// Writes a Chromium "Cookies" (its `meta` and `cookies` tables; values as encrypted blobs)
// holding one cookie per host given, making its folder.
[[nodiscard]] bool MakeChromiumCookieStore(const std::filesystem::path& file,
                                           const std::vector<std::string>& hosts);

// Plants the profiles for `user` on the current machine. False when a file could not be written.
[[nodiscard]] bool PlantModernBrowserTraces(const std::string& user);

}  // namespace corvane
