#include "settings/domain_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::LocalHttpServer;
using Lines = std::vector<std::string>;

class DomainListTest : public ::testing::Test {
 protected:
  DomainListTest() { SetProgramFolder(folder_.Path().string()); }
  ~DomainListTest() override { SetProgramFolder({}); }

  void Write(const std::string& relative, std::string_view bytes) {
    WriteHostFile(folder_.Path() / relative, bytes);
  }
  [[nodiscard]] std::string Read(const std::string& relative) const {
    return ReadHostFile(folder_.Path() / relative);
  }

  TempDir folder_;
};

TEST_F(DomainListTest, ReadsEveryLineTheLastOneToo) {
  Write("files/web_whitelist.txt", "b.example\r\na.example\n\nb.example\nlast.example");
  DomainList list(kWhitelistFile);
  ASSERT_TRUE(list.Load());
  // File order, empty lines and duplicates as they stand; the line without an end is kept.
  EXPECT_EQ(list.Entries(), (Lines{"b.example", "a.example", "", "b.example", "last.example"}));
  EXPECT_TRUE(list.Contains("last.example"));

  // Saved at exit, the hand-edited last line survives, every line ending in CR LF.
  ASSERT_TRUE(list.Save());
  EXPECT_EQ(Read("files/web_whitelist.txt"),
            "b.example\r\na.example\r\n\r\nb.example\r\nlast.example\r\n");
  DomainList again(kWhitelistFile);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Entries(), list.Entries());
}

TEST_F(DomainListTest, LookupFindsDomainsWhateverTheOrder) {
  DomainList list;
  list.Parse("zeta.example\nalpha.example\nMixed.Example\n");
  EXPECT_TRUE(list.Contains("alpha.example"));  // after a greater entry in an unsorted file
  EXPECT_TRUE(list.Contains("zeta.example"));
  EXPECT_TRUE(list.Contains("Mixed.Example"));
  EXPECT_FALSE(list.Contains("mixed.example"));      // letter case matters
  EXPECT_FALSE(list.Contains("www.alpha.example"));  // no sub-domains
  EXPECT_FALSE(list.Contains("example"));
}

TEST_F(DomainListTest, AddKeepsOrderAndRefusesDuplicatesRemoveTakesEveryCopy) {
  DomainList list;
  list.Parse("m.example\nb.example\nm.example\n");
  EXPECT_TRUE(list.Add("c.example"));
  EXPECT_FALSE(list.Add("b.example"));  // already listed, even out of order
  EXPECT_TRUE(list.Add("a.example"));
  EXPECT_TRUE(list.Add("z.example"));
  EXPECT_EQ(list.Entries(),
            (Lines{"a.example", "c.example", "m.example", "b.example", "m.example", "z.example"}));
  EXPECT_EQ(list.Remove("m.example"), 2u);
  EXPECT_FALSE(list.Contains("m.example"));
  EXPECT_EQ(list.Remove("m.example"), 0u);
  list.Clear();
  EXPECT_EQ(list.Size(), 0u);
  EXPECT_FALSE(list.Contains("a.example"));
}

TEST_F(DomainListTest, JunkFilesLoadWithoutHarm) {
  // NUL bytes, invalid UTF-8, CR-only line ends and a 10 MB file.
  constexpr char kJunk[] = "a\0b\nok.example\n\xff\xfe\n";
  Write("files/junk.txt", std::string(kJunk, sizeof kJunk - 1));
  DomainList junk;
  ASSERT_TRUE(junk.Load("files\\junk.txt"));
  EXPECT_TRUE(junk.Contains("ok.example"));
  EXPECT_EQ(junk.Size(), 3u);

  Write("files/cr.txt", "one.example\rtwo.example\r");
  DomainList cr;
  ASSERT_TRUE(cr.Load("files/cr.txt"));
  EXPECT_EQ(cr.Size(), 1u);  // one line: a CR alone ends none
  EXPECT_FALSE(cr.Contains("one.example"));

  std::string big;
  while (big.size() < 10 * 1024 * 1024) big += "host" + std::to_string(big.size()) + ".example\n";
  Write("files/big.txt", big);
  DomainList large;
  ASSERT_TRUE(large.Load("files/big.txt"));
  EXPECT_TRUE(large.Contains("host0.example"));
  EXPECT_GT(large.Size(), 500000u);
}

TEST_F(DomainListTest, MissingFilesAndPathsFailCleanly) {
  DomainList list(kWhitelistFile);
  EXPECT_FALSE(list.Load());
  EXPECT_FALSE(list.Load("files/none.txt"));
  EXPECT_FALSE(list.Load("../outside.txt"));
  DomainList nameless;
  nameless.Parse("x.example\n");
  EXPECT_FALSE(nameless.Save());
  EXPECT_FALSE(nameless.Save("../outside.txt"));
  // A path that is readable is taken as the list's file.
  Write("files/other.txt", "o.example\n");
  ASSERT_TRUE(list.Load("files/other.txt"));
  EXPECT_EQ(list.FilePath(), "files/other.txt");
}

