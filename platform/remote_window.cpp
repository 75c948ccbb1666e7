#include "platform/remote_window.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/last_error.h"
#include "platform/named_object.h"

namespace corvane {

namespace {

enum : std::uint32_t { kOpSendMessage = 1, kOpShow = 2, kOpRaise = 3 };

struct Request {
  std::uint32_t op = 0;
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

std::optional<std::string> SocketPath(std::string_view title) {
  const auto folder = NamedObjectFolder();
  if (!folder) return std::nullopt;
  const auto file = NamedObjectFileName(std::string("Window ") + std::string(title), ".sock");
  if (!file) return std::nullopt;
  std::string path = *folder + "/" + *file;
  if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  return path;
}

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// Reads or writes exactly `size` bytes, waiting at most `timeout` for each chunk.
bool Transfer(int fd, void* data, std::size_t size, bool reading,
              std::chrono::milliseconds timeout) {
  auto* bytes = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    pollfd waitFor{fd, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
    const int ready = poll(&waitFor, 1, static_cast<int>(timeout.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = reading ? read(fd, bytes + done, size - done)
                              : send(fd, bytes + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

constexpr std::chrono::milliseconds kServerReadLimit{2000};

}  // namespace

WindowPublisher::WindowPublisher(MessageWindow& window, std::string_view title,
                                 PublishedWindowActions actions)
    : window_(window), actions_(std::move(actions)) {
  const auto path = SocketPath(title);
  if (!path) return;
  path_ = *path;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  // Only one instance publishes a title (the single-instance lock sees to that): a socket left
  // behind by a crashed instance is replaced.
  unlink(path_.c_str());
  const sockaddr_un address = Address(path_);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 8) != 0 || pipe2(wakePipe_, O_CLOEXEC) != 0) {
    SetLastErrorFromErrno(errno);
    close(fd);
    return;
  }
  listener_ = fd;
  server_ = std::thread([this] { Serve(); });
}

WindowPublisher::~WindowPublisher() {
  if (listener_ < 0) return;
  const char stop = 0;
  (void)!write(wakePipe_[1], &stop, 1);
  server_.join();
  close(listener_);
  close(wakePipe_[0]);
  close(wakePipe_[1]);
  unlink(path_.c_str());
}

void WindowPublisher::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) Answer(connection);
  }
}

void WindowPublisher::Answer(int connection) {
  // Closes the connection however the request ends, also when the loop drops the task.
  auto socket = std::shared_ptr<int>(new int(connection), [](int* fd) {
    close(*fd);
    delete fd;
  });
  Request request;
  if (!Transfer(connection, &request, sizeof request, true, kServerReadLimit)) return;
  const HWND target = window_.Handle();
  // The work happens on the window's own thread, which answers the connection. When the loop has
  // quit the task is dropped and the caller sees the connection close without an answer.
  window_.Loop().Post([actions = actions_, socket, request, target] {
    std::int64_t result = 0;
    switch (request.op) {
      case kOpSendMessage:
        result = SendMessageW(target, request.message, request.wParam, request.lParam);
        break;
      case kOpShow:
        if (actions.show) actions.show();
        result = 1;
        break;
      case kOpRaise:
        if (actions.raise) actions.raise();
        result = 1;
        break;
      default:
        break;  // unknown requests get 0
    }
    Transfer(*socket, &result, sizeof result, false, kServerReadLimit);
  });
}

std::optional<RemoteWindow> RemoteWindow::Find(std::string_view title) {
  const auto path = SocketPath(title);
  if (!path) return std::nullopt;
  if (access(path->c_str(), F_OK) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  return RemoteWindow(*path);
}

std::optional<LRESULT> RemoteWindow::Request(std::uint32_t op, UINT message, WPARAM wParam,
                                             LPARAM lParam) const {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const sockaddr_un address = Address(path_);
  std::optional<LRESULT> answer;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    ::corvane::Request request{op, message, wParam, lParam};
    std::int64_t result = 0;
    if (Transfer(fd, &request, sizeof request, false, timeout_) &&
        Transfer(fd, &result, sizeof result, true, timeout_)) {
      answer = static_cast<LRESULT>(result);
    }
  } else {
    SetLastErrorFromErrno(errno);
  }
  close(fd);
  return answer;
}

std::optional<LRESULT> RemoteWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return Request(kOpSendMessage, message, wParam, lParam);
}

bool RemoteWindow::Show() const {
  return Request(kOpShow, 0, 0, 0).has_value();
}

bool RemoteWindow::Raise() const {
  return Request(kOpRaise, 0, 0, 0).has_value();
}

}  // namespace corvane
