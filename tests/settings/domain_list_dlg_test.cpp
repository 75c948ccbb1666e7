#include "settings/domain_list_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(NormalizeTypedDomainTest, OnePrefixBlanksAndHostCharactersOnly) {
  EXPECT_EQ(NormalizeTypedDomain(" www.a.b "), "a.b");
  EXPECT_EQ(NormalizeTypedDomain("WWW.A.b"), "WWW.A.b");  // the prefix test minds letter case
  EXPECT_EQ(NormalizeTypedDomain("www.ftp.a.b"), "ftp.a.b");
  EXPECT_EQ(NormalizeTypedDomain("ftp.a.b"), "a.b");
  EXPECT_EQ(NormalizeTypedDomain("x_y-z.b"), "x_y-z.b");
  EXPECT_EQ(NormalizeTypedDomain("my site.b"), "");
  EXPECT_EQ(NormalizeTypedDomain("a/b"), "");
  EXPECT_EQ(NormalizeTypedDomain("   "), "");
  EXPECT_EQ(NormalizeTypedDomain("www."), "");
}

// The dialog on the headless host, with the program's own pages in a program folder of its own
// (the whitelist is written there).
class DomainListDlgTest : public ::testing::Test {
 protected:
  DomainListDlgTest() {
    fs::copy(fs::path(CORVANE_PROGRAM_DIR) / "html", folder_.Path() / "html",
             fs::copy_options::recursive);
    fs::create_directories(folder_.Path() / "files");
    SetProgramFolder(folder_.Path().string());
    blacklist_.Parse("ads.example\ntrack.example\n");
    whitelist_.Parse("keep.example\n");
  }
  ~DomainListDlgTest() override { SetProgramFolder({}); }

  static void Click(CNoScrollHtmlDlg& dialog, std::string_view cid, HeadlessHost& host) {
    ASSERT_TRUE(ClickByCid(dialog, cid)) << cid;
    host.Loop().RunPending();
  }
  void Type(CDomainListDlg& dialog, std::string_view text) {
    dialog.GetElement("texNewDomain").SetAttribute("value", text);
    Click(dialog, "btn_addnew", host_);
  }
  [[nodiscard]] static std::string Area(const CDomainListDlg& dialog) {
    return dialog.GetElement("DomListArea").InnerText();
  }

  TempDir folder_;
  HeadlessHost host_;
  DomainList blacklist_{"files\\web_blacklist.txt"};
  DomainList whitelist_{"files\\web_whitelist.txt"};
};

TEST_F(DomainListDlgTest, EditTheWhitelistPrintAndCloseSavingIt) {
  CDomainListDlg dialog(host_, "English", DomainListView::Blacklist, nullptr, blacklist_,
                        whitelist_);
  int printed = 0;
  host_.SetPrintDialog([&] {
    ++printed;
    return true;
  });
  host_.AddModalStep([&](HeadlessWindow&) {
    EXPECT_NE(Area(dialog).find("track.example"), std::string::npos);
    EXPECT_NE(dialog.GetElement("CloseBtn").InnerHtml().find("btn_close"), std::string::npos);
    Click(dialog, "btn_whitelist", host_);
    EXPECT_EQ(dialog.View(), DomainListView::Whitelist);
    EXPECT_NE(Area(dialog).find("keep.example"), std::string::npos);
    EXPECT_EQ(Area(dialog).find("track.example"), std::string::npos);

    Type(dialog, " www.z.example ");
    Type(dialog, "a.example");
    Type(dialog, "my site.example");  // refused, silently
    Type(dialog, "a.example");        // already there
    EXPECT_EQ(whitelist_.Entries(), (Lines{"a.example", "keep.example", "z.example"}));
    EXPECT_NE(Area(dialog).find("z.example"), std::string::npos);
    EXPECT_TRUE(host_.Messages().empty());

    Click(dialog, "btDelkeep.example", host_);
    EXPECT_EQ(whitelist_.Entries(), (Lines{"a.example", "z.example"}));
    EXPECT_EQ(Area(dialog).find("keep.example"), std::string::npos);

    // Printing goes through the print page, which prints itself and closes.
    host_.AddModalStep([](HeadlessWindow&) {});
    Click(dialog, "btn_print", host_);
    Click(dialog, "btn_close", host_);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(ReadHostFile(folder_.Path() / "files" / "web_whitelist.txt"),
            "a.example\r\nz.example\r\n");
  EXPECT_EQ(printed, 1);
  EXPECT_EQ(blacklist_.Size(), 2u);
}

TEST_F(DomainListDlgTest, DownloadWithoutAnAddressSaysSoAndKeepsTheList) {
  CDomainListDlg dialog(host_, "English", DomainListView::Blacklist, nullptr, blacklist_,
                        whitelist_);
  host_.AddModalStep([&](HeadlessWindow&) {
    Click(dialog, "btn_download", host_);
    Click(dialog, "btn_close", host_);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(host_.Messages().size(), 1u);
  EXPECT_NE(host_.Messages()[0].text.find("web_blacklist_source.txt"), std::string::npos);
  EXPECT_EQ(host_.Messages()[0].style, MB_OK | MB_ICONERROR);
  EXPECT_EQ(blacklist_.Entries(), (Lines{"ads.example", "track.example"}));
}

TEST_F(DomainListDlgTest, AFailedDownloadShowsTheErrorMessage) {
  // An address that answers nothing: the loopback port 9 (discard) is closed on test machines.
  WriteHostFile(folder_.Path() / "files" / "web_blacklist_source.txt", "http://127.0.0.1:9/x\n");
  CDomainListDlg dialog(host_, "English", DomainListView::Blacklist, nullptr, blacklist_,
                        whitelist_);
  host_.AddModalStep([&](HeadlessWindow&) {
    Click(dialog, "btn_download", host_);
    Click(dialog, "btn_close", host_);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(host_.Messages().size(), 1u);
  EXPECT_NE(host_.Messages()[0].text.find("could not be downloaded"), std::string::npos);
  EXPECT_NE(host_.Messages()[0].caption.find("Error"), std::string::npos);
  EXPECT_EQ(blacklist_.Size(), 2u);
}

TEST_F(DomainListDlgTest, ADownloadedListReplacesTheShownOne) {
  testing::LocalHttpServer server;
  server.Answer("/black.txt", {testing::LocalHttpServer::Ok("# list\nfresh.example\n")});
  WriteHostFile(folder_.Path() / "files" / "web_blacklist_source.txt",
                server.Url("/black.txt") + "\n");
  CDomainListDlg dialog(host_, "English", DomainListView::Blacklist, nullptr, blacklist_,
                        whitelist_);
  host_.AddModalStep([&](HeadlessWindow&) {
    EXPECT_NE(Area(dialog).find("track.example"), std::string::npos);
    Click(dialog, "btn_download", host_);
    EXPECT_NE(Area(dialog).find("fresh.example"), std::string::npos);
    EXPECT_EQ(Area(dialog).find("track.example"), std::string::npos);
    Click(dialog, "btn_close", host_);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(ReadHostFile(folder_.Path() / "files" / "web_blacklist.txt"), "fresh.example\r\n");
}

}  // namespace
}  // namespace corvane
