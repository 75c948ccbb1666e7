#pragma once
// A private X server for the GUI tests of this process: Xvfb picks a free display number itself
// (-displayfd) and accepts only our own cookie. Started once per process, since GTK opens its
// display only once; GTK and WebKit find it through DISPLAY and XAUTHORITY.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace corvane::testing {

class XvfbDisplay {
 public:
  static XvfbDisplay& Shared() {
    static XvfbDisplay display;
    return display;
  }

  [[nodiscard]] bool Running() const { return pid_ > 0 && !name_.empty(); }
  [[nodiscard]] const std::string& Name() const { return name_; }

  ~XvfbDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }

 private:
  XvfbDisplay() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-xvfb-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    const std::string auth = (dir_ / "Xauthority").string();
    if (!WriteCookie(auth)) return;

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // Never outlive the tests: gone with this process. (Not "-terminate": a short-lived client
      // such as xwininfo would end the server before the program under test connects.)
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      const int devNull = open("/dev/null", O_RDWR);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
      close(pipeFds[0]);
      const std::string fd = std::to_string(pipeFds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-auth", auth.c_str(), "-nolisten", "tcp",
             "-screen", "0", "1280x800x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    if (pid_ < 0) {
      close(pipeFds[0]);
      return;
    }
    std::string number;
    pollfd ready{pipeFds[0], POLLIN, 0};
    // Xvfb writes the display number once it accepts connections; a busy machine may be slow.
    while (poll(&ready, 1, 60'000) == 1) {
      char c = 0;
      if (read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(pipeFds[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    setenv("DISPLAY", name_.c_str(), 1);
    setenv("XAUTHORITY", auth.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    unsetenv("WAYLAND_DISPLAY");
  }

  // One MIT-MAGIC-COOKIE-1 entry for any address and display (family "wild"): the server reads
  // the cookie from it, and clients match it whatever display number Xvfb chose.
  static bool WriteCookie(const std::string& path) {
    std::random_device random;
    std::string cookie;
    for (int i = 0; i < 16; ++i) cookie += static_cast<char>(random() & 0xFF);
    const std::string name = "MIT-MAGIC-COOKIE-1";
    std::ofstream out(path, std::ios::binary);
    const auto field = [&out](const std::string& data) {
      out.put(static_cast<char>(data.size() >> 8)).put(static_cast<char>(data.size() & 0xFF));
      out.write(data.data(), static_cast<std::streamsize>(data.size()));
    };
    out.put('\xFF').put('\xFF');  // FamilyWild
    field("");                    // address
    field("");                    // display number
    field(name);
    field(cookie);
    return static_cast<bool>(out);
  }

  std::filesystem::path dir_;
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace corvane::testing
