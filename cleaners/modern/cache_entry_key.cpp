#include "cleaners/modern/cache_entry_key.h"

#include "cleaners/modern/modern_store.h"

namespace corvane {

namespace {

constexpr std::uint32_t kFirefoxChunkSize = 256 * 1024;
constexpr std::uint32_t kFirefoxHeaderFields = 8;  // version 1 lacks the last one, the flags
constexpr std::uint64_t kSimpleCacheMagic = 0xfcfb6d1ba7725c30ULL;

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

std::uint64_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = size; i > 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i - 1]);
  }
  return value;
}

}  // namespace

std::optional<std::uint32_t> FirefoxMetadataOffset(std::string_view tail) {
  if (tail.size() < 4) return std::nullopt;
  return BigEndian32(tail, tail.size() - 4);
}

std::optional<FirefoxCacheKey> ParseFirefoxMetadata(std::string_view metadata,
                                                    std::uint32_t metaOffset) {
  if (metadata.size() < 4 || metadata.size() > kMaxFirefoxMetadata) return std::nullopt;
  const std::uint64_t hashCount =
      (std::uint64_t{metaOffset} + kFirefoxChunkSize - 1) / kFirefoxChunkSize;
  const std::uint64_t header = 4 + hashCount * 2;
  const std::uint64_t end = metadata.size() - 4;  // the offset itself closes the metadata
  if (header + (kFirefoxHeaderFields - 1) * 4 > end) return std::nullopt;
  const std::uint32_t version = BigEndian32(metadata, header);
  if (version == 0) return std::nullopt;
  const std::uint32_t keySize = BigEndian32(metadata, header + 24);
  const std::uint64_t keyAt = header + (version == 1 ? 7 : kFirefoxHeaderFields) * 4;
  // The key, then its zero, must fit before the offset.
  if (keyAt + keySize + 1 > end || metadata[keyAt + keySize] != '\0') return std::nullopt;
  FirefoxCacheKey key;
  key.key = std::string(metadata.substr(keyAt, keySize));
  if (key.key.find('\0') != std::string::npos) return std::nullopt;
  key.lastFetched = BigEndian32(metadata, header + 8);
  return key;
}

std::optional<std::string_view> FirefoxKeyUrl(std::string_view key) {
  std::size_t at = 0;
  while (at < key.size()) {
    if (key[at] == ':') return key.substr(at + 1);
    if (key[at] == ',') return std::nullopt;  // a tag needs its letter
    // The tag's letter and value run to the next single comma; a doubled one is part of it.
    std::size_t next = at + 1;
    while (true) {
      next = key.find(',', next);
      if (next == std::string_view::npos) return std::nullopt;
      if (next + 1 < key.size() && key[next + 1] == ',') {
        next += 2;
        continue;
      }
      break;
    }
    at = next + 1;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> SimpleCacheKeyLength(std::string_view header) {
  if (header.size() < kSimpleCacheHeaderSize) return std::nullopt;
  if (LittleEndian(header, 0, 8) != kSimpleCacheMagic) return std::nullopt;
  return static_cast<std::uint32_t>(LittleEndian(header, 12, 4));
}

std::string_view SimpleCacheKeyUrl(std::string_view key) {
  constexpr std::string_view kSeparators = " \n";
  // Code Cache: "_key<resource URL> \n<site it was compiled for>". The site is only the
  // registrable part ("testing.com" for a script of "beta.testing.com"): the resource names the
  // host the user met, as the HTTP cache files it.
  if (key.starts_with("_key")) {
    const std::string_view resource = key.substr(4, key.find_first_of(kSeparators) - 4);
    if (!UrlHostKey(resource).empty()) return resource;
  }
  std::size_t end = key.size();
  while (end > 0) {
    const std::size_t last = key.find_last_of(kSeparators, end - 1);
    const std::size_t start = last == std::string_view::npos ? 0 : last + 1;
    std::string_view field = key.substr(start, end - start);
    if (!UrlHostKey(field).empty()) return field;
    if (last == std::string_view::npos) break;
    end = last;
  }
  return {};
}

}  // namespace corvane
