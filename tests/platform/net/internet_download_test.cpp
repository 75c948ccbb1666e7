// Downloads against a real HTTP server on 127.0.0.1: only a complete 2xx answer counts, whatever
// the server does instead (an error page, a cut body, too much, too slow, a redirect loop).

#include "platform/net/internet_download.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/headless/headless_host.h"
#include "tests/support/local_http_server.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using testing::LocalHttpServer;

TEST(InternetDownloadTest, CompleteAnswerWithItsStatus) {
  LocalHttpServer server;
  server.Answer("/info", {LocalHttpServer::Ok("UPTODATE\r\n")});
  const DownloadAnswer answer = InternetDownload(server.Url("/info?prd=erase"));
  EXPECT_TRUE(answer.Succeeded()) << answer.error;
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "UPTODATE\r\n");
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/info?prd=erase"});
}

TEST(InternetDownloadTest, ErrorPagesAndCutBodiesAreNotAnswers) {
  LocalHttpServer server;
  const DownloadAnswer missing = InternetDownload(server.Url("/nothing"));
  EXPECT_FALSE(missing.Succeeded());
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("404"), std::string::npos);  // the page arrived, and is no answer

  server.Answer("/cut", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhttps://example.org/set"});
  const DownloadAnswer cut = InternetDownload(server.Url("/cut"));
  EXPECT_FALSE(cut.Succeeded());
  EXPECT_FALSE(cut.complete);
  EXPECT_FALSE(cut.error.empty());

  server.Answer("/chunked",
                {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"});
  EXPECT_FALSE(InternetDownload(server.Url("/chunked")).Succeeded());
}

TEST(InternetDownloadTest, SizeCapTimeOutAndRedirectLoopEndTheTransfer) {
  LocalHttpServer server;
  server.Answer("/big", {LocalHttpServer::Ok(std::string(10 * 1024 * 1024, 'x'))});
  DownloadLimits limits;
  limits.maxBytes = 64 * 1024;
  const DownloadAnswer big = InternetDownload(server.Url("/big"), limits);
  EXPECT_FALSE(big.Succeeded());
  EXPECT_LE(big.body.size(), limits.maxBytes);

  // Without a length the cap is met while the body streams in.
  server.Answer("/stream",
                {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(1024 * 1024, 'y')});
  const DownloadAnswer stream = InternetDownload(server.Url("/stream"), limits);
  EXPECT_FALSE(stream.Succeeded());
  EXPECT_LE(stream.body.size(), limits.maxBytes);

  server.Answer("/slow", {LocalHttpServer::Ok("late"), 30s});
  limits.timeout = 300ms;
  EXPECT_FALSE(InternetDownload(server.Url("/slow"), limits).Succeeded());

  limits.timeout = 30s;
  server.Answer("/loop", {"HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n"});
  const DownloadAnswer loop = InternetDownload(server.Url("/loop"), limits);
  EXPECT_FALSE(loop.Succeeded());
  const auto requests = server.Requests();
  EXPECT_LE(std::count(requests.begin(), requests.end(), "/loop"), 1 + limits.maxRedirects);
}

TEST(InternetDownloadTest, RedirectsAreFollowedWithinTheRules) {
  LocalHttpServer server;
  server.Answer("/to", {"HTTP/1.1 301 Moved\r\nLocation: " + server.Url("/there") +
                        "\r\nContent-Length: 0\r\n\r\n"});
  server.Answer("/there", {LocalHttpServer::Ok("arrived")});
  EXPECT_EQ(InternetDownload(server.Url("/to")).body, "arrived");

  // From loopback to plain http elsewhere: refused before anything is fetched there.
  server.Answer("/away", {"HTTP/1.1 302 Found\r\nLocation: http://example.invalid/\r\n"
                          "Content-Length: 0\r\n\r\n"});
  EXPECT_FALSE(InternetDownload(server.Url("/away")).Succeeded());
}

TEST(InternetDownloadTest, TlsIsVerified) {
  // The server speaks plain HTTP: a TLS handshake with it fails, as with a bad certificate.
  LocalHttpServer server;
  server.Answer("/", {LocalHttpServer::Ok("not over TLS")});
  const DownloadAnswer answer =
      InternetDownload("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
  EXPECT_FALSE(answer.Succeeded());
  EXPECT_TRUE(answer.body.empty());
}

TEST(InternetDownloadTest, OnlyAllowedAddresses) {
  EXPECT_TRUE(IsAllowedDownloadUrl("https://updates.example.org/check"));
  EXPECT_TRUE(IsAllowedDownloadUrl("HTTPS://example.org"));
  EXPECT_TRUE(IsAllowedDownloadUrl("http://127.0.0.1:8080/x"));
  EXPECT_TRUE(IsAllowedDownloadUrl("http://[::1]/x"));
  EXPECT_FALSE(IsAllowedDownloadUrl("http://example.org/"));
  EXPECT_FALSE(IsAllowedDownloadUrl("http://127.0.0.1.example.org/"));
  EXPECT_FALSE(IsAllowedDownloadUrl("http://127.0.0.1@example.org/"));
  EXPECT_FALSE(IsAllowedDownloadUrl("ftp://example.org/"));
  EXPECT_FALSE(IsAllowedDownloadUrl("file:///etc/passwd"));
  EXPECT_FALSE(IsAllowedDownloadUrl("https:///path"));
  EXPECT_FALSE(IsAllowedDownloadUrl(" https://example.org/"));
  EXPECT_FALSE(IsAllowedDownloadUrl("https://example.org/a b"));
  EXPECT_FALSE(IsAllowedDownloadUrl("https://example.org/\r\nX: y"));
  EXPECT_FALSE(IsAllowedDownloadUrl("https://example.org/" + std::string(3000, 'a')));
  EXPECT_FALSE(InternetDownload("http://example.org/").error.empty());
}

TEST(InternetDownloadTest, TheHostKeepsHandlingEventsWhileItWaits) {
  LocalHttpServer server;
  server.Answer("/slow", {LocalHttpServer::Ok("done"), 300ms});
  HeadlessHost host;
  bool handled = false;
  ASSERT_TRUE(host.Loop().Post([&handled] { handled = true; }));
  const DownloadAnswer answer = InternetDownload(server.Url("/slow"), {}, &host);
  EXPECT_TRUE(answer.Succeeded()) << answer.error;
  EXPECT_TRUE(handled);

  // The program ending while it waits abandons the transfer instead of waiting out its time-out.
  server.Answer("/slower", {LocalHttpServer::Ok("late"), 60s});
  host.Loop().Quit(0);
  const DownloadAnswer abandoned = InternetDownload(server.Url("/slower"), {}, &host);
  EXPECT_FALSE(abandoned.complete);
}

}  // namespace
}  // namespace corvane
