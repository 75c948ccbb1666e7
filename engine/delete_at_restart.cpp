#include "engine/delete_at_restart.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/key_security.h"
#include "platform/file_handle.h"
#include "platform/file_services.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/registry_hive_file.h"
#include "platform/text.h"

namespace corvane {

namespace {

// The machine path wineboot will know the file by: a machine path as it is, a host path through
// the deepest drive that shows it.
std::optional<std::string> RestartPath(std::string_view path) {
  std::string machinePath;
  if (IsMachinePath(path)) {
    machinePath.assign(path);
    std::replace(machinePath.begin(), machinePath.end(), '/', '\\');
  } else {
    const Machine* machine = Machine::Current();
    const std::optional<std::filesystem::path> host = HostPath(path);
    if (machine == nullptr || !host) return std::nullopt;
    std::optional<std::string> shown = machine->ToMachinePath(*host);
    if (!shown) return std::nullopt;
    machinePath = std::move(*shown);
  }
  if (PathLength(machinePath) > kMaxPath) return std::nullopt;
  return machinePath;
}

// One rename of the value: a source and a destination, empty for a deletion.
struct PendingRename {
  std::u16string source;
  std::u16string destination;
};

// The renames as wineboot reads them: pairs of NUL-terminated strings until an empty source or
// the end of the data. A pair cut short by the end of the data keeps what it has.
std::vector<PendingRename> ParsePendingRenames(std::u16string_view units) {
  std::vector<PendingRename> renames;
  std::size_t pos = 0;
  const auto next = [&]() {
    const std::size_t end = std::min(units.find(u'\0', pos), units.size());
    std::u16string text(units.substr(pos, end - pos));
    pos = end + 1;
    return text;
  };
  while (pos < units.size()) {
    PendingRename rename;
    rename.source = next();
    if (rename.source.empty()) break;
    if (pos < units.size()) rename.destination = next();
    renames.push_back(std::move(rename));
  }
  return renames;
}

bool SameMachinePath(std::u16string_view a, std::u16string_view b) {
  return EqualsNoCase(Utf16ToUtf8(a), Utf16ToUtf8(b));
}

bool ScheduleInRegistry(const std::string& machinePath) {
  HKEY key = 0;
  if (RegCreateKeyW(HKEY_LOCAL_MACHINE, kSessionManagerKey, &key) != ERROR_SUCCESS) return false;
  std::u16string units;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, kPendingFileRenameOperations, &type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    std::vector<BYTE> data(size);
    status = RegQueryValueExW(key, kPendingFileRenameOperations, &type, data.data(), &size);
    // Someone else's value of another type is not ours to replace.
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) {
      RegCloseKey(key);
      return false;
    }
    for (std::size_t i = 0; i + 1 < std::min<std::size_t>(size, data.size()); i += 2)
      units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  } else if (status != ERROR_FILE_NOT_FOUND) {
    RegCloseKey(key);
    return false;
  }

  std::vector<PendingRename> renames = ParsePendingRenames(units);
  const std::u16string source = u"\\??\\" + Utf8ToUtf16(machinePath);
  const bool known = std::any_of(renames.begin(), renames.end(), [&](const PendingRename& r) {
    return r.destination.empty() && SameMachinePath(r.source, source);
  });
  bool registered = known;
  if (!known) {
    renames.push_back({source, u""});
    // Each pair as two NUL-terminated strings, then the NUL that ends the list: wineboot wants
    // the data to end in two NULs.
    std::u16string list;
    for (const PendingRename& rename : renames) {
      list += rename.source;
      list += u'\0';
      list += rename.destination;
      list += u'\0';
    }
    list += u'\0';
    const std::string data = Utf16ToLeBytes(list);
    registered = RegSetValueExW(key, kPendingFileRenameOperations, REG_MULTI_SZ,
                                reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return registered;
}

// WININIT.INI as a text-mode read gives it: CR LF line ends become LF.
std::string FromTextMode(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

std::string ToTextMode(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

bool ScheduleInWininit(const std::string& machinePath) {
  const std::optional<std::string> windows = GetWindowsDirectoryW();
  if (!windows) return false;
  const std::optional<std::filesystem::path> host =
      HostPath(*windows + "\\" + std::string(kWininitFileName));
  if (!host) return false;

  std::string text;
  const DWORD attributes = GetFileAttributesW(host->string());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A read-only file, a link or a folder in its place is left as it is.
    if (attributes != FILE_ATTRIBUTE_NORMAL) return false;
    FileHandle file = OpenExistingFile(host->string(), FileAccess::Read);
    if (!file) return false;
    std::string bytes;
    char buffer[4096];
    std::size_t read = 0;
    do {
      if (!file.Read(buffer, sizeof buffer, &read)) return false;
      bytes.append(buffer, read);
    } while (read == sizeof buffer);
    text = FromTextMode(bytes);
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;
  }

  constexpr std::string_view kSection = "[rename]\n";
  const std::string line = "nul = " + machinePath + "\n";
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
    if (at == 0 || text[at - 1] == '\n') return true;  // registered already
  std::size_t insertAt = text.find(kSection);
  if (insertAt != std::string::npos) {
    insertAt += kSection.size();
  } else {
    // A last line without its line end must not run into the section header.
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += kSection;
    insertAt = text.size();
  }
  text.insert(insertAt, line);
  // Replaced in one step, so a full disk never leaves the other entries half written.
  return WriteFileAtomically(*host, ToTextMode(text));
}

}  // namespace

bool ScheduleDeleteAtRestart(std::string_view path) {
  const std::optional<std::string> machinePath = RestartPath(path);
  if (!machinePath) return false;
  // Wine's drives keep no 8.3 aliases, so on Windows 9x the line names the file by its long path:
  // it is the only name the file has.
  return IsWindowsNT() ? ScheduleInRegistry(*machinePath) : ScheduleInWininit(*machinePath);
}

}  // namespace corvane
