// The update check against a real HTTP server on 127.0.0.1, with the installed message files:
// only a complete 2xx answer counts, an installer is saved beside what is there and never run.

#include "settings/update_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "host/headless/headless_host.h"
#include "platform/file_version.h"
#include "platform/program_folder.h"
#include "tests/support/local_http_server.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::LocalHttpServer;

class UpdateCheckTest : public ::testing::Test {
 protected:
  UpdateCheckTest() {
    fs::copy(fs::path(CORVANE_PROGRAM_DIR) / "html", program_.Path() / "html",
             fs::copy_options::recursive);
    SetProgramFolder(program_.Path().string());
    fs::create_directories(downloads_);
    settings_.downloadFolder = downloads_.string();
    settings_.query.timeout = std::chrono::seconds(20);
    WriteUpdatesFile(server_.Url("/check") + "\r\n");
  }
  ~UpdateCheckTest() override { SetProgramFolder(""); }

  void WriteUpdatesFile(const std::string& text) {
    std::ofstream(program_.Path() / "Updates.ini", std::ios::binary | std::ios::trunc) << text;
  }
  // Runs the check; answers its result and the message files' texts it showed, in order.
  bool Check() {
    shown_.clear();
    const std::size_t before = host_.Messages().size();
    const bool result = CheckForUpdate(host_, nullptr, "English", settings_);
    for (std::size_t i = before; i < host_.Messages().size(); ++i) {
      shown_.push_back(host_.Messages()[i].text);
    }
    return result;
  }
  bool Showed(const std::string& fileName) const {
    const std::string text = MessageText(fileName);
    return std::find(shown_.begin(), shown_.end(), text) != shown_.end();
  }
  static std::string MessageText(const std::string& fileName) {
    std::ifstream in(fs::path(CORVANE_PROGRAM_DIR) / "html/English/Messages" / fileName);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  void Answer(const std::string& raw) { server_.Answer("/check", {raw}); }

  test::ScratchFolder program_;
  test::ScratchFolder home_;
  fs::path downloads_ = home_.Path() / "Downloads";
  LocalHttpServer server_;
  HeadlessHost host_;
  UpdateCheckSettings settings_;
  std::vector<std::string> shown_;
};

TEST_F(UpdateCheckTest, UpToDateAnswersAndTheQuery) {
  for (const char* body : {"UPTODATE", "UPTODATE\r\n", "UPTODATE, and more text"}) {
    Answer(LocalHttpServer::Ok(body));
    EXPECT_TRUE(Check()) << body;
    EXPECT_TRUE(Showed("Update_version_newest.html")) << body;
  }
  // The line end of "Updates.ini" is not part of the address; the values are percent-encoded.
  const std::string version = GetFileVersionString(OwnExecutablePath());
  ASSERT_NE(version, "0.0.0.0");
  const std::string query = server_.Requests().front();
  EXPECT_TRUE(std::regex_match(
      query,
      std::regex("/check\\?prd=erase&ver=" + std::regex_replace(version, std::regex("\\."), "\\.") +
                 "&osver=[0-9]+\\.[0-9]+\\.[0-9]+")))
      << query;
  EXPECT_EQ(UpdateQuery("https://u.example/c", "1.2 3&x", "10.0"),
            "https://u.example/c?prd=erase&ver=1.2%203%26x&osver=10.0");
}

TEST_F(UpdateCheckTest, AnythingButACompleteAnswerIsNoInformation) {
  const std::vector<std::string> bad = {
      LocalHttpServer::Ok(" UPTODATE"),
      LocalHttpServer::Ok(""),
      LocalHttpServer::Ok("<html><body>Please log in to the hotel Wi-Fi</body></html>"),
      LocalHttpServer::Ok("http://example.org/setup.exe"),
      LocalHttpServer::Ok("https://a.example/1.exe\nhttps://b.example/2.exe"),
      "HTTP/1.1 404 Not Found\r\nContent-Length: 22\r\n\r\n<html>Not found</html>",
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhttps://updates.example/set",
  };
  for (const std::string& raw : bad) {
    Answer(raw);
    EXPECT_FALSE(Check()) << raw;
    EXPECT_TRUE(Showed("Update_error_download_update_info.html")) << raw;
  }
  Answer(LocalHttpServer::Ok(std::string(10 * 1024 * 1024, 'U')));
  EXPECT_FALSE(Check());
  EXPECT_TRUE(Showed("Update_error_download_update_info.html"));
}

TEST_F(UpdateCheckTest, UpdatesFileMustHoldOneAllowedAddress) {
  for (const std::string& text :
       {std::string(), std::string("\r\n"), std::string("not an address"),
        std::string("http://updates.example.org/check"), std::string("ftp://x.example/"),
        server_.Url("/check") + std::string(1024 * 1024, ' ')}) {
    WriteUpdatesFile(text);
    EXPECT_FALSE(Check());
    EXPECT_TRUE(Showed("Update_error_open_updates.html"));
  }
  fs::remove(program_.Path() / "Updates.ini");
  EXPECT_FALSE(Check());
  EXPECT_TRUE(Showed("Update_error_open_updates.html"));
  EXPECT_TRUE(server_.Requests().empty());
  // An address split over two lines is joined without a separator.
  const std::string url = server_.Url("/check");
  WriteUpdatesFile(url.substr(0, 10) + "\n" + url.substr(10) + "\r\n");
  EXPECT_EQ(ReadUpdateServiceAddress(), url);
}

TEST_F(UpdateCheckTest, AnInstallerIsSavedBesideWhatIsThereAndNeverRun) {
  Answer(LocalHttpServer::Ok(server_.Url("/files/setup-2.0.exe") + "\r\n"));
  server_.Answer("/files/setup-2.0.exe", {LocalHttpServer::Ok("MZ installer bytes")});

  host_.SetNextAnswer(IDNO);
  EXPECT_TRUE(Check());
  EXPECT_TRUE(Showed("Update_new_version_present.html"));
  EXPECT_TRUE(fs::is_empty(downloads_));

  std::ofstream(downloads_ / "setup-2.0.exe") << "the user's own file";
  host_.SetNextAnswer(IDYES);
  EXPECT_TRUE(Check());
  const fs::path saved = downloads_ / "setup-2.0 (2).exe";
  std::ifstream in(saved);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "MZ installer bytes");
  std::ifstream own(downloads_ / "setup-2.0.exe");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(own), {}), "the user's own file");
  EXPECT_EQ(fs::status(saved).permissions() & fs::perms::owner_exec, fs::perms::none);
  ASSERT_FALSE(shown_.empty());
  EXPECT_NE(shown_.back().find(saved.string()), std::string::npos);
  ASSERT_FALSE(host_.Opened().empty());
  EXPECT_EQ(host_.Opened().back(), downloads_.string());  // the folder, never the file

  // An installer that does not arrive whole is not saved.
  server_.Answer("/files/setup-2.0.exe", {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nMZ cut"});
  host_.SetNextAnswer(IDYES);
  EXPECT_FALSE(Check());
  EXPECT_TRUE(Showed("Update_error_download_installer.html"));
  EXPECT_FALSE(fs::exists(downloads_ / "setup-2.0 (3).exe"));
}

TEST_F(UpdateCheckTest, SaveNewFileNeverFollowsOrReplaces) {
  const fs::path target = home_.Path() / "elsewhere";
  fs::create_symlink(target, downloads_ / "erasesetup.exe");
  const auto saved = SaveNewFile(downloads_.string(), "erasesetup.exe", "bytes");
  ASSERT_TRUE(saved);
  EXPECT_EQ(*saved, (downloads_ / "erasesetup (2).exe").string());
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(SaveNewFile((home_.Path() / "missing").string(), "x.exe", "bytes"));
}

}  // namespace
}  // namespace corvane
