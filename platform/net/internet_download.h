#pragma once
// Fetches one URL into memory with libcurl on a worker thread while the caller waits. Shared by
// every download of the program (update information, installers, domain lists), so the checks a
// download off the network needs live here once: TLS is always verified, redirects are followed
// only up to a limit and only to addresses the rules below allow, and a slow or endless answer
// ends at the time-out or the size cap instead of hanging the program or filling its memory.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

class Host;

struct DownloadLimits {
  std::size_t maxBytes = 4 * 1024 * 1024;
  std::chrono::milliseconds timeout = std::chrono::seconds(60);
  long maxRedirects = 5;
};

struct DownloadAnswer {
  // The HTTP status of the last response (after redirects); 0 when none arrived.
  long status = 0;
  // The transfer ended normally: every byte the server announced arrived within the limits.
  bool complete = false;
  // The body as far as it arrived (at most the cap).
  std::string body;
  // Why the download failed, for the trace log; empty when it succeeded.
  std::string error;

  // The only answer a caller may act on: complete, with a 2xx status.
  [[nodiscard]] bool Succeeded() const { return complete && status >= 200 && status <= 299; }
};

// An address the program downloads from: an absolute "https://" URL with a host, no blanks or
// control characters, at most 2048 characters. Plain "http://" is accepted only for a loopback
// host (127.0.0.1, ::1, localhost), which never leaves the machine.
[[nodiscard]] bool IsAllowedDownloadUrl(std::string_view url);

// Downloads `url`. Answers at once with an error when the URL is not allowed. With a host, the
// caller's thread keeps handling the host's events while it waits (windows repaint, the loop's
// timers run); without one it simply blocks. When the host's loop quits meanwhile, the transfer
// is abandoned and the answer is incomplete.
[[nodiscard]] DownloadAnswer InternetDownload(const std::string& url,
                                              const DownloadLimits& limits = {},
                                              Host* host = nullptr);

}  // namespace corvane
