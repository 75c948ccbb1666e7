#include "platform/urlcache/url_cache_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string Fixture(const char* name) {
  std::ostringstream text;
  text << std::ifstream(fs::path(CORVANE_FIXTURES_DIR) / "ie" / name, std::ios::binary).rdbuf();
  return text.str();
}

UrlCacheFile Parsed(std::string_view bytes) {
  std::string problem;
  std::optional<UrlCacheFile> file = UrlCacheFile::Parse(bytes, &problem);
  EXPECT_TRUE(file) << problem;
  return file ? std::move(*file) : UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {});
}

std::vector<std::string> Urls(const UrlCacheFile& file) {
  std::vector<std::string> urls;
  for (const UrlCacheRecord& record : file.Records())
    if (!record.deleted) urls.emplace_back(file.Text(record.url));
  return urls;
}

void Put32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}
std::uint32_t Get32(std::string_view bytes, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

TEST(UrlCacheFileTest, ReadsWhatWinesWinInetWrote) {
  const UrlCacheFile cache = Parsed(Fixture("cache-index.dat"));
  EXPECT_EQ(cache.GetSignature(), UrlCacheFile::Signature::Wine);
  EXPECT_EQ(cache.DirectoryCount(), 4u);
  ASSERT_EQ(cache.Records().size(), 4u);
  const UrlCacheRecord& page = cache.Records()[0];
  EXPECT_EQ(cache.Text(page.url), "http://www.example.com/a/page.html");
  EXPECT_EQ(cache.Text(page.localName), "page[0].htm");
  EXPECT_EQ(cache.DirectoryName(page.directory).size(), 8u);
  EXPECT_EQ(page.size, 10u);
  EXPECT_EQ(page.entryType, NORMAL_CACHE_ENTRY);
  EXPECT_NE(page.lastAccess, 0u);
  EXPECT_TRUE(cache.IsWritable());

  const UrlCacheFile cookies = Parsed(Fixture("cookies-index.dat"));
  EXPECT_EQ(cookies.DirectoryCount(), 0u);
  ASSERT_EQ(cookies.Records().size(), 2u);
  EXPECT_EQ(cookies.Records()[0].directory, kUrlCacheNoSubdirectory);
  EXPECT_EQ(cookies.Records()[0].entryType & COOKIE_CACHE_ENTRY, COOKIE_CACHE_ENTRY);

  const UrlCacheFile history = Parsed(Fixture("history-index.dat"));
  EXPECT_EQ(Urls(history),
            (std::vector<std::string>{"Visited: root@http://www.example.com/a/page.html",
                                      "Visited: root@http://keep.example.net/index.html"}));
}

TEST(UrlCacheFileTest, DeletingFreesTheRecordAndLeavesNoTraceOfIt) {
  UrlCacheFile cache = Parsed(Fixture("cache-index.dat"));
  const std::uint32_t inUse = Get32(cache.Bytes(), 40);
  const std::optional<std::size_t> found = cache.Find("https://news.example.org/today.html");
  ASSERT_TRUE(found);
  const std::uint32_t blocks = cache.Records()[*found].blocks;
  cache.Delete(*found);
  EXPECT_FALSE(cache.Find("https://news.example.org/today.html"));
  EXPECT_EQ(cache.Bytes().find("news.example.org"), std::string::npos);
  EXPECT_EQ(cache.Bytes().find("today[0]"), std::string::npos);

  // What is written back is consistent, as Wine checks when it opens the file.
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges = cache.TakeChangedRanges();
  EXPECT_FALSE(ranges.empty());
  const UrlCacheFile again = Parsed(cache.Bytes());
  EXPECT_TRUE(again.IsWritable());
  EXPECT_EQ(Get32(again.Bytes(), 40), inUse - blocks);
  EXPECT_EQ(Urls(again), (std::vector<std::string>{"http://www.example.com/a/page.html",
                                                   "http://www.example.com/b/logo.png",
                                                   "http://keep.example.net/index.html"}));
}

TEST(UrlCacheFileTest, AWrittenContainerGrowsAndReadsBack) {
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {"AAAAAAAA", "BBBBBBBB"});
  for (int i = 0; i < 3000; ++i) {
    UrlCacheNewEntry entry;
    entry.url = "http://host" + std::to_string(i % 50) + ".example/page" + std::to_string(i);
    entry.localName = "page" + std::to_string(i) + "[0].htm";
    entry.directory = static_cast<std::uint8_t>(i % 2);
    entry.size = 100;
    ASSERT_TRUE(file.Add(entry)) << i;
  }
  EXPECT_TRUE(file.Grew());
  const UrlCacheFile again = Parsed(file.Bytes());
  EXPECT_EQ(again.Records().size(), 3000u);
  EXPECT_TRUE(again.IsWritable());
  EXPECT_TRUE(again.Find("http://host7.example/page2957"));
  EXPECT_EQ(Get32(again.Bytes(), 76), 1500u);  // files in the first directory
}

