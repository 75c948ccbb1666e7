#include "platform/urlcache/url_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/urlcache/url_cache_file.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/url_cache_machine.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string url;
  std::string localFile;
  DWORD type = 0;
  DWORD size = 0;
  std::uint64_t lastAccess = 0;
  std::uint64_t lastSync = 0;
};

// Enumerates with a buffer that starts too small, growing it as the caller of the back-end does.
std::vector<Entry> Enumerate(const char* pattern, DWORD* failure = nullptr) {
  std::vector<Entry> entries;
  std::vector<std::uint64_t> buffer(2);
  DWORD size = static_cast<DWORD>(buffer.size() * 8);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  UrlCacheFindHandle find = FindFirstUrlCacheEntryW(pattern, info, &size);
  while (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(size / 8 + 1);
    info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    find = FindFirstUrlCacheEntryW(pattern, info, &size);
  }
  if (!find) {
    if (failure != nullptr) *failure = GetLastError();
    return entries;
  }
  while (true) {
    entries.push_back({info->lpszSourceUrlName,
                       info->lpszLocalFileName ? info->lpszLocalFileName : "", info->CacheEntryType,
                       info->dwSizeLow});
    size = static_cast<DWORD>(buffer.size() * 8);
    if (FindNextUrlCacheEntryW(find, info, &size)) continue;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      buffer.resize(size / 8 + 1);
      info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
      size = static_cast<DWORD>(buffer.size() * 8);
      EXPECT_TRUE(FindNextUrlCacheEntryW(find, info, &size));
      continue;
    }
    if (failure != nullptr) *failure = GetLastError();
    break;
  }
  EXPECT_TRUE(FindCloseUrlCache(find));
  return entries;
}

std::set<std::string> UrlsOf(const std::vector<Entry>& entries) {
  std::set<std::string> urls;
  for (const Entry& entry : entries) urls.insert(entry.url);
  return urls;
}

class UrlCacheTest : public ::testing::Test {
 protected:
  UrlCacheTest() { machine_.InstallWineContainers(); }
  test::UrlCacheMachine machine_;
};

TEST_F(UrlCacheTest, EnumeratesWhatWinInetListsWithTheBufferProtocol) {
  DWORD failure = 0;
  const std::vector<Entry> all = Enumerate(nullptr, &failure);
  EXPECT_EQ(failure, ERROR_NO_MORE_ITEMS);
  std::set<std::string> expected;
  for (const test::ListedEntry& listed : test::UrlCacheMachine::WineListing()) {
    expected.insert(listed.url);
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const Entry& entry) { return entry.url == listed.url; });
    ASSERT_NE(found, all.end()) << listed.url;
    EXPECT_EQ(found->localFile, listed.localFile);
    EXPECT_EQ(found->type, listed.type);
    EXPECT_EQ(found->size, listed.size);
    // WinInet keeps the sync time as a DOS date and time (2-second steps) taken from the access.
    EXPECT_LT(found->lastAccess - found->lastSync, 20'000'000u) << listed.url;
  }
  EXPECT_EQ(UrlsOf(all), expected);
  EXPECT_EQ(UrlsOf(Enumerate("*")), expected);

  // The pattern picks the container in any letter case.
  EXPECT_EQ(UrlsOf(Enumerate("cookie:")), (std::set<std::string>{"Cookie:root@www.example.com/",
                                                                 "Cookie:root@keep.example.net/"}));
  EXPECT_EQ(Enumerate("COOKIE:").size(), 2u);
  EXPECT_EQ(Enumerate("visited:").size(), 2u);
  EXPECT_EQ(Enumerate("").size(), 4u);
  failure = 0;
  EXPECT_TRUE(Enumerate("nothing:", &failure).empty());
  EXPECT_EQ(failure, ERROR_NO_MORE_ITEMS);
}

TEST_F(UrlCacheTest, AnEmptyProfileHasNoEntries) {
  fs::remove(machine_.CacheIndex());
  fs::remove(machine_.CookiesIndex());
  fs::remove(machine_.HistoryIndex());
  DWORD failure = 0;
  EXPECT_TRUE(Enumerate(nullptr, &failure).empty());
  EXPECT_EQ(failure, ERROR_NO_MORE_ITEMS);
}

