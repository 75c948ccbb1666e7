#include "cleaners/mozilla/netscape_forms.h"

#include <optional>
#include <string>
#include <vector>

#include "app/trace_log.h"
#include "cleaners/mozilla/domain_count.h"
#include "cleaners/mozilla/match_scanner.h"
#include "cleaners/mozilla/mozilla_prefs.h"
#include "cleaners/mozilla/mozilla_profiles.h"
#include "cleaners/mozilla/profile_folder.h"
#include "platform/file_services.h"
#include "platform/last_error.h"

namespace corvane {

namespace {

constexpr const char* kPrefFiles[] = {"user.js", "prefs.js"};
constexpr std::string_view kSignonPref = "signon.SignonFileName";
constexpr std::string_view kWalletPref = "wallet.SchemaValueFileName";
// Hosts are held as wide text of at most 1023 characters, four bytes each at most.
constexpr std::size_t kMaxHostChars = 1023;
constexpr std::size_t kMaxHostBytes = kMaxHostChars * 4 + 4;

// Files the entry under its host; the entry shows the line as the file holds it.
void AddHost(BrowserScanResult& result, std::string_view bytes, std::string_view line) {
  CountShownEntry(FindOrAddDomain(result, WideText(bytes, kMaxHostChars)),
                  [&] { return WideText(line, kMaxHostChars); });
}

// The file a preference names, when the value stays inside the profile folder.
std::optional<std::string> NamedFile(std::string_view routine, const ProfileFolder& folder,
                                     const char* prefFile, std::string_view pref) {
  FileHandle prefs = folder.OpenFile(prefFile);
  if (!prefs) return std::nullopt;
  std::optional<std::string> value = ReadPref(prefs, pref);
  if (!value) return std::nullopt;
  if (!IsPlainFileName(*value)) {
    HalvikTrace(std::string(routine) + ": not a file of the profile:" + folder.Path() + prefFile +
                " " + std::string(pref) + "=" + *value + "\n");
    return std::nullopt;
  }
  return value;
}

void CountSignons(FileHandle& file, BrowserScanResult& result) {
  const MatchScanner scanner("http://", 0, kMaxHostBytes);
  (void)scanner.Run(file, [&](std::string_view window, std::size_t at) {
    const std::string_view line = window.substr(at, window.find('\n', at) - at);
    std::string_view host = line.substr(7);
    if (host.starts_with("www.")) host.remove_prefix(4);
    AddHost(result, host, line);
  });
}

void CountWallet(FileHandle& file, BrowserScanResult& result) {
  const MatchScanner scanner("\nwww.", 0, kMaxHostBytes);
  (void)scanner.Run(file, [&](std::string_view window, std::size_t at) {
    const std::string_view line = window.substr(at + 1, window.find('\n', at + 1) - at - 1);
    const std::string_view host = window.substr(at + 5);
    AddHost(result, host.substr(0, host.find_first_of("/\n")), line);
  });
}

}  // namespace

int GetNetscapeFormStorageData(BrowserScanResult& result, ProgressReporter& progress) {
  result.browser = BrowserCode::Mozilla;
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Forms, profiles)) return 0;
  std::string dots;
  for (const std::string& profile : profiles) {
    if (progress.IsCancelled()) return 0;
    progress.Report(dots += '.');
    const std::optional<ProfileFolder> folder = OpenProfile("GetNetscapeFormStorageData", profile);
    if (!folder) continue;
    for (const char* prefFile : kPrefFiles) {
      if (const std::optional<std::string> name =
              NamedFile("GetNetscapeFormStorageData", *folder, prefFile, kSignonPref)) {
        if (FileHandle file = folder->OpenFile(*name)) CountSignons(file, result);
      }
      if (const std::optional<std::string> name =
              NamedFile("GetNetscapeFormStorageData", *folder, prefFile, kWalletPref)) {
        if (FileHandle file = folder->OpenFile(*name)) CountWallet(file, result);
      }
    }
  }
  return 1;
}

int DeleteNetscapeFormStorageData(Overwrite overwrite) {
  std::vector<std::string> profiles;
  if (!BuildProfileList(MozillaStore::Forms, profiles)) return 0;
  bool failed = false;
  for (const std::string& profile : profiles) {
    const std::optional<ProfileFolder> folder =
        OpenProfile("DeleteNetscapeFormStorageData", profile);
    if (!folder) continue;
    for (const char* prefFile : kPrefFiles) {
      for (std::string_view pref : {kSignonPref, kWalletPref}) {
        const std::optional<std::string> name =
            NamedFile("DeleteNetscapeFormStorageData", *folder, prefFile, pref);
        if (!name) continue;
        const std::string path = profile + *name;
        // A folder is no form file: it is neither deleted nor left for the next start.
        if (IsDirectory(path)) {
          SetLastError(ERROR_ACCESS_DENIED);
        } else if (EraseFile(path, overwrite, WipePattern::WipeRandom, {}) > 0 ||
                   GetLastError() == ERROR_FILE_NOT_FOUND) {
          continue;
        }
        HalvikTrace("DeleteNetscapeFormStorageData: unable delete file:" + path +
                    " Error code:" + std::to_string(GetLastError()) + "\n");
        failed = true;
      }
    }
  }
  return failed ? 0 : 1;
}

}  // namespace corvane
