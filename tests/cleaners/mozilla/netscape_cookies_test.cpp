#include "cleaners/mozilla/netscape_cookies.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include "engine/erase_fault.h"
#include "tests/support/mozilla_machine.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr char kHeader[] =
    "# Netscape HTTP Cookie File\n"
    "# This is a generated file!  Do not edit.\n"
    "\n";

std::string Cookie(std::string_view domain, std::string_view name = "id") {
  return std::string(domain) + "\tTRUE\t/\tFALSE\t1893456000\t" + std::string(name) + "\tv\n";
}

class NetscapeCookiesTest : public ::testing::Test {
 protected:
  NetscapeCookiesTest() : mozilla_(test::NetscapeKeys()) {}

  std::map<std::string, std::uint32_t> Counts() {
    BrowserScanResult result;
    result.browser = BrowserCode::Mozilla;
    EXPECT_TRUE(GetNetscapeCookies(result, mozilla_.Progress()));
    std::map<std::string, std::uint32_t> counts;
    for (const auto& [key, record] : result.domains) {
      EXPECT_EQ(record.name, key);
      // Every cookie is an entry of its domain, shown by the domain field it was stored under.
      EXPECT_EQ(record.entries.size(), std::min<std::size_t>(record.itemCount, 300));
      for (const DomainEntry& entry : record.entries) {
        EXPECT_NE(entry.url.find(key), std::string::npos) << entry.url;
      }
      counts[key] = record.itemCount;
    }
    return counts;
  }

  // Scans, selects the domains and erases; answers UpdateNetscapeCookies' answer.
  int EraseDomains(const std::vector<std::string>& selected, Overwrite overwrite,
                   DeletionAccumulator* tally = nullptr) {
    BrowserScanResult result;
    result.browser = BrowserCode::Mozilla;
    EXPECT_TRUE(GetNetscapeCookies(result, mozilla_.Progress()));
    for (const std::string& domain : selected)
      result.domains.at(domain).status = DomainStatus::Selected;
    const int answer = UpdateNetscapeCookies(result, overwrite, mozilla_.Progress(), tally);
    for (const std::string& domain : selected) {
      EXPECT_EQ(result.domains.at(domain).status,
                answer == 1 ? DomainStatus::Erased : DomainStatus::Selected);
    }
    return answer;
  }

  test::MozillaMachine mozilla_;
};

TEST_F(NetscapeCookiesTest, CountsEveryProfilesCookiesUnderTheirDomains) {
  const std::string suite = mozilla_.SuiteProfile();
  const std::string firefox = mozilla_.FirefoxProfile();
  const std::string netscape = mozilla_.NetscapeProfile();
  mozilla_.Write(suite, "cookies.txt",
                 std::string(kHeader) + Cookie(".www.example.com") + Cookie("www.example.com") +
                     Cookie("ftp.example.com") + Cookie(".example.com"));
  mozilla_.Write(firefox, "Cookies.txt",
                 Cookie("shop.test") + "no tab here\n" +
                     "#HttpOnly_.shop.test\tTRUE\t/\tFALSE\t0\ts\tv\n" +
                     "\r\tcarriage return: a blank line\n");
  mozilla_.Write(netscape, "cookies.txt", Cookie("news.test"));
  const std::map<std::string, std::uint32_t> expected = {
      {"www.example.com", 1}, {"example.com", 3}, {"shop.test", 2}, {"news.test", 1}};
  EXPECT_EQ(Counts(), expected);
}

TEST_F(NetscapeCookiesTest, EraseKeepsEverythingButTheChosenCookiesByteForByte) {
  const std::string profile = mozilla_.SuiteProfile();
  const std::string kept = std::string(kHeader) + Cookie("keep.test", "a") + "odd line\r\n" +
                           Cookie(".keep.test", "b\x01\xff") + "# a comment\twith a tab\n";
  const fs::path file = mozilla_.Write(
      profile, "cookies.txt",
      std::string(kHeader) + Cookie("keep.test", "a") + Cookie("gone.test") + "odd line\r\n" +
          Cookie(".keep.test", "b\x01\xff") + Cookie("www.gone.test", "2") +
          "#HttpOnly_gone.test\tTRUE\t/\tFALSE\t0\th\tv\n" + "# a comment\twith a tab\n" +
          Cookie("gone.test", "last").substr(0, 20));  // the last line has no line end
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  DeletionAccumulator tally;
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::Off, &tally), 1);
  EXPECT_EQ(ReadHostFile(file), kept);
  EXPECT_EQ(tally.Erased().items, 4u);
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // Nothing but the file itself is left in the profile.
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
}

