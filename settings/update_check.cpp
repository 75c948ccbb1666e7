#include "settings/update_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/trace_log.h"
#include "platform/file_version.h"
#include "platform/program_folder.h"
#include "platform/windows_version.h"
#include "ui/message_file.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

// "Updates.ini" holds one address; anything bigger is not one.
constexpr std::uintmax_t kMaxUpdatesFileSize = 4096;

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

std::string WindowsVersionText() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return "0.0.0";
  return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
         std::to_string(info.dwBuildNumber);
}

// A file name for the installer from the last segment of its address: letters, digits and
// ".-_+" only, not hidden; else the default name.
std::string InstallerFileName(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  std::string_view name = url.substr(url.rfind('/') + 1);
  const bool usable = !name.empty() && name.size() <= 100 && name.front() != '.' &&
                      std::all_of(name.begin(), name.end(), [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' ||
                               c == '-' || c == '_' || c == '+';
                      });
  return usable ? std::string(name) : kInstallerDefaultName;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string ReadUpdateServiceAddress() {
  const std::optional<std::string> path = ProgramFilePath(kUpdatesFileName);
  std::error_code ec;
  if (!path || std::filesystem::file_size(*path, ec) > kMaxUpdatesFileSize || ec) return {};
  std::string address = TemplateStore::Load(kUpdatesFileName);
  TemplateStore::Replace(address, "\r\n", "");
  TemplateStore::Replace(address, "\n", "");
  return IsAllowedDownloadUrl(address) ? address : std::string();
}

std::string UpdateQuery(std::string_view base, std::string_view version,
                        std::string_view osVersion) {
  return std::string(base) + "?prd=erase&ver=" + PercentEncode(version) +
         "&osver=" + PercentEncode(osVersion);
}

std::optional<std::string> ReadUpdateAnswer(const DownloadAnswer& answer) {
  if (!answer.Succeeded() || answer.body.empty()) return std::nullopt;
  if (answer.body.starts_with("UPTODATE")) return std::string();
  std::string_view address = answer.body;
  if (address.ends_with("\r\n")) {
    address.remove_suffix(2);
  } else if (address.ends_with('\n')) {
    address.remove_suffix(1);
  }
  if (!IsAllowedDownloadUrl(address)) return std::nullopt;
  return std::string(address);
}

std::string UserDownloadFolder() {
  const std::string home = HomeFolder();
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string config =
      configHome != nullptr && *configHome != '\0' ? configHome : home + "/.config";
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(dirs, line)) {
    // XDG_DOWNLOAD_DIR="$HOME/Downloads"
    constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=\"";
    if (!line.starts_with(kKey) || !line.ends_with('"')) continue;
    std::string value = line.substr(kKey.size(), line.size() - kKey.size() - 1);
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    if (value.starts_with('/') && IsFolder(value)) return value;
  }
  if (IsFolder(home + "/Downloads")) return home + "/Downloads";
  return home;
}

std::optional<std::string> SaveNewFile(const std::string& folder, std::string_view name,
                                       std::string_view bytes) {
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) return std::nullopt;
  const std::string base(name);
  const std::size_t dot = base.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
  const std::string extension = stem.size() == base.size() ? "" : base.substr(dot);
  std::optional<std::string> saved;
  for (int n = 1; n < 100 && !saved; ++n) {
    const std::string candidate = n == 1 ? base : stem + " (" + std::to_string(n) + ")" + extension;
    const int file = ::openat(directory, candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(file, bytes.data() + written, bytes.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    const bool complete = written == bytes.size() && ::fsync(file) == 0;
    const bool closed = ::close(file) == 0;
    if (complete && closed) {
      saved = folder + "/" + candidate;
    } else {
      ::unlinkat(directory, candidate.c_str(), 0);  // a half-written installer is no installer
      break;
    }
  }
  ::close(directory);
  return saved;
}

bool CheckForUpdate(Host& host, HostWindow* owner, const std::string& languageFolder,
                    const UpdateCheckSettings& settings) {
  const std::string base = ReadUpdateServiceAddress();
  if (base.empty()) {
    ShowMessageFile(host, owner, languageFolder, "Update_error_open_updates.html",
                    MB_OK | MB_ICONERROR);
    return false;
  }
  const std::string query =
      UpdateQuery(base, GetFileVersionString(OwnExecutablePath()), WindowsVersionText());
  const DownloadAnswer answer = InternetDownload(query, settings.query, &host);
  const std::optional<std::string> address = ReadUpdateAnswer(answer);
  if (!address) {
    HalvikTrace("CheckForUpdate: no usable answer (status %ld): %s\n", answer.status,
                answer.error.c_str());
    ShowMessageFile(host, owner, languageFolder, "Update_error_download_update_info.html",
                    MB_OK | MB_ICONERROR);
    return false;
  }
  if (address->empty()) {
    ShowMessageFile(host, owner, languageFolder, "Update_version_newest.html", MB_OK);
    return true;
  }
  if (ShowMessageFile(host, owner, languageFolder, "Update_new_version_present.html",
                      MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return true;
  }
  const DownloadAnswer installer = InternetDownload(*address, settings.installer, &host);
  const std::string folder =
      settings.downloadFolder.empty() ? UserDownloadFolder() : settings.downloadFolder;
  std::optional<std::string> saved;
  if (installer.Succeeded() && !installer.body.empty()) {
    saved = SaveNewFile(folder, InstallerFileName(*address), installer.body);
  }
  if (!saved) {
    HalvikTrace("CheckForUpdate: installer not saved (status %ld): %s\n", installer.status,
                installer.error.c_str());
    ShowMessageFile(host, owner, languageFolder, "Update_error_download_installer.html",
                    MB_OK | MB_ICONERROR);
    return false;
  }
  ShowMessageFile(host, owner, languageFolder, "Update_installer_saved.html",
                  MB_OK | MB_ICONINFORMATION, {{"#path#", *saved}});
  static_cast<void>(host.OpenExternal(folder));
  return true;
}

}  // namespace corvane
