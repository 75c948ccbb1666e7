#pragma once
// The session files of today's browsers: what was open in each window and tab, and what was
// closed lately, with every page's address. Firefox writes "sessionstore.jsonlz4" and the
// copies in "sessionstore-backups" (JSON in its "mozLz4" frame: the magic "mozLz40\0", the
// decompressed size as a little-endian 32-bit number, then one LZ4 block); the Chromium family
// writes "Sessions\Session_<time>" and "Sessions\Tabs_<time>" (a list of binary commands, each
// address a length-prefixed string). Neither can be edited safely without its browser, so they
// are only read for the hosts they name.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cleaners/modern/modern_profiles.h"
#include "cleaners/modern/sqlite_store.h"

namespace corvane {

// The LZ4 block decoded to exactly `size` bytes; none when the block is damaged (a length or
// offset beyond the data, or any other size).
[[nodiscard]] std::optional<std::string> DecodeLz4Block(std::string_view block, std::size_t size);

// A "mozLz4" file's contents decoded; none when it is no such file, damaged, or would decode to
// more than `limit` bytes.
[[nodiscard]] std::optional<std::string> DecodeMozLz4(std::string_view file, std::size_t limit);

// The web addresses (http, https, ftp) among the string values of a JSON text, unescaped.
[[nodiscard]] std::vector<std::string> JsonWebUrls(std::string_view json);

// The web addresses stored in a binary file: each "http://", "https://" or "ftp://" run, as long
// as its 32-bit length prefix says when it has one, else up to the first byte no URL holds.
[[nodiscard]] std::vector<std::string> BinaryWebUrls(std::string_view data);

// The hosts of the site-settings patterns ("https://a.test:443,*") among the strings of a
// Chromium "Preferences" text, each once.
[[nodiscard]] std::vector<std::string> SiteSettingHosts(std::string_view json);

// Reads the hosts a profile's "Preferences" keeps site settings for: Missing, Refused, Corrupt
// (too large to be one), or Ok.
[[nodiscard]] SqliteStatus ReadSiteSettingHosts(const ModernProfile& profile,
                                                std::vector<std::string>& hosts);

// A session file of a profile (present or not).
struct SessionFile {
  std::string file;  // machine path
  bool mozLz4 = false;
};

// The session files the profile holds now.
[[nodiscard]] std::vector<SessionFile> SessionFiles(const ModernProfile& profile);

// Reads the web addresses of a session file, each once (a tab's address is stored more than once):
// Missing, Refused (a link, no regular file), Corrupt
// (not a session file of its kind, damaged, or too large), or Ok.
[[nodiscard]] SqliteStatus ReadSessionUrls(const SessionFile& session,
                                           std::vector<std::string>& urls);

}  // namespace corvane
