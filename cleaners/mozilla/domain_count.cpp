#include "cleaners/mozilla/domain_count.h"

#include "platform/text.h"

namespace corvane {

DomainRecord& FindOrAddDomain(BrowserScanResult& result, std::string_view key) {
  auto found = result.domains.find(key);
  if (found == result.domains.end()) {
    found = result.domains.emplace(std::string(key), DomainRecord{}).first;
    found->second.name = found->first;
  }
  return found->second;
}

std::string WideText(std::string_view bytes, std::size_t maxUnits) {
  std::string text;
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const char32_t c = DecodeUtf8(bytes, pos);
    units += c > 0xFFFF ? 2 : 1;
    if (units > maxUnits) break;
    AppendUtf8(text, c);
  }
  return text;
}

}  // namespace corvane
