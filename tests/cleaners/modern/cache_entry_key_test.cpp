#include "cleaners/modern/cache_entry_key.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "demo/demo_cache_entries.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The metadata of an entry written as Firefox writes one, and the offset it starts at.
struct Metadata {
  std::string bytes;
  std::uint32_t offset = 0;
};

Metadata FirefoxMetadata(const fs::path& file, const std::string& key, std::size_t dataSize,
                         std::uint32_t version = 3) {
  EXPECT_TRUE(MakeFirefoxCacheEntry(file, key, std::string(dataSize, 'd'), 1700000000, version));
  const std::string all = ReadHostFile(file);
  const std::optional<std::uint32_t> offset = FirefoxMetadataOffset(all);
  EXPECT_TRUE(offset.has_value());
  EXPECT_EQ(*offset, dataSize);
  return {all.substr(*offset), *offset};
}

TEST(CacheEntryKeyTest, FirefoxMetadataGivesTheKeyForEveryHeaderVersionAndChunkCount) {
  TempDir dir;
  const std::string key = "O^partitionKey=%28https%2Cbeta.test%29,a,:https://beta.test/x?y=1";
  // No data, one chunk, and data over one 256 KiB chunk (two hash slots before the header).
  for (const std::size_t dataSize : {std::size_t{0}, std::size_t{10}, std::size_t{300000}}) {
    for (const std::uint32_t version : {1u, 3u}) {
      const Metadata meta = FirefoxMetadata(dir.Path() / "e", key, dataSize, version);
      const std::optional<FirefoxCacheKey> parsed = ParseFirefoxMetadata(meta.bytes, meta.offset);
      ASSERT_TRUE(parsed.has_value()) << dataSize << " v" << version;
      EXPECT_EQ(parsed->key, key);
      EXPECT_EQ(parsed->lastFetched, 1700000000u);
    }
  }
}

TEST(CacheEntryKeyTest, FirefoxMetadataThatDoesNotFitGivesNoKey) {
  TempDir dir;
  const Metadata meta = FirefoxMetadata(dir.Path() / "e", "a,:http://beta.test/", 10);
  // Cut anywhere: the key or its zero would be read past the end.
  const std::size_t keyEnd = 4 + 2 + 32 + 20 + 1;  // hashes, header, key and its zero
  for (std::size_t cut = 0; cut < keyEnd; ++cut) {
    std::string truncated = meta.bytes.substr(0, cut) + meta.bytes.substr(meta.bytes.size() - 4);
    EXPECT_FALSE(ParseFirefoxMetadata(truncated, meta.offset).has_value()) << cut;
  }
  // A key size far past the end, or one that wraps.
  const std::size_t keySizeAt = 4 + 2 + 24;
  for (const std::uint32_t size : {0xffffffffu, 0xfffffff0u, 1000u}) {
    std::string bad = meta.bytes;
    for (int i = 0; i < 4; ++i) bad[keySizeAt + i] = static_cast<char>(size >> (24 - 8 * i));
    EXPECT_FALSE(ParseFirefoxMetadata(bad, meta.offset).has_value()) << size;
  }
  // The key must end in its zero.
  std::string unterminated = meta.bytes;
  unterminated[keySizeAt + 8 + 20] = 'x';
  EXPECT_FALSE(ParseFirefoxMetadata(unterminated, meta.offset).has_value());
  // An offset claiming more data than there is makes the hash slots overrun the header.
  EXPECT_FALSE(ParseFirefoxMetadata(meta.bytes, 0xfffffff0u).has_value());
  EXPECT_FALSE(FirefoxMetadataOffset("abc").has_value());
}

