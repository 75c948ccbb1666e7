#include "cleaners/modern/session_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include "cleaners/modern/modern_store.h"
#include "platform/file_handle.h"
#include "platform/folder_handle.h"

namespace corvane {

namespace {

constexpr std::string_view kMozLz4Magic{"mozLz40\0", 8};
constexpr std::string_view kChromiumMagic = "SNSS";
// Session files of a few MiB are large; anything past these is no session file of ours.
constexpr std::uint64_t kMaxFileSize = 64ULL << 20;
constexpr std::size_t kMaxDecodedSize = 256U << 20;

// An LZ4 length: the 4-bit value, and while it is all ones, every following byte added until
// one is not 255. False when the data ends first.
bool ReadLength(std::string_view data, std::size_t& at, std::size_t& length) {
  if (length != 15) return true;
  for (;;) {
    if (at >= data.size()) return false;
    const auto byte = static_cast<unsigned char>(data[at++]);
    length += byte;
    if (byte != 255) return true;
  }
}

bool IsUrlByte(unsigned char byte) {
  return byte > 0x20 && byte < 0x7f && byte != '"' && byte != '<' && byte != '>' && byte != '\\';
}

// A JSON string starting after its opening quote at `at`, unescaped; `at` ends after the closing
// quote. Escaped characters beyond ASCII become "?": no host holds them unencoded.
std::optional<std::string> JsonString(std::string_view json, std::size_t& at) {
  std::string value;
  while (at < json.size()) {
    const char c = json[at++];
    if (c == '"') return value;
    if (c != '\\') {
      value += c;
      continue;
    }
    if (at >= json.size()) return std::nullopt;
    const char escaped = json[at++];
    switch (escaped) {
      case 'b':
        value += '\b';
        break;
      case 'f':
        value += '\f';
        break;
      case 'n':
        value += '\n';
        break;
      case 'r':
        value += '\r';
        break;
      case 't':
        value += '\t';
        break;
      case 'u': {
        if (json.size() - at < 4) return std::nullopt;
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
          const char digit = json[at++];
          code <<= 4;
          if (digit >= '0' && digit <= '9') {
            code |= static_cast<unsigned>(digit - '0');
          } else if (digit >= 'a' && digit <= 'f') {
            code |= static_cast<unsigned>(digit - 'a' + 10);
          } else if (digit >= 'A' && digit <= 'F') {
            code |= static_cast<unsigned>(digit - 'A' + 10);
          } else {
            return std::nullopt;
          }
        }
        value += code < 0x80 ? static_cast<char>(code) : '?';
        break;
      }
      default:
        value += escaped;  // '"', '\\', '/'
    }
  }
  return std::nullopt;
}

bool IsWebUrl(std::string_view text) {
  return !UrlHostKey(text).empty();
}

std::uint32_t LittleEndian32(std::string_view data, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
  }
  return value;
}

// The regular files and links of a folder whose names pass `wanted`, as machine paths.
template <typename Wanted>
void AddFolderFiles(const std::string& folder, bool mozLz4, Wanted wanted,
                    std::vector<SessionFile>& files) {
  const FolderHandle handle = OpenFolderPath(folder);
  std::vector<FolderEntry> entries;
  if (!handle || !handle.List(entries)) return;
  for (const FolderEntry& entry : entries) {
    if ((S_ISREG(entry.status.st_mode) || S_ISLNK(entry.status.st_mode)) && wanted(entry.name)) {
      files.push_back({folder + "\\" + entry.name, mozLz4});
    }
  }
}

// A regular file of the prefix, read whole through its folder's handle.
SqliteStatus ReadWholeFile(const std::string& path, std::string& data) {
  std::optional<PathEntry> entry = OpenPathEntry(path);
  struct stat seen {};
  if (!entry || !entry->folder.Status(entry->name, &seen)) return SqliteStatus::Missing;
  if (!S_ISREG(seen.st_mode)) return SqliteStatus::Refused;
  if (static_cast<std::uint64_t>(seen.st_size) > kMaxFileSize) return SqliteStatus::Corrupt;
  FileHandle file = OpenExistingFileIn(entry->folder, entry->name, FileAccess::Read, &seen);
  if (!file) return SqliteStatus::Failed;
  data.assign(static_cast<std::size_t>(seen.st_size), '\0');
  std::size_t read = 0;
  if (!file.Read(data.data(), data.size(), &read)) return SqliteStatus::Failed;
  data.resize(read);
  return SqliteStatus::Ok;
}

}  // namespace

std::optional<std::string> DecodeLz4Block(std::string_view block, std::size_t size) {
  std::string out;
  out.reserve(size);
  std::size_t at = 0;
  while (at < block.size()) {
    const auto token = static_cast<unsigned char>(block[at++]);
    std::size_t literals = token >> 4;
    if (!ReadLength(block, at, literals)) return std::nullopt;
    if (literals > block.size() - at || literals > size - out.size()) return std::nullopt;
    out.append(block.substr(at, literals));
    at += literals;
    if (at == block.size()) break;  // the last sequence is literals only
    if (block.size() - at < 2) return std::nullopt;
    const std::size_t offset = static_cast<unsigned char>(block[at]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(block[at + 1]))
                                   << 8;
    at += 2;
    if (offset == 0 || offset > out.size()) return std::nullopt;
    std::size_t match = token & 15;
    if (!ReadLength(block, at, match)) return std::nullopt;
    match += 4;
    if (match > size - out.size()) return std::nullopt;
    // The copy may overlap what it writes (a run): byte by byte.
    const std::size_t from = out.size() - offset;
    for (std::size_t i = 0; i < match; ++i) out.push_back(out[from + i]);
  }
  if (out.size() != size) return std::nullopt;
  return out;
}

