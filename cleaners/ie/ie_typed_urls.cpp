#include "cleaners/ie/ie_typed_urls.h"

#include <string>

#include "cleaners/ie/domain_rule.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {

namespace {

constexpr DWORD kNameCharacters = 2048;
constexpr DWORD kDataBytes = 2048;

}  // namespace

PluginResult ScanTypedUrls(BrowserScanResult& result) {
  result.browser = BrowserCode::TypedUrls;
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, kTypedUrlsKey, &key) != ERROR_SUCCESS)
    return PluginResult::Failed;
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD nameChars = kNameCharacters;
    DWORD type = 0;
    BYTE data[kDataBytes];
    DWORD dataSize = kDataBytes;
    if (RegEnumValueW(key, index, &name, &nameChars, &type, data, &dataSize) != ERROR_SUCCESS)
      break;
    const std::string typed =
        Utf16LeBytesToUtf8(std::string_view(reinterpret_cast<const char*>(data), dataSize));
    AddDomainEntry(result, typed, {name, "", 0, 0, 0});
  }
  RegCloseKey(key);
  return PluginResult::Finished;
}

PluginResult EraseTypedUrls(BrowserScanResult& result) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, kTypedUrlsKey, &key) != ERROR_SUCCESS)
    return PluginResult::Finished;
  for (auto& [domain, record] : result.domains) {
    // An address typed twice stands under two value names: every one must go, or the address
    // is still in the list and the record failed.
    bool deleted = !record.entries.empty();
    for (const DomainEntry& entry : record.entries) {
      if (RegDeleteValueW(key, entry.url) != ERROR_SUCCESS) deleted = false;
    }
    record.status = deleted ? DomainStatus::Erased : DomainStatus::Failed;
  }
  RegCloseKey(key);
  return PluginResult::Finished;
}

}  // namespace corvane
