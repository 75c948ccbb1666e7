#include "cleaners/mozilla/netscape_cookies.h"

#include <string>
#include <vector>

#include "app/trace_log.h"
#include "cleaners/mozilla/cookie_file.h"
#include "cleaners/mozilla/mozilla_profiles.h"
#include "cleaners/mozilla/profile_folder.h"
#include "platform/last_error.h"

namespace corvane {

bool GetNetscapeCookies(BrowserScanResult& result, ProgressReporter& progress) {
  result.browser = BrowserCode::Mozilla;
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Cookies, profiles)) return false;
  progress.Report("");
  std::string dots;
  for (const std::string& profile : profiles) {
    if (progress.IsCancelled()) return false;
    progress.Report(dots += '.');
    const std::optional<ProfileFolder> folder = OpenProfile("GetNetscapeCookies", profile);
    if (!folder) continue;
    const std::string path = profile + "cookies.txt";
    FileHandle file = folder->OpenFile("cookies.txt");
    if (!file) {
      // A browser holding its file, or a link where the file should be: the other profiles
      // still count.
      if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        HalvikTrace("GetNetscapeCookies: unable open file:" + path +
                    " Error code:" + std::to_string(GetLastError()) + "\n");
      }
      continue;
    }
    if (!CountCookieFile(file, result)) {
      HalvikTrace("GetNetscapeCookies: Error in file" + path + "\n");
      return false;
    }
  }
  return true;
}

int UpdateNetscapeCookies(BrowserScanResult& result, Overwrite overwrite,
                          ProgressReporter& progress, DeletionTally* tally) {
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Cookies, profiles)) return 0;
  progress.Report("");
  std::string dots;
  bool failed = false;
  for (const std::string& profile : profiles) {
    if (progress.IsCancelled()) return 0;
    progress.Report(dots += '.');
    const std::optional<ProfileFolder> folder = OpenProfile("UpdateNetscapeCookies", profile);
    if (!folder) continue;
    const CookieFileUpdate update = UpdateCookieFile(*folder, result, overwrite);
    if (update.removed != 0 && tally != nullptr) tally->AddDone({update.removed, 0});
    if (!update.ok) failed = true;
  }
  if (failed) return 0;
  for (auto& [name, record] : result.domains) {
    if (record.status == DomainStatus::Selected) record.status = DomainStatus::Erased;
  }
  return 1;
}

}  // namespace corvane