TEST(CacheEntryKeyTest, FirefoxKeyUrlFollowsTheTagsNotTheFirstColon) {
  EXPECT_EQ(FirefoxKeyUrl("a,:http://beta.test:8080/p"), "http://beta.test:8080/p");
  EXPECT_EQ(FirefoxKeyUrl(":https://beta.test/"), "https://beta.test/");
  EXPECT_EQ(FirefoxKeyUrl("O^partitionKey=%28http%2Cbeta.test%29,:https://beta.test/x"),
            "https://beta.test/x");
  // A doubled comma is part of a value; the colon inside a value ends nothing.
  EXPECT_EQ(FirefoxKeyUrl("O^a=x,,:https://evil.test/,a,:https://beta.test/"),
            "https://beta.test/");
  EXPECT_EQ(FirefoxKeyUrl("~1700000000,a,:https://beta.test/"), "https://beta.test/");
  EXPECT_FALSE(FirefoxKeyUrl("a,").has_value());
  EXPECT_FALSE(FirefoxKeyUrl(",:https://beta.test/").has_value());
  EXPECT_FALSE(FirefoxKeyUrl("https://beta.test/").has_value());  // no tags, no ":" first
  EXPECT_FALSE(FirefoxKeyUrl("").has_value());
}

TEST(CacheEntryKeyTest, SimpleCacheHeaderAndKeys) {
  TempDir dir;
  const std::string key = "1/0/_dk_https://beta.test https://beta.test https://beta.test/img.png";
  ASSERT_TRUE(MakeSimpleCacheEntry(dir.Path() / "0123456789abcdef_0", key, "body"));
  const std::string all = ReadHostFile(dir.Path() / "0123456789abcdef_0");
  EXPECT_EQ(SimpleCacheKeyLength(all), key.size());
  EXPECT_EQ(all.substr(kSimpleCacheHeaderSize, key.size()), key);
  std::string badMagic = all;
  badMagic[0] ^= 1;
  EXPECT_FALSE(SimpleCacheKeyLength(badMagic).has_value());
  EXPECT_FALSE(SimpleCacheKeyLength(all.substr(0, 23)).has_value());

  EXPECT_EQ(SimpleCacheKeyUrl(key), "https://beta.test/img.png");
  EXPECT_EQ(SimpleCacheKeyUrl("https://beta.test/a b"), "https://beta.test/a");
  EXPECT_EQ(SimpleCacheKeyUrl("http://old.test/page"), "http://old.test/page");
  // Code Cache: the resource URL after "_key", then only the registrable part of the site it was
  // compiled for, which names no host the user met.
  EXPECT_EQ(SimpleCacheKeyUrl("_keyhttp://beta.testing.com/app.js \nhttp://testing.com/"),
            "http://beta.testing.com/app.js");
  EXPECT_EQ(SimpleCacheKeyUrl("_keyabout:blank \nhttps://beta.test/"), "https://beta.test/");
  EXPECT_EQ(SimpleCacheKeyUrl("_keyhttps://cdn.test/app.js \n"), "https://cdn.test/app.js");
  EXPECT_EQ(SimpleCacheKeyUrl("1/0/_dk_chrome-extension://x chrome-extension://x/y"), "");
  EXPECT_EQ(SimpleCacheKeyUrl(""), "");
}

TEST(CacheEntryKeyTest, RandomBytesNeverReadOutOfBounds) {
  // Short, zero-rich bytes reach every early exit of the parsers; whatever they answer stays
  // inside what they were given (and a sanitizer build sees any read past it).
  std::mt19937 random(17);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 96, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 4 == 0 ? 0 : random());
    const auto offset = static_cast<std::uint32_t>(random() % 4 == 0 ? random() : random() % 64);
    if (const auto key = ParseFirefoxMetadata(bytes, offset)) {
      EXPECT_LT(key->key.size(), bytes.size());
      static_cast<void>(FirefoxKeyUrl(key->key));
    }
    EXPECT_FALSE(SimpleCacheKeyLength(bytes).has_value());  // no magic in them
    const std::string_view url = SimpleCacheKeyUrl(bytes);
    EXPECT_LE(url.size(), bytes.size());
  }
}

}  // namespace
}  // namespace corvane