TEST(UrlCacheFileTest, AWindowsContainerIsReadToo) {
  std::string bytes = Fixture("history-index.dat");
  const char windows[] = "Client UrlCache MMF Ver 5.2";
  std::memcpy(bytes.data(), windows, sizeof windows);
  const UrlCacheFile file = Parsed(bytes);
  EXPECT_EQ(file.GetSignature(), UrlCacheFile::Signature::Windows);
  EXPECT_EQ(file.Records().size(), 2u);
}

TEST(UrlCacheFileTest, HostileHeadersAndChainsAreRefused) {
  const std::string good = Fixture("cache-index.dat");
  const auto refused = [](std::string bytes) {
    std::string problem;
    const bool parsed = UrlCacheFile::Parse(std::move(bytes), &problem).has_value();
    return !parsed && !problem.empty();
  };
  EXPECT_TRUE(refused(good.substr(0, good.size() - 128)));  // truncated
  EXPECT_TRUE(refused(good.substr(0, 100)));
  std::string signature = good;
  signature[0] = 'X';
  EXPECT_TRUE(refused(signature));
  std::string capacity = good;
  Put32(capacity, 36, 0xFFFFFFF0);
  EXPECT_TRUE(refused(capacity));
  const std::uint32_t table = Get32(good, 32);
  std::string loop = good;
  Put32(loop, table + 8, table);
  EXPECT_TRUE(refused(loop));
  std::string outside = good;
  Put32(outside, 32, 0x7FFFFFF0);
  EXPECT_TRUE(refused(outside));
  EXPECT_TRUE(refused(std::string(20'000'000, '\0')));
}

TEST(UrlCacheFileTest, BrokenRecordsAreSkippedAndSharedBlocksForbidWrites) {
  const std::string good = Fixture("cache-index.dat");
  const std::uint32_t table = Get32(good, 32);
  // Find the first two used slots.
  std::vector<std::uint32_t> slots;
  for (std::uint32_t slot = 0; slot < 448 && slots.size() < 2; ++slot) {
    const std::uint32_t key = Get32(good, table + 16 + slot * 8);
    if (key != 1 && key != 3) slots.push_back(table + 16 + slot * 8);
  }
  ASSERT_EQ(slots.size(), 2u);

  std::string badUrl = good;
  const std::uint32_t record = Get32(good, slots[0] + 4);
  Put32(badUrl, record + 52, 0x10000);  // the URL lies beyond the record
  const UrlCacheFile skipped = Parsed(badUrl);
  EXPECT_EQ(skipped.Records().size(), 3u);
  EXPECT_EQ(skipped.SkippedRecords(), 1u);

  std::string shared = good;
  Put32(shared, slots[1] + 4, record);  // two slots, one record
  const UrlCacheFile twice = Parsed(shared);
  std::string problem;
  EXPECT_FALSE(twice.IsWritable(&problem));
  EXPECT_FALSE(problem.empty());

  std::string counts = good;
  Put32(counts, 40, Get32(good, 40) + 1);  // blocks in use disagree with the bitmap
  EXPECT_FALSE(Parsed(counts).IsWritable());
}

TEST(UrlCacheFileTest, NothingIsAddedWhereAStraySlotPoints) {
  // Found by fuzzing: a slot naming a free block would name the next record written there too.
  UrlCacheFile file = Parsed(Fixture("stray-slot-index.dat"));
  UrlCacheNewEntry entry;
  entry.url = "http://example.com/";
  EXPECT_FALSE(file.Add(entry));
  EXPECT_TRUE(file.IsWritable());
}

}  // namespace
}  // namespace corvane
