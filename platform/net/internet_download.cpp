#include "platform/net/internet_download.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <thread>

#include "platform/event.h"
#include "platform/host_window.h"

namespace corvane {

namespace {

constexpr std::size_t kMaxUrlLength = 2048;

// The host part of an absolute URL after its "scheme://": up to the first "/", "?" or "#",
// without user information and port. Empty when there is none.
std::string_view UrlHost(std::string_view url) {
  const std::size_t start = url.find("://");
  if (start == std::string_view::npos) return {};
  std::string_view authority = url.substr(start + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    return close == std::string_view::npos ? std::string_view() : authority.substr(0, close + 1);
  }
  return authority.substr(0, authority.find(':'));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
           return std::tolower(static_cast<unsigned char>(c)) == lower;
         });
}

bool IsLoopbackHost(std::string_view host) {
  return host == "127.0.0.1" || host == "[::1]" || host == "localhost";
}

void InitialiseCurlOnce() {
  // curl_global_init is not thread-safe in every libcurl: once, before the first transfer.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string body;
  std::size_t maxBytes = 0;
  bool overCap = false;
  // Set when the waiting caller gave up (the program is ending): the transfer stops at once.
  const std::atomic<bool>* abandoned = nullptr;
};

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->abandoned->load() ? 1 : 0;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (bytes > transfer.maxBytes - transfer.body.size()) {
    transfer.overCap = true;
    return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.body.append(data, bytes);
  return bytes;
}

DownloadAnswer Download(const std::string& url, const DownloadLimits& limits,
                        const std::atomic<bool>& abandoned) {
  DownloadAnswer answer;
  InitialiseCurlOnce();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    answer.error = "libcurl could not start a transfer";
    return answer;
  }
  Transfer transfer;
  transfer.maxBytes = limits.maxBytes;
  transfer.abandoned = &abandoned;
  // A redirect may only lead where a first address could: https, or http on loopback when the
  // first address was a loopback one (a test server).
  const bool loopbackHttp = StartsWithNoCase(url, "http://");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, loopbackHttp ? "http,https" : "https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, loopbackHttp ? "http,https" : "https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeout.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // no SIGALRM in a multi-threaded program
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "CorvaneErase");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  char* lastUrl = nullptr;
  curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &lastUrl);
  const std::string effectiveUrl = lastUrl != nullptr ? lastUrl : "";
  curl_easy_cleanup(curl);

  answer.body = std::move(transfer.body);
  if (transfer.overCap) {
    answer.error = "the answer is larger than " + std::to_string(limits.maxBytes) + " bytes";
  } else if (result != CURLE_OK) {
    answer.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
  } else if (!IsAllowedDownloadUrl(effectiveUrl)) {
    // A loopback test server redirected to plain http elsewhere: not an answer we accept.
    answer.error = "redirected to an address that is not allowed";
  } else {
    answer.complete = true;
  }
  return answer;
}

}  // namespace

bool IsAllowedDownloadUrl(std::string_view url) {
  if (url.empty() || url.size() > kMaxUrlLength) return false;
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '"' || c == '<' || c == '>' || c == '\\') {
      return false;
    }
  }
  const std::string_view host = UrlHost(url);
  if (host.empty()) return false;
  if (StartsWithNoCase(url, "https://")) return true;
  return StartsWithNoCase(url, "http://") && IsLoopbackHost(host);
}

DownloadAnswer InternetDownload(const std::string& url, const DownloadLimits& limits, Host* host) {
  if (!IsAllowedDownloadUrl(url)) {
    DownloadAnswer refused;
    refused.error = "not an address the program downloads from";
    return refused;
  }
  DownloadAnswer answer;
  Event done(EventReset::Manual);
  std::atomic<bool> abandoned = false;
  std::thread worker([&] {
    answer = Download(url, limits, abandoned);
    done.Set();
    // Wakes the host's wait; the task itself has nothing to do.
    if (host != nullptr) static_cast<void>(host->Loop().Post([] {}));
  });
  if (host != nullptr) {
    host->WaitFor(done);
    // The wait ends early only when the program is ending: nobody wants the answer any more.
    if (!done.IsSet()) abandoned = true;
  }
  worker.join();
  return answer;
}

}  // namespace corvane
