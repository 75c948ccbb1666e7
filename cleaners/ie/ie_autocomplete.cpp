#include "cleaners/ie/ie_autocomplete.h"

#include <algorithm>
#include <optional>

#include "app/key_security.h"
#include "cleaners/ie/domain_rule.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace corvane {

namespace {

constexpr DWORD kSubKeyCharacters = 512;

// The user's part of the key: the SID on NT, the user name on 9x.
std::optional<std::string> UserPart() {
  if (IsWindowsNT()) {
    SecurityBytes sid;
    if (!GetCurrentUserSid(sid)) return std::nullopt;
    std::string text = SidToString(sid);
    if (text.empty()) return std::nullopt;
    return text;
  }
  return GetUserNameW();
}

bool Cancelled(const ProgressReporter* progress) {
  return progress != nullptr && progress->IsCancelled();
}

}  // namespace

std::string AutoCompleteDataKey() {
  const std::optional<std::string> user = UserPart();
  if (!user) return {};
  return std::string(kProtectedStorageKey) + *user + "\\Data\\" + kAutoCompleteGuid;
}

void ScanAutoComplete(BrowserScanResult& result, ProgressReporter* progress) {
  const std::string dataKey = AutoCompleteDataKey();
  if (dataKey.empty()) return;
  const std::string path = dataKey + "\\" + kAutoCompleteGuid;
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS &&
      (IsWindowsNT() || RegOpenKeyW(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS))
    return;
  if (!Cancelled(progress)) {
    if (progress != nullptr) progress->Report("");
    std::string dots;
    for (DWORD index = 0;; ++index) {
      if (index != 0 && index % 100 == 0) {
        if (Cancelled(progress)) break;
        dots += '.';
        if (progress != nullptr) progress->Report(dots);
      }
      std::string name;
      if (RegEnumKeyW(key, index, &name, kSubKeyCharacters) != ERROR_SUCCESS) break;
      if (name.empty() || name.back() != 'a') continue;
      const std::string domain = std::count(name.begin(), name.end(), ':') == 1
                                     ? name.substr(0, name.find(':'))
                                     : DomainFromUrl(name);
      auto found = result.domains.find(domain);
      if (found == result.domains.end()) {
        found = result.domains.emplace(domain, DomainRecord{}).first;
        found->second.name = domain;
      }
      ++found->second.itemCount;
      ++result.items;
    }
  }
  RegCloseKey(key);
}

bool EraseAutoComplete(ProgressReporter* progress) {
  if (!IsWindowsNT()) {
    const std::string dataKey = AutoCompleteDataKey();
    if (dataKey.empty() || Cancelled(progress)) return false;
    (void)SHDeleteKeyW(HKEY_LOCAL_MACHINE, dataKey);
    (void)SHDeleteKeyW(HKEY_CURRENT_USER, dataKey);
    return true;
  }
  SecurityBytes sid;
  if (!GetCurrentUserSid(sid)) return false;
  const std::string userKey = std::string(kProtectedStorageKey) + SidToString(sid);
  const std::string dataKey = userKey + "\\Data\\" + kAutoCompleteGuid;
  SecurityBytes saved;
  SecurityBytes open;
  const bool haveSaved = ReadKeyDacl(HKEY_CURRENT_USER, userKey, saved);
  if (BuildFullAccessDacl(sid, open)) {
    (void)WriteKeyDacl(HKEY_CURRENT_USER, userKey, open, DaclScope::KeyOnly);
    (void)WriteKeyDacl(HKEY_CURRENT_USER, userKey + "\\Data", open, DaclScope::KeyOnly);
    (void)WriteKeyDacl(HKEY_CURRENT_USER, dataKey, open, DaclScope::KeyAndSubkeys);
  }
  bool deleted = false;
  if (!Cancelled(progress)) deleted = SHDeleteKeyW(HKEY_CURRENT_USER, dataKey) == ERROR_SUCCESS;
  if (haveSaved && !saved.empty())
    (void)WriteKeyDacl(HKEY_CURRENT_USER, userKey, saved, DaclScope::KeyOnly);
  return deleted;
}

}  // namespace corvane