TEST_F(UrlCacheTest, DeleteRemovesEntryAndFileAndWinesViewStaysConsistent) {
  const std::string page = "http://www.example.com/a/page.html";
  const std::vector<Entry> before = Enumerate("");
  const auto entry =
      std::find_if(before.begin(), before.end(), [&](const Entry& e) { return e.url == page; });
  ASSERT_NE(entry, before.end());
  const fs::path file = machine_.Temp().Host(entry->localFile);
  ASSERT_TRUE(fs::exists(file));

  EXPECT_TRUE(DeleteUrlCacheEntryW(page));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(DeleteUrlCacheEntryW("Cookie:root@www.example.com/"));
  EXPECT_FALSE(DeleteUrlCacheEntryW(page));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(FlushUrlCache());

  const std::string bytes = test::ScratchFolder::Read(machine_.CacheIndex().string());
  EXPECT_EQ(bytes.find("/a/page.html"), std::string::npos);
  std::string problem;
  const std::optional<UrlCacheFile> reread = UrlCacheFile::Parse(bytes, &problem);
  ASSERT_TRUE(reread) << problem;
  EXPECT_TRUE(reread->IsWritable(&problem)) << problem;
  const std::set<std::string> urls = UrlsOf(Enumerate(nullptr));
  EXPECT_FALSE(urls.count(page));
  EXPECT_FALSE(urls.count("Cookie:root@www.example.com/"));
  EXPECT_EQ(urls.size(), 6u);
}

TEST_F(UrlCacheTest, AFileThatCannotBeDeletedKeepsItsEntry) {
  const std::vector<Entry> before = Enumerate("");
  const Entry& first = before.front();
  const fs::path file = machine_.Temp().Host(first.localFile);
  fs::remove(file);
  fs::create_directory(file);  // a folder where the file was: DeleteFile answers access denied
  EXPECT_FALSE(DeleteUrlCacheEntryW(first.url));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(UrlsOf(Enumerate("")).count(first.url));

  // A file already gone is no obstacle.
  const Entry& second = before[1];
  fs::remove(machine_.Temp().Host(second.localFile));
  EXPECT_TRUE(DeleteUrlCacheEntryW(second.url));
}

TEST_F(UrlCacheTest, NothingIsWrittenWhileWineRuns) {
  const std::string before = test::ScratchFolder::Read(machine_.HistoryIndex().string());
  {
    const test::WineServerLockHolder wine(machine_.Temp().Prefix());
    EXPECT_FALSE(DeleteUrlCacheEntryW("Visited: root@http://keep.example.net/index.html"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_NE(UrlCacheLastProblem().find("index.dat"), std::string::npos);
  }
  EXPECT_EQ(test::ScratchFolder::Read(machine_.HistoryIndex().string()), before);

  // A deletion made before Wine started is not written while it runs, and is dropped.
  EXPECT_TRUE(DeleteUrlCacheEntryW("Visited: root@http://keep.example.net/index.html"));
  {
    const test::WineServerLockHolder wine(machine_.Temp().Prefix());
    EXPECT_FALSE(FlushUrlCache());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(test::ScratchFolder::Read(machine_.HistoryIndex().string()), before);
  EXPECT_EQ(Enumerate("visited:").size(), 2u);
}

TEST_F(UrlCacheTest, ABrokenContainerFailsTheEnumerationAndIsNeverWritten) {
  std::string bytes = test::ScratchFolder::Read(machine_.CookiesIndex().string());
  bytes.resize(bytes.size() - 200);
  std::ofstream(machine_.CookiesIndex(), std::ios::binary | std::ios::trunc) << bytes;
  DWORD failure = 0;
  Enumerate(nullptr, &failure);
  EXPECT_EQ(failure, ERROR_FILE_CORRUPT);
  EXPECT_NE(UrlCacheLastProblem().find("INetCookies\\index.dat"), std::string::npos);
  EXPECT_FALSE(DeleteUrlCacheEntryW("Cookie:root@keep.example.net/"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
  EXPECT_EQ(test::ScratchFolder::Read(machine_.CookiesIndex().string()), bytes);
  // The other containers are still there to read by themselves.
  EXPECT_EQ(Enumerate("visited:").size(), 2u);

  // A link in the container's place is not followed.
  fs::remove(machine_.CookiesIndex());
  fs::create_symlink(machine_.HistoryIndex(), machine_.CookiesIndex());
  failure = 0;
  EXPECT_TRUE(Enumerate("cookie:", &failure).empty());
  EXPECT_EQ(failure, ERROR_FILE_CORRUPT);
}

TEST_F(UrlCacheTest, AFileNameThatLeavesItsFolderIsNeverTouched) {
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {"AAAAAAAA"});
  UrlCacheNewEntry entry;
  entry.url = "http://evil.example/";
  entry.localName = "..\\..\\..\\..\\..\\Documents\\keep.txt";
  entry.directory = 0;
  ASSERT_TRUE(file.Add(entry));
  std::ofstream(machine_.CacheIndex(), std::ios::binary | std::ios::trunc) << file.Bytes();
  const fs::path keep = machine_.Temp().WriteFile("C:\\users\\root\\Documents\\keep.txt", "mine");

  const std::vector<Entry> entries = Enumerate("");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].localFile.empty());
  EXPECT_TRUE(DeleteUrlCacheEntryW("http://evil.example/"));
  EXPECT_TRUE(FlushUrlCache());
  EXPECT_TRUE(fs::exists(keep));
}

}  // namespace
}  // namespace corvane
