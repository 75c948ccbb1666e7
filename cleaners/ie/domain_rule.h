#pragma once
// How a URL becomes the domain a browser result is filed under, and how an item joins a result.
// Letter case, ports and user names stay as written: "http://www.H:8080/x" is filed under "H:8080".

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/browser_scan_result.h"

namespace corvane {

// The domain of a URL: the host of an http, https or ftp URL without a leading "www." (ftp:
// "ftp."), the first path component of a file URL (a local drive gives "C:"), "system" for any
// other scheme and "Unknown Domain" for text without a scheme.
[[nodiscard]] std::string DomainFromUrl(std::string_view url);

// The host of an Internet Explorer cookie entry ("Cookie:user@host/path"): the text after the
// first "@" up to the next "/", without a leading "www.".
[[nodiscard]] std::string CookieHost(std::string_view sourceUrl);

// The domain of a history entry ("Visited: user@URL"): the domain of the URL after the first "@".
[[nodiscard]] std::string HistoryDomain(std::string_view sourceUrl);

// Files an item under `domain` unless the domain is a drive ("C:", from a local file URL) or the
// "system" pseudo-domain, in any letter case. Answers whether it was added.
bool AddDomainEntry(BrowserScanResult& result, std::string_view domain, DomainEntry entry);

}  // namespace corvane
