#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace corvane::testing {

namespace {

// Waits up to `timeout` for the socket to become readable; false on time-out.
bool Readable(int socket, std::chrono::milliseconds timeout) {
  pollfd entry{socket, POLLIN, 0};
  return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

void SendAll(int connection, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client gave up (a cap or a time-out): fine
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LocalHttpServer::Answer(const std::string& path, Reply reply) {
  std::lock_guard lock(mutex_);
  replies_[path] = std::move(reply);
}

std::string LocalHttpServer::Ok(const std::string& body, const std::string& type) {
  return "HTTP/1.1 200 OK\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

std::vector<std::string> LocalHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LocalHttpServer::Serve() {
  while (!stopping_) {
    if (!Readable(listener_, std::chrono::milliseconds(50))) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Handle(connection);
    ::close(connection);
  }
}

void LocalHttpServer::Handle(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    if (!Readable(connection, std::chrono::seconds(2))) return;  // not HTTP (a TLS hello)
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  // "GET <target> HTTP/1.1"
  const std::size_t first = request.find(' ');
  const std::size_t second = request.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) return;
  const std::string target = request.substr(first + 1, second - first - 1);
  const std::string path = target.substr(0, target.find('?'));
  Reply reply{
      "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 48\r\n"
      "Connection: close\r\n\r\n<html><body><h1>404 Not Found</h1></body></html>",
      {}};
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(target);
    if (const auto it = replies_.find(path); it != replies_.end()) reply = it->second;
  }
  const auto until = std::chrono::steady_clock::now() + reply.delay;
  while (!stopping_ && std::chrono::steady_clock::now() < until) {
    // The client hanging up ends the wait early.
    if (Readable(connection, std::chrono::milliseconds(20)) &&
        ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT) == 0) {
      return;
    }
  }
  SendAll(connection, reply.raw);
  ::shutdown(connection, SHUT_WR);
}

}  // namespace corvane::testing
