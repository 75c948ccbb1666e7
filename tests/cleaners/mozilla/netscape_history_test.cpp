#include "cleaners/mozilla/netscape_history.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/domain_pages.h"
#include "tests/support/mozilla_machine.h"
#include "tests/support/pending_renames.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The start of a history.dat as Mozilla writes it (Mork), with the URLs as atoms.
std::string MorkHistory(const std::vector<std::string>& urls) {
  std::string text =
      "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
      "< <(a=c)> // (f=iso-8859-1)\n"
      "  (B8=Typed)(B9=LastVisitDate)(BA=URL)(BB=FirstVisitDate)(BC=Name)>\n<";
  int id = 0x80;
  for (const std::string& url : urls) {
    char atom[16];
    std::snprintf(atom, sizeof atom, "(%X=", id++);
    text += atom + url + ")";
  }
  text += ">\n{1:^80 {(k^81:c)(s=9)}\n  [1(^BA^80)(^B9=1153401458382000)]}\n";
  return text;
}

class NetscapeHistoryTest : public ::testing::Test {
 protected:
  NetscapeHistoryTest() : mozilla_(test::NetscapeKeys()) {}

  std::map<std::string, std::uint32_t> Counts(int expectedAnswer = 1) {
    BrowserScanResult result;
    EXPECT_EQ(GetNetscapeHistory(result, mozilla_.Progress()), expectedAnswer);
    std::map<std::string, std::uint32_t> counts;
    for (const auto& [key, record] : result.domains) counts[key] = record.itemCount;
    return counts;
  }

  test::MozillaMachine mozilla_;
};

TEST_F(NetscapeHistoryTest, CountsTheHostOfEveryUrlUnderItsOwnScheme) {
  mozilla_.Write(
      mozilla_.SuiteProfile(), "history.dat",
      MorkHistory({"http://www.example.com/", "https://secure.test/login",
                   "ftp://ftp.files.test/pub/", "news://news.test/group",
                   "http://www.example.com/b", "gopher://old.test/", "file:///C:/x.html"}));
  mozilla_.Write(mozilla_.FirefoxProfile(), "History.dat", MorkHistory({"https://only.test/"}));
  mozilla_.Write(mozilla_.NetscapeProfile(), "history.dat",
                 MorkHistory({"http://caf\xe9.test/", "http://port.test:8080/x"}));
  mozilla_.SuiteProfile("default", "without-history");
  const std::map<std::string, std::uint32_t> expected = {
      {"www.example.com", 2}, {"secure.test", 1},          {"ftp.files.test", 1}, {"news.test", 1},
      {"only.test", 1},       {"caf\xEF\xBF\xBD.test", 1}, {"port.test:8080", 1}};
  EXPECT_EQ(Counts(), expected);
}

TEST_F(NetscapeHistoryTest, EntriesShowTheAddressesAndTheFirstFewHundredAreKept) {
  std::vector<std::string> urls = {"https://secure.test/login?next=a", "http://www.example.com/"};
  for (int i = 0; i < 400; ++i) urls.push_back("http://many.test/" + std::to_string(i));
  mozilla_.Write(mozilla_.SuiteProfile(), "history.dat", MorkHistory(urls));
  BrowserScanResult result;
  ASSERT_EQ(GetNetscapeHistory(result, mozilla_.Progress()), 1);
  ASSERT_EQ(result.domains.at("secure.test").entries.size(), 1u);
  // The address ends where its Mork value does.
  EXPECT_EQ(result.domains.at("secure.test").entries[0].url, "https://secure.test/login?next=a");
  EXPECT_EQ(result.domains.at("www.example.com").entries[0].url, "http://www.example.com/");
  // All are counted, a page's worth is kept.
  EXPECT_EQ(result.domains.at("many.test").itemCount, 400u);
  EXPECT_EQ(result.domains.at("many.test").entries.size(), kShownDomainEntries);
  EXPECT_EQ(result.domains.at("many.test").entries.back().url, "http://many.test/299");
}

TEST_F(NetscapeHistoryTest, HostsAreCutAt259CharactersAndJunkFindsNothing) {
  std::string junk(1 << 16, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 % 251);
  mozilla_.Write(mozilla_.SuiteProfile(), "history.dat",
                 junk + "http://" + std::string(1000, 'h') + "/" + junk + "ftp://tail.test");
  const std::map<std::string, std::uint32_t> expected = {{std::string(259, 'h'), 1},
                                                         {"tail.test", 1}};
  EXPECT_EQ(Counts(), expected);
}