TEST_F(NetscapeCookiesTest, ALastLineWithoutLineEndStaysAsItWas) {
  const std::string profile = mozilla_.SuiteProfile();
  const fs::path file =
      mozilla_.Write(profile, "cookies.txt", Cookie("gone.test") + "keep.test\tTRUE\t/\tFALSE");
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 1);
  EXPECT_EQ(ReadHostFile(file), "keep.test\tTRUE\t/\tFALSE");
}

TEST_F(NetscapeCookiesTest, CookiesOfDomainsTheScanDidNotSeeGoToo) {
  const std::string profile = mozilla_.SuiteProfile();
  const fs::path file = mozilla_.Write(profile, "cookies.txt", Cookie("keep.test"));
  BrowserScanResult result;
  ASSERT_TRUE(GetNetscapeCookies(result, mozilla_.Progress()));
  WriteHostFile(file, Cookie("keep.test") + Cookie("new.test"));
  EXPECT_EQ(UpdateNetscapeCookies(result, Overwrite::Off, mozilla_.Progress(), nullptr), 1);
  EXPECT_EQ(ReadHostFile(file), Cookie("keep.test"));
}

TEST_F(NetscapeCookiesTest, LongLinesAreOneLineWhateverTheirLength) {
  const std::string profile = mozilla_.SuiteProfile();
  // A kept cookie longer than any read, whose tail would look like a cookie of the chosen domain
  // if it were judged on its own; and a chosen one as long.
  const std::string longKept = "keep.test\t" + std::string(3 << 20, 'k') + "\ngone.test\tx\n";
  const std::string longGone = "gone.test\t" + std::string(2 << 20, 'g') + "\n";
  const std::string unended = std::string(5 << 20, 'u');  // an endless last line, no tab
  const fs::path file = mozilla_.Write(profile, "cookies.txt",
                                       longGone + longKept.substr(0, longKept.find('\n') + 1) +
                                           Cookie("keep.test") + longGone + unended);
  EXPECT_EQ((Counts()), (std::map<std::string, std::uint32_t>{{"gone.test", 2}, {"keep.test", 2}}));
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::Off), 1);
  EXPECT_EQ(ReadHostFile(file),
            longKept.substr(0, longKept.find('\n') + 1) + Cookie("keep.test") + unended);
}

TEST_F(NetscapeCookiesTest, JunkIsKeptAndHostsThatAreNotUtf8AreErasedByTheirShownName) {
  const std::string profile = mozilla_.SuiteProfile();
  std::string junk;
  for (int i = 0; i < 4096; ++i)
    junk += static_cast<char>((i * 131 + 7) % 256 == '\t' ? 'x' : (i * 131 + 7) % 256);
  const std::string nul = std::string("nul\0host.test", 13);
  const fs::path file = mozilla_.Write(profile, "cookies.txt",
                                       junk + "\n" + Cookie("caf\xe9.test") + Cookie(nul) +
                                           std::string(5000, 'd') + "\tlong domain\n");
  const std::map<std::string, std::uint32_t> counts = Counts();
  const std::string latin = "caf\xEF\xBF\xBD.test";         // U+FFFD for the Latin-1 byte
  const std::string shownNul = "nul\xEF\xBF\xBDhost.test";  // and for the NUL
  EXPECT_EQ(counts.at(latin), 1u);
  EXPECT_EQ(counts.at(shownNul), 1u);
  EXPECT_EQ(EraseDomains({latin, shownNul}, Overwrite::Off), 1);
  // The junk line has no tab: it is no cookie. The domain over 4 KB names no host: it stays.
  EXPECT_EQ(ReadHostFile(file), junk + "\n" + std::string(5000, 'd') + "\tlong domain\n");
}

TEST_F(NetscapeCookiesTest, OverwriteLeavesNoCopyOfTheOldFileAndSparesOtherLinks) {
  const std::string profile = mozilla_.SuiteProfile();
  const fs::path file =
      mozilla_.Write(profile, "cookies.txt", Cookie("gone.test") + Cookie("keep.test"));
  // The old file's bytes, seen through a descriptor held across the erase, are overwritten.
  const int old = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(old, 0);
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 1);
  std::string oldBytes(Cookie("gone.test").size() + Cookie("keep.test").size(), '\0');
  EXPECT_EQ(::pread(old, oldBytes.data(), oldBytes.size(), 0),
            static_cast<ssize_t>(oldBytes.size()));
  ::close(old);
  EXPECT_EQ(oldBytes.find("gone.test"), std::string::npos);
  EXPECT_EQ(ReadHostFile(file), Cookie("keep.test"));
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);

  // A second name for the same bytes (a backup elsewhere) keeps them: only our name moves on.
  WriteHostFile(file, Cookie("gone.test") + Cookie("keep.test"));
  const fs::path backup = mozilla_.Machine().HostRoot() / "backup-cookies.txt";
  fs::create_hard_link(file, backup);
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 0);  // the old bytes were not overwritten
  EXPECT_EQ(ReadHostFile(file), Cookie("keep.test"));
  EXPECT_EQ(ReadHostFile(backup), Cookie("gone.test") + Cookie("keep.test"));
}

