#include "cleaners/ie/domain_rule.h"

#include <utility>

#include "platform/text.h"

namespace corvane {

namespace {

// rest from `start` up to the next "/" (or the end).
std::string UpToSlash(std::string_view rest, std::size_t start) {
  if (start >= rest.size()) return {};
  const std::size_t slash = rest.find('/', start);
  return std::string(rest.substr(start, slash == std::string_view::npos ? slash : slash - start));
}

// The host part of rest ("//host/..."), skipping `prefix` when it follows the "//".
std::string HostAfterSlashes(std::string_view rest, std::string_view prefix) {
  const bool prefixed = rest.size() >= 2 + prefix.size() && rest.substr(2, prefix.size()) == prefix;
  return UpToSlash(rest, prefixed ? 2 + prefix.size() : 2);
}

}  // namespace

std::string DomainFromUrl(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos) return "Unknown Domain";
  const std::string_view scheme = url.substr(0, colon);
  const std::string_view rest = url.substr(colon + 1);
  if (scheme == "http" || scheme == "https") return HostAfterSlashes(rest, "www.");
  if (scheme == "ftp") return HostAfterSlashes(rest, "ftp.");
  if (scheme == "file") return UpToSlash(rest, rest.find_first_not_of('/'));
  return "system";
}

std::string CookieHost(std::string_view sourceUrl) {
  const std::size_t at = sourceUrl.find('@');
  std::string host = UpToSlash(sourceUrl, at == std::string_view::npos ? 0 : at + 1);
  if (host.starts_with("www.")) host.erase(0, 4);
  return host;
}

std::string HistoryDomain(std::string_view sourceUrl) {
  const std::size_t at = sourceUrl.find('@');
  return DomainFromUrl(at == std::string_view::npos ? sourceUrl : sourceUrl.substr(at + 1));
}

bool AddDomainEntry(BrowserScanResult& result, std::string_view domain, DomainEntry entry) {
  // The second character, not byte: a domain may start with a letter outside ASCII.
  std::size_t pos = 0;
  if (!domain.empty()) (void)DecodeUtf8(domain, pos);
  if (pos < domain.size() && domain[pos] == ':') return false;
  if (EqualsNoCase(domain, "system")) return false;
  result.AddEntry(domain, std::move(entry));
  return true;
}

}  // namespace corvane