TEST_F(NetscapeHistoryTest, A200MegabyteHistoryIsSearchedInBoundedMemory) {
  const fs::path file = mozilla_.Write(mozilla_.SuiteProfile(), "history.dat", "");
  {
    std::string block;
    for (int i = 0; block.size() < (1 << 20) - 200; ++i)
      block += "(8" + std::to_string(i) + "=http://site" + std::to_string(i % 50) + ".test/page)";
    block.resize(1 << 20, ' ');
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 200; ++i)
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const std::map<std::string, std::uint32_t> counts = Counts();
  ASSERT_EQ(counts.size(), 50u);
  std::uint64_t total = 0;
  for (const auto& [host, count] : counts) total += count;
  // Every URL of every block, none lost or counted twice at a block's edge.
  const std::string firstBlock = ReadHostFile(file).substr(0, 1 << 20);
  std::uint64_t perBlock = 0;
  for (std::size_t at = firstBlock.find("http://"); at != std::string::npos;
       at = firstBlock.find("http://", at + 1)) {
    ++perBlock;
  }
  EXPECT_EQ(total, perBlock * 200);
}

TEST_F(NetscapeHistoryTest, AFileThatCannotBeReadFailsTheScanButNotTheOthers) {
  const std::string suite = mozilla_.SuiteProfile();
  ASSERT_EQ(::mkfifo(mozilla_.Host(suite, "history.dat").c_str(), 0600), 0);
  mozilla_.Write(mozilla_.FirefoxProfile(), "history.dat", MorkHistory({"http://seen.test/"}));
  EXPECT_EQ(Counts(0), (std::map<std::string, std::uint32_t>{{"seen.test", 1}}));
}

TEST_F(NetscapeHistoryTest, EraseDeletesEveryHistoryAndCountsItsBytes) {
  const fs::path suite =
      mozilla_.Write(mozilla_.SuiteProfile(), "history.dat", std::string(100, 'a'));
  const fs::path firefox =
      mozilla_.Write(mozilla_.FirefoxProfile(), "HISTORY.DAT", std::string(50, 'b'));
  const fs::path other = mozilla_.Write(mozilla_.FirefoxProfile(), "other.dat", "stays");
  mozilla_.NetscapeProfile();  // without a history
  std::uint64_t bytes = 0;
  EXPECT_EQ(DeleteNetscapeHistory(bytes), 1);
  EXPECT_EQ(bytes, 150u);
  EXPECT_FALSE(fs::exists(suite));
  EXPECT_FALSE(fs::exists(firefox));
  EXPECT_EQ(ReadHostFile(other), "stays");
}

TEST_F(NetscapeHistoryTest, AFolderNamedLikeTheHistoryIsNeitherDeletedNorScheduled) {
  const std::string profile = mozilla_.SuiteProfile();
  mozilla_.Machine().MakeFolder(profile + "History.dat");
  std::uint64_t bytes = 0;
  EXPECT_EQ(DeleteNetscapeHistory(bytes), 0);
  EXPECT_TRUE(fs::is_directory(mozilla_.Host(profile, "History.dat")));
  EXPECT_FALSE(test::PendingFileRenames());
}

TEST_F(NetscapeHistoryTest, AProfileReachedThroughALinkIsNotEntered) {
  // The profile itself a link, and a folder above another profile (Firefox's own) a link.
  const fs::path outside = mozilla_.Machine().HostRoot() / "outside";
  WriteHostFile(outside / "Profiles" / "p" / "history.dat", MorkHistory({"http://outside.test/"}));
  const fs::path suiteOwner = mozilla_.Host(mozilla_.SuiteProfile()).parent_path().parent_path();
  fs::create_directory_symlink(outside / "Profiles" / "p", suiteOwner / "linked");
  fs::create_directory_symlink(
      outside, mozilla_.Machine().Host("C:\\users\\ann\\AppData\\Roaming\\Mozilla") / "Firefox");
  EXPECT_TRUE(Counts().empty());
  std::uint64_t bytes = 0;
  EXPECT_EQ(DeleteNetscapeHistory(bytes), 1);
  EXPECT_TRUE(fs::exists(outside / "Profiles" / "p" / "history.dat"));
}

}  // namespace
}  // namespace corvane
