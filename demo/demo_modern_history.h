#pragma once
// History databases of today's browsers, laid out as the browsers lay them out (the tables a
// history erase touches): for the demo machine, the tests and the benchmarks.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Writes a Firefox "places.sqlite" (write-ahead mode) with one visit per URL given, a page per
// distinct URL and an origin per distinct scheme and host, visits a minute apart from
// 2024-01-01. False when it could not be written.
[[nodiscard]] bool MakeFirefoxPlaces(const std::filesystem::path& file,
                                     const std::vector<std::string>& visits);

// Writes a Chromium "History" the same way (an address per distinct URL, one visit per URL
// given), making its folder.
[[nodiscard]] bool MakeChromiumHistory(const std::filesystem::path& file,
                                       const std::vector<std::string>& visits);

// Writes a Firefox "permissions.sqlite" with one permission per origin given.
[[nodiscard]] bool MakeFirefoxPermissions(const std::filesystem::path& file,
                                          const std::vector<std::string>& origins);

// The text in Firefox's "mozLz4" frame, as one LZ4 block of literals (valid LZ4, uncompressed).
[[nodiscard]] std::string MozLz4Frame(std::string_view text);

// Writes a file with these bytes, making its folder. False when it could not be written.
[[nodiscard]] bool WriteBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace corvane
