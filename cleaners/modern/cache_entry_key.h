#pragma once
// The keys today's browsers file their disk cache entries under, read out of an entry file's own
// bytes, and the URL each key names. Every length and offset a file states is checked against the
// bytes there are: a truncated or hostile entry gives no key, never a read past its end.
//
// Firefox ("cache2\entries\<hash>"): the data, then the metadata, whose offset is the big-endian
// 32-bit number in the last 4 bytes. The metadata starts with a 32-bit checksum and one 16-bit
// checksum per 256 KiB chunk of data, then a header of big-endian 32-bit fields (version, fetch
// count, last fetched, last modified, frecency, expiration, key size and, from version 2, flags),
// then the key and its terminating zero. A key is a list of tags ("a," anonymous,
// "O^partitionKey=...," origin attributes; a comma inside a value is doubled) ended by ":" and
// the URL.
//
// The Chromium family's simple cache ("<16 hex digits>_0", also Code Cache's): a 24-byte header
// (64-bit magic, version, key length, key hash, padding; little-endian) and the key. Its fields
// are separated by spaces (and a newline in Code Cache's); the URL is the last one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Firefox keeps no metadata bigger than this (elements are at most 64 KiB; keys are URLs).
inline constexpr std::uint32_t kMaxFirefoxMetadata = 4 << 20;
// The simple cache header's size and the longest key read from it.
inline constexpr std::uint32_t kSimpleCacheHeaderSize = 24;
inline constexpr std::uint32_t kMaxSimpleCacheKey = 1 << 20;

struct FirefoxCacheKey {
  std::string key;
  std::uint32_t lastFetched = 0;  // seconds since 1970
};

// The offset the last 4 bytes of an entry file name (`tail` is at least those 4 bytes); none when
// the file is shorter.
[[nodiscard]] std::optional<std::uint32_t> FirefoxMetadataOffset(std::string_view tail);

// The key of a Firefox entry from its metadata: `metadata` is every byte of the file from
// `metaOffset` (the data's size) to its end, the offset itself included. None when anything in it
// does not fit.
[[nodiscard]] std::optional<FirefoxCacheKey> ParseFirefoxMetadata(std::string_view metadata,
                                                                  std::uint32_t metaOffset);

// The URL of a Firefox key: what follows the ":" that ends its tags. None when the tags do not
// parse.
[[nodiscard]] std::optional<std::string_view> FirefoxKeyUrl(std::string_view key);

// The key length a simple cache header states; none when `header` (its first 24 bytes) is not
// one.
[[nodiscard]] std::optional<std::uint32_t> SimpleCacheKeyLength(std::string_view header);

// The URL a simple cache key names: Code Cache's resource URL (after "_key"), else the last of its
// fields that is an http(s) or ftp URL with a host. Empty when none is.
[[nodiscard]] std::string_view SimpleCacheKeyUrl(std::string_view key);

}  // namespace corvane