TEST_F(NetscapeCookiesTest, AReadOnlyFileIsLeftAsItIsAndTheEraseFails) {
  const std::string profile = mozilla_.SuiteProfile();
  const fs::path file = mozilla_.Write(profile, "cookies.txt", Cookie("gone.test"));
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 0);
  EXPECT_EQ(ReadHostFile(file), Cookie("gone.test"));
}

TEST_F(NetscapeCookiesTest, AFailedWriteOrReplaceLeavesTheOldFileWhole) {
  const std::string profile = mozilla_.SuiteProfile();
  const std::string before = std::string(kHeader) + Cookie("gone.test") + Cookie("keep.test");
  const fs::path file = mozilla_.Write(profile, "cookies.txt", before);
  for (const EraseStep failing : {EraseStep::Write, EraseStep::Replace}) {
    const ScopedEraseFault fault([&](EraseStep step, std::string_view) {
      return step == failing ? ERROR_DISK_FULL : ERROR_SUCCESS;
    });
    EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 0);
    EXPECT_EQ(ReadHostFile(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
  }
}

TEST_F(NetscapeCookiesTest, AKillBetweenWriteAndRenameLeavesTheOldFileWhole) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string profile = mozilla_.SuiteProfile();
  const std::string before = std::string(kHeader) + Cookie("gone.test") + Cookie("keep.test");
  const fs::path file = mozilla_.Write(profile, "cookies.txt", before);
  EXPECT_EXIT(
      {
        const ScopedEraseFault fault([](EraseStep step, std::string_view) -> DWORD {
          if (step == EraseStep::Replace) ::_exit(9);  // the new file is written and synced
          return ERROR_SUCCESS;
        });
        (void)EraseDomains({"gone.test"}, Overwrite::On);
      },
      ::testing::ExitedWithCode(9), "");
  EXPECT_EQ(ReadHostFile(file), before);
  // The next erase clears what the killed one left and does the work.
  EXPECT_EQ(EraseDomains({"gone.test"}, Overwrite::On), 1);
  EXPECT_EQ(ReadHostFile(file), std::string(kHeader) + Cookie("keep.test"));
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
}

TEST_F(NetscapeCookiesTest, LinksPipesAndLinkedProfilesAreNeitherReadNorWritten) {
  const fs::path outside = mozilla_.Machine().HostRoot() / "outside";
  WriteHostFile(outside / "cookies.txt", Cookie("gone.test"));
  // A Firefox profile that is a link to a folder outside, and a suite profile whose cookies.txt
  // is a link: neither is entered. A pipe where the file should be neither blocks nor counts.
  fs::create_directories(mozilla_.Host(mozilla_.FirefoxProfile("real")).parent_path());
  fs::create_directory_symlink(
      outside, mozilla_.Host(mozilla_.FirefoxProfile("real")).parent_path() / "linked");
  const std::string suite = mozilla_.SuiteProfile();
  fs::create_symlink(outside / "cookies.txt", mozilla_.Host(suite, "cookies.txt"));
  const std::string netscape = mozilla_.NetscapeProfile();
  ASSERT_EQ(::mkfifo(mozilla_.Host(netscape, "cookies.txt").c_str(), 0600), 0);

  EXPECT_TRUE(Counts().empty());
  BrowserScanResult result;
  result.domains["gone.test"].status = DomainStatus::Selected;
  EXPECT_EQ(UpdateNetscapeCookies(result, Overwrite::On, mozilla_.Progress(), nullptr), 0);
  EXPECT_EQ(ReadHostFile(outside / "cookies.txt"), Cookie("gone.test"));
  EXPECT_TRUE(fs::is_symlink(mozilla_.Host(suite, "cookies.txt")));
}

TEST_F(NetscapeCookiesTest, ACancelledRunStopsBeforeTheNextProfile) {
  const std::string profile = mozilla_.SuiteProfile();
  const fs::path file = mozilla_.Write(profile, "cookies.txt", Cookie("gone.test"));
  BrowserScanResult result;
  ASSERT_TRUE(GetNetscapeCookies(result, mozilla_.Progress()));
  result.domains.at("gone.test").status = DomainStatus::Selected;
  mozilla_.Cancel();
  EXPECT_FALSE(GetNetscapeCookies(result, mozilla_.Progress()));
  EXPECT_EQ(UpdateNetscapeCookies(result, Overwrite::Off, mozilla_.Progress(), nullptr), 0);
  EXPECT_EQ(result.domains.at("gone.test").status, DomainStatus::Selected);
  EXPECT_EQ(ReadHostFile(file), Cookie("gone.test"));
}

}  // namespace
}  // namespace corvane
