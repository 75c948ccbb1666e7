#pragma once
// A tiny HTTP server on 127.0.0.1 for download tests: a thread accepts one connection at a time
// and answers each request path with the raw bytes given for it (status line, headers and body
// exactly as written, so a test can send a cut body or a wrong length), optionally slowly.
// Unknown paths get a 404. Only loopback is ever bound.

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::testing {

class LocalHttpServer {
 public:
  struct Reply {
    std::string raw;  // the whole response as sent
    // Waited before the response is sent; the server stops waiting when it shuts down.
    std::chrono::milliseconds delay{0};
  };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "http://127.0.0.1:<port>" + path.
  [[nodiscard]] std::string Url(const std::string& path) const;
  [[nodiscard]] int Port() const { return port_; }
  // Answers requests for `path` (without the query) with `reply`.
  void Answer(const std::string& path, Reply reply);
  // A complete 200 response with the body and a matching Content-Length.
  [[nodiscard]] static std::string Ok(const std::string& body,
                                      const std::string& type = "text/plain");
  // The request targets (path and query) in the order they arrived.
  [[nodiscard]] std::vector<std::string> Requests() const;

 private:
  void Serve();
  void Handle(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace corvane::testing
