#include "cleaners/mozilla/netscape_cache.h"

#include <gtest/gtest.h>

#include "tests/support/mozilla_machine.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class NetscapeCacheTest : public ::testing::Test {
 protected:
  NetscapeCacheTest() : mozilla_(test::NetscapeKeys()) {
    const std::string suite = mozilla_.SuiteProfile();
    mozilla_.Write(suite, "Cache\\_CACHE_MAP_", std::string(100, 'm'));
    mozilla_.Write(suite, "Cache\\_CACHE_001_", std::string(1000, 'c'));
    mozilla_.Write(suite, "Cache\\0\\deeper", "not one level down");
    mozilla_.Write(suite, "Cache.Trash\\old", std::string(10, 't'));
    mozilla_.Write(suite, "cookies.txt", "not a cache file");
    // Firefox's cache is in the local folder; the roaming profile's Cache is not its cache.
    mozilla_.Write(mozilla_.FirefoxCacheProfile(), "Cache\\ABC01", std::string(5, 'f'));
    mozilla_.Write(mozilla_.FirefoxProfile(), "Cache\\roaming", "stays");
    mozilla_.Write(mozilla_.NetscapeProfile(), "Cache\\M0001.htm", std::string(20, 'n'));
  }

  test::MozillaMachine mozilla_;
};

TEST_F(NetscapeCacheTest, CountsTheFilesDirectlyInEachCacheFolder) {
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  EXPECT_TRUE(GetNetscapeCache(bytes, files, mozilla_.Progress()));
  EXPECT_EQ(files, 5u);
  EXPECT_EQ(bytes, 1135u);
}

TEST_F(NetscapeCacheTest, EraseEmptiesThemAndLeavesEverythingElse) {
  DeletionAccumulator tally;
  EXPECT_TRUE(DeleteNetscapeCache(Overwrite::On, mozilla_.Progress(), &tally));
  EXPECT_EQ(tally.Erased().items, 5u);
  EXPECT_EQ(tally.Erased().bytes, 1135u);
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  EXPECT_TRUE(GetNetscapeCache(bytes, files, mozilla_.Progress()));
  EXPECT_EQ(files, 0u);
  const std::string suite = mozilla_.SuiteProfile();
  EXPECT_EQ(ReadHostFile(mozilla_.Host(suite, "Cache\\0\\deeper")), "not one level down");
  EXPECT_EQ(ReadHostFile(mozilla_.Host(suite, "cookies.txt")), "not a cache file");
  EXPECT_EQ(ReadHostFile(mozilla_.Host(mozilla_.FirefoxProfile(), "Cache\\roaming")), "stays");
}

TEST_F(NetscapeCacheTest, ACacheFolderThatIsALinkIsNeitherCountedNorEmptied) {
  const fs::path outside = mozilla_.Machine().HostRoot() / "outside";
  WriteHostFile(outside / "precious", "mine");
  const std::string profile = mozilla_.SuiteProfile("other");
  fs::create_directory_symlink(outside, mozilla_.Host(profile) / "Cache");
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  EXPECT_TRUE(GetNetscapeCache(bytes, files, mozilla_.Progress()));
  EXPECT_EQ(files, 5u);
  EXPECT_TRUE(DeleteNetscapeCache(Overwrite::On, mozilla_.Progress(), nullptr));
  EXPECT_EQ(ReadHostFile(outside / "precious"), "mine");
}

TEST_F(NetscapeCacheTest, ACancelledEraseDeletesNothing) {
  mozilla_.Cancel();
  std::uint64_t bytes = 0;
  std::uint32_t files = 0;
  EXPECT_FALSE(GetNetscapeCache(bytes, files, mozilla_.Progress()));
  EXPECT_FALSE(DeleteNetscapeCache(Overwrite::Off, mozilla_.Progress(), nullptr));
  EXPECT_TRUE(fs::exists(mozilla_.Host(mozilla_.SuiteProfile(), "Cache\\_CACHE_001_")));
}

}  // namespace
}  // namespace corvane