std::optional<std::string> DecodeMozLz4(std::string_view file, std::size_t limit) {
  if (file.size() < kMozLz4Magic.size() + 4 || !file.starts_with(kMozLz4Magic)) {
    return std::nullopt;
  }
  const std::size_t size = LittleEndian32(file, kMozLz4Magic.size());
  if (size > limit) return std::nullopt;
  return DecodeLz4Block(file.substr(kMozLz4Magic.size() + 4), size);
}

std::vector<std::string> JsonWebUrls(std::string_view json) {
  std::vector<std::string> urls;
  std::size_t at = 0;
  while ((at = json.find('"', at)) != std::string_view::npos) {
    ++at;
    std::optional<std::string> value = JsonString(json, at);
    if (!value) break;
    if (IsWebUrl(*value)) urls.push_back(std::move(*value));
  }
  return urls;
}

std::vector<std::string> SiteSettingHosts(std::string_view json) {
  std::set<std::string> hosts;
  std::size_t at = 0;
  while ((at = json.find('"', at)) != std::string_view::npos) {
    ++at;
    const std::optional<std::string> value = JsonString(json, at);
    if (!value) break;
    if (value->find(',') == std::string::npos) continue;
    if (std::string key = UrlHostKey(*value); !key.empty()) hosts.insert(std::move(key));
  }
  return {hosts.begin(), hosts.end()};
}

std::vector<std::string> BinaryWebUrls(std::string_view data) {
  std::vector<std::string> urls;
  std::size_t at = 0;
  while ((at = data.find("://", at)) != std::string_view::npos) {
    // The scheme right before it: a length byte before that may well be a letter.
    std::size_t start = at;
    for (const std::string_view scheme : {"https", "http", "ftp"}) {
      if (at >= scheme.size() && data.substr(at - scheme.size(), scheme.size()) == scheme) {
        start = at - scheme.size();
        break;
      }
    }
    at += 3;
    if (start == at - 3) continue;
    std::size_t end = start;
    while (end < data.size() && IsUrlByte(static_cast<unsigned char>(data[end]))) ++end;
    std::string_view url = data.substr(start, end - start);
    // A pickled string says how long it is: trust that over the bytes that follow it, when it
    // is a length at all.
    if (start >= 4) {
      const std::uint32_t length = LittleEndian32(data, start - 4);
      if (length > 0 && length < url.size() && IsWebUrl(url.substr(0, length))) {
        url = url.substr(0, length);
      }
    }
    if (IsWebUrl(url)) urls.emplace_back(url);
    at = std::max(at, start + url.size());
  }
  return urls;
}

std::vector<SessionFile> SessionFiles(const ModernProfile& profile) {
  std::vector<SessionFile> files;
  const std::string folder = profile.folder.substr(0, profile.folder.size() - 1);
  if (profile.browser == BrowserCode::Firefox) {
    AddFolderFiles(
        folder, true, [](std::string_view name) { return name == "sessionstore.jsonlz4"; }, files);
    AddFolderFiles(
        folder + "\\sessionstore-backups", true,
        [](std::string_view name) { return name.find("lz4") != std::string_view::npos; }, files);
    return files;
  }
  AddFolderFiles(
      folder, false,
      [](std::string_view name) {
        return name == "Current Session" || name == "Current Tabs" || name == "Last Session" ||
               name == "Last Tabs";
      },
      files);
  AddFolderFiles(
      folder + "\\Sessions", false,
      [](std::string_view name) {
        return name.starts_with("Session_") || name.starts_with("Tabs_");
      },
      files);
  return files;
}

SqliteStatus ReadSiteSettingHosts(const ModernProfile& profile, std::vector<std::string>& hosts) {
  hosts.clear();
  std::string data;
  const SqliteStatus status = ReadWholeFile(profile.folder + "Preferences", data);
  if (status == SqliteStatus::Ok) hosts = SiteSettingHosts(data);
  return status;
}

SqliteStatus ReadSessionUrls(const SessionFile& session, std::vector<std::string>& urls) {
  urls.clear();
  std::string data;
  if (const SqliteStatus status = ReadWholeFile(session.file, data); status != SqliteStatus::Ok) {
    return status;
  }
  // A browser may leave an empty file behind (created, never written): it names nothing.
  if (data.empty()) return SqliteStatus::Ok;
  if (session.mozLz4) {
    const std::optional<std::string> json = DecodeMozLz4(data, kMaxDecodedSize);
    if (!json) return SqliteStatus::Corrupt;
    urls = JsonWebUrls(*json);
  } else {
    if (!data.starts_with(kChromiumMagic)) return SqliteStatus::Corrupt;
    urls = BinaryWebUrls(data);
  }
  std::sort(urls.begin(), urls.end());
  urls.erase(std::unique(urls.begin(), urls.end()), urls.end());
  return SqliteStatus::Ok;
}

}  // namespace corvane
