#pragma once
// Disk cache entries of today's browsers, written as the browsers lay them out, for the demo
// machine and the tests: a Firefox "cache2" entry (data, then metadata with the key, its offset
// in the last 4 bytes) and a Chromium simple cache entry (header, key, data).

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvane {

// Writes a Firefox entry file whose key is `key` (e.g. "a,:https://beta.test/x") holding
// `data`, last fetched at `lastFetched` (seconds since 1970), making its folder. Version 3
// metadata; `version` 1 writes the older header without flags. False when it was not written.
[[nodiscard]] bool MakeFirefoxCacheEntry(const std::filesystem::path& file, std::string_view key,
                                         std::string_view data, std::uint32_t lastFetched = 0,
                                         std::uint32_t version = 3);

// Writes a simple cache entry file ("<hash>_0") with the key and the data, making its folder.
[[nodiscard]] bool MakeSimpleCacheEntry(const std::filesystem::path& file, std::string_view key,
                                        std::string_view data);

// The cache traces of the demo machine's Firefox and Chrome profiles for `user`.
[[nodiscard]] bool PlantModernCacheTraces(const std::string& user);

}  // namespace corvane