TEST_F(DomainListTest, OverlongEntriesAreSavedAsEmptyLines) {
  Write("files/web_whitelist.txt", "");
  DomainList list(kWhitelistFile);
  list.Parse(std::string(kMaxSavedEntryBytes + 1, 'x') + "\nshort.example\n");
  ASSERT_TRUE(list.Save());
  EXPECT_EQ(Read("files/web_whitelist.txt"), "\r\nshort.example\r\n");
}

TEST(DomainListHostNameTest, OnlyHostCharacters) {
  EXPECT_TRUE(IsHostName("ads.example-1_x.com"));
  EXPECT_FALSE(IsHostName(""));
  EXPECT_FALSE(IsHostName("<html>"));
  EXPECT_FALSE(IsHostName("a b.com"));
  EXPECT_FALSE(IsHostName("a/b"));
  EXPECT_FALSE(IsHostName(std::string(254, 'a')));
}

class DomainListDownloadTest : public DomainListTest {
 protected:
  DomainListDownloadTest() {
    Write("files/web_blacklist.txt", "old.example\r\n");
    static_cast<void>(list_.Load());
  }
  // The old list stands in memory and on disk.
  void ExpectOldList() {
    EXPECT_EQ(list_.Entries(), Lines{"old.example"});
    EXPECT_EQ(Read("files/web_blacklist.txt"), "old.example\r\n");
  }

  LocalHttpServer server_;
  DomainList list_{kBlacklistFile};
};

TEST_F(DomainListDownloadTest, ACompleteListReplacesTheOldOne) {
  server_.Answer("/list", {LocalHttpServer::Ok("# header\nads.example\r\ntrack.example\n")});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/list")), DomainListDownload::Replaced);
  EXPECT_EQ(list_.Entries(), (Lines{"ads.example", "track.example"}));
  EXPECT_EQ(Read("files/web_blacklist.txt"), "ads.example\r\ntrack.example\r\n");
  // The address is remembered for the next download.
  server_.Answer("/list", {LocalHttpServer::Ok("# header\nnew.example")});
  EXPECT_EQ(list_.DownloadFrom({}), DomainListDownload::Replaced);
  EXPECT_EQ(list_.Entries(), Lines{"new.example"});
}

TEST_F(DomainListDownloadTest, AnythingButACompleteListKeepsTheOldOne) {
  EXPECT_EQ(list_.DownloadFrom({}), DomainListDownload::NoAddress);

  server_.Answer("/404", {"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: "
                          "38\r\n\r\n<html>\n<body>Not found</body>\n</html>\n"});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/404")), DomainListDownload::Failed);
  ExpectOldList();

  // A captive portal answers 200 with its own page.
  server_.Answer("/portal", {LocalHttpServer::Ok("<html>\n<body>Log in first</body>\n</html>\n",
                                                 "text/html")});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/portal")), DomainListDownload::NotAList);
  ExpectOldList();

  server_.Answer("/cut",
                 {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n# header\nads.example\n"});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/cut")), DomainListDownload::Failed);
  ExpectOldList();

  server_.Answer("/oneline", {LocalHttpServer::Ok("ads.example")});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/oneline")), DomainListDownload::NotAList);
  ExpectOldList();

  server_.Answer("/header", {LocalHttpServer::Ok("# header\n")});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/header")), DomainListDownload::NotAList);
  ExpectOldList();
}

TEST_F(DomainListDownloadTest, SlowAndHugeAnswersAreRefused) {
  server_.Answer("/slow", {LocalHttpServer::Ok("# header\nads.example\n"), 30s});
  DownloadLimits limits;
  limits.timeout = 300ms;
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/slow"), limits), DomainListDownload::Failed);
  ExpectOldList();

  std::string huge = "# header\n";
  while (huge.size() < 100 * 1024 * 1024)
    huge += "ads" + std::to_string(huge.size()) + ".example\n";
  server_.Answer("/huge", {LocalHttpServer::Ok(huge)});
  EXPECT_EQ(list_.DownloadFrom(server_.Url("/huge")), DomainListDownload::Failed);
  ExpectOldList();
}

TEST_F(DomainListTest, TheDownloadAddressComesFromItsFile) {
  EXPECT_EQ(BlacklistSourceUrl(), "");
  Write("files/web_blacklist_source.txt", "  https://lists.example.org/black.txt \r\nignored\n");
  EXPECT_EQ(BlacklistSourceUrl(), "https://lists.example.org/black.txt");
}

TEST_F(DomainListTest, TheShippedListsLoad) {
  SetProgramFolder(CORVANE_PROGRAM_DIR);
  DomainList black(kBlacklistFile);
  ASSERT_TRUE(black.Load());
  EXPECT_GT(black.Size(), 300u);
  for (const std::string& entry : black.Entries()) {
    EXPECT_TRUE(IsHostName(entry)) << entry;
  }
  EXPECT_TRUE(black.Contains("doubleclick.net"));
  DomainList white(kWhitelistFile);
  ASSERT_TRUE(white.Load());
}

}  // namespace
}  // namespace corvane
