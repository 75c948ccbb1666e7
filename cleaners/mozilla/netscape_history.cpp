#include "cleaners/mozilla/netscape_history.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/trace_log.h"
#include "cleaners/mozilla/domain_count.h"
#include "cleaners/mozilla/match_scanner.h"
#include "cleaners/mozilla/mozilla_profiles.h"
#include "cleaners/mozilla/profile_folder.h"
#include "engine/erase_file.h"
#include "platform/file_services.h"
#include "platform/last_error.h"

namespace corvane {

namespace {

// Windows' host buffer: 260 characters with the terminating NUL.
constexpr std::size_t kMaxHostChars = 259;
// A character takes at most four bytes.
constexpr std::size_t kMaxHostBytes = kMaxHostChars * 4;

// Hash of raw host bytes, looked up by view.
struct HostHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view host) const {
    return std::hash<std::string_view>{}(host);
  }
};

}  // namespace

bool CountHistoryUrls(FileHandle& file, BrowserScanResult& result) {
  // A history holds a few hosts many times over: each one's record is found once by its bytes.
  std::unordered_map<std::string, DomainRecord*, HostHash, std::equal_to<>> seen;
  // One search for "://" finds the four schemes at once; the bytes before it say which.
  const MatchScanner scanner("://", 5, kMaxHostBytes);
  return scanner.Run(file, [&](std::string_view window, std::size_t at) {
    const std::string_view before = window.substr(0, at);
    std::string_view scheme;
    for (const std::string_view known : {"https", "http", "ftp", "news"}) {
      if (before.ends_with(known)) {
        scheme = known;
        break;
      }
    }
    if (scheme.empty()) return;
    const std::string_view rest = window.substr(at + 3);
    const std::string_view host = rest.substr(0, rest.find('/'));
    auto found = seen.find(host);
    if (found == seen.end()) {
      DomainRecord& record = FindOrAddDomain(result, WideText(host, kMaxHostChars));
      found = seen.emplace(std::string(host), &record).first;
    }
    // The address as far as the history shows it: up to the end of its Mork value.
    CountShownEntry(*found->second, [&] {
      return std::string(scheme) + "://" +
             std::string(rest.substr(0, rest.find_first_of(")\\ \t\r\n\"<>")));
    });
  });
}

int GetNetscapeHistory(BrowserScanResult& result, ProgressReporter& progress) {
  result.browser = BrowserCode::Mozilla;
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::History, profiles)) return 0;
  progress.Report("");
  std::string dots;
  bool failed = false;
  for (const std::string& profile : profiles) {
    if (progress.IsCancelled()) return 0;
    progress.Report(dots += '.');
    const std::optional<ProfileFolder> folder = OpenProfile("GetNetscapeHistoryError", profile);
    if (!folder) continue;
    const std::string path = profile + "history.dat";
    FileHandle file = folder->OpenFile("history.dat");
    if (file && CountHistoryUrls(file, result)) continue;
    if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;
    HalvikTrace("GetNetscapeHistoryError: Can not open file: " + path +
                "  code:" + std::to_string(GetLastError()) + "\n");
    failed = true;
  }
  return failed ? 0 : 1;
}

int DeleteNetscapeHistory(std::uint64_t& bytes) {
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::History, profiles)) return 0;
  bool failed = false;
  for (const std::string& profile : profiles) {
    if (!OpenProfile("GetNetscapeHistoryError", profile)) continue;
    const std::string path = profile + "History.dat";
    // A folder of that name is no history: it is neither deleted nor left for the next start.
    const EraseResult erased = IsDirectory(path)
                                   ? (SetLastError(ERROR_ACCESS_DENIED), kEraseNothing)
                                   : EraseFile(path, Overwrite::On, WipePattern::WipeRandom, {});
    if (erased > 0) {
      bytes += ErasedBytes(erased);
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      HalvikTrace("GetNetscapeHistoryError: Can not delete file: " + path +
                  "  code:" + std::to_string(GetLastError()) + "\n");
      failed = true;
    }
  }
  return failed ? 0 : 1;
}

}  // namespace corvane
