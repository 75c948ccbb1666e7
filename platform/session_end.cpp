#include "platform/session_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace corvane {

namespace {

// The handler may only do async-signal-safe work: it writes the signal number into a pipe that
// the watcher thread reads. One watcher exists at a time.
int g_pipe[2] = {-1, -1};
struct sigaction g_previousTerm;
struct sigaction g_previousHup;

void OnSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  (void)!write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SessionEndWatcher::SessionEndWatcher(std::function<void()> onSessionEnd)
    : onSessionEnd_(std::move(onSessionEnd)) {
  if (pipe2(g_pipe, O_CLOEXEC) != 0) return;
  watcher_ = std::thread([this] {
    char byte = 0;
    for (;;) {
      const ssize_t n = read(g_pipe[0], &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || byte == 0) return;  // 0 is the destructor's stop request
      onSessionEnd_();
    }
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, &g_previousTerm);
  sigaction(SIGHUP, &action, &g_previousHup);
}

SessionEndWatcher::~SessionEndWatcher() {
  if (!watcher_.joinable()) return;
  sigaction(SIGTERM, &g_previousTerm, nullptr);
  sigaction(SIGHUP, &g_previousHup, nullptr);
  const char stop = 0;
  (void)!write(g_pipe[1], &stop, 1);
  watcher_.join();
  close(g_pipe[0]);
  close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace corvane
