#include "platform/shell/shell_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <utility>

#include "platform/text.h"

namespace corvane {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kHasIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kLinkInfoHasLocalPath = 0x1;
constexpr std::uint32_t kEnvironmentBlock = 0xA0000001;
constexpr std::uint8_t kRootItem = 0x1F;
// Item types: drives are 0x2_, folders and files 0x3_ (the low bits say which).
constexpr std::uint8_t kTypeGroupMask = 0x70;
constexpr std::uint8_t kDriveGroup = 0x20;
constexpr std::uint8_t kFileGroup = 0x30;
// My Computer's class id as the root item stores it.
constexpr std::array<std::uint8_t, 16> kMyComputer = {
    0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

// Little-endian reads that refuse to leave the bytes.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] bool Has(std::size_t offset, std::size_t size) const {
    return offset <= bytes_.size() && size <= bytes_.size() - offset;
  }
  [[nodiscard]] std::optional<std::uint16_t> U16(std::size_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
  }
  [[nodiscard]] std::optional<std::uint32_t> U32(std::size_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    return static_cast<std::uint32_t>(Byte(offset)) |
           (static_cast<std::uint32_t>(Byte(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(Byte(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(Byte(offset + 3)) << 24);
  }
  [[nodiscard]] std::uint8_t Byte(std::size_t offset) const {
    return static_cast<std::uint8_t>(bytes_[offset]);
  }
  // A NUL-terminated 8-bit string at `offset`, ending no later than `end`; none without its NUL.
  [[nodiscard]] std::optional<std::string> Ansi(std::size_t offset, std::size_t end) const {
    end = std::min(end, bytes_.size());
    for (std::size_t i = offset; i < end; ++i) {
      if (bytes_[i] == '\0') return Cp1252ToUtf8(bytes_.substr(offset, i - offset));
    }
    return std::nullopt;
  }
  // A NUL-terminated UTF-16LE string at `offset`, ending no later than `end`.
  [[nodiscard]] std::optional<std::string> Unicode(std::size_t offset, std::size_t end) const {
    end = std::min(end, bytes_.size());
    for (std::size_t i = offset; i + 1 < end; i += 2) {
      if (bytes_[i] == '\0' && bytes_[i + 1] == '\0') {
        return Utf16LeBytesToUtf8(bytes_.substr(offset, i - offset));
      }
    }
    return std::nullopt;
  }
  [[nodiscard]] std::string_view Bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
};

bool Fail(std::string* error, const char* why) {
  if (error != nullptr) *error = why;
  return false;
}

// The path the item-ID list spells: My Computer, a drive, then folders and a file. Lists with any
// other root (the desktop's own items, the network) have no path here.
std::string PathFromIdList(const Reader& link, std::size_t start, std::size_t end) {
  std::string path;
  bool sawRoot = false;
  bool sawDrive = false;
  for (std::size_t at = start; at + 2 <= end;) {
    const std::uint16_t size = *link.U16(at);
    if (size == 0) break;  // the terminator
    if (size < 3 || size > end - at) return {};
    const std::uint8_t type = link.Byte(at + 2);
    if (!sawRoot) {
      if (type != kRootItem || size < 20) return {};
      for (std::size_t i = 0; i < kMyComputer.size(); ++i) {
        if (link.Byte(at + 4 + i) != kMyComputer[i]) return {};
      }
      sawRoot = true;
    } else if (!sawDrive) {
      if ((type & kTypeGroupMask) != kDriveGroup) return {};
      const auto drive = link.Ansi(at + 3, at + size);
      if (!drive || drive->size() < 2 || (*drive)[1] != ':') return {};
      path = drive->substr(0, 2) + "\\";
      sawDrive = true;
    } else {
      if ((type & kTypeGroupMask) != kFileGroup || size < 15) return {};
      // Size, date and attributes come first; then the name (the long one as Wine writes it, the
      // short one on Windows, which also answers to it).
      const auto name = link.Ansi(at + 14, at + size);
      if (!name || name->empty() || name->find('\\') != std::string::npos) return {};
      if (path.back() != '\\') path += '\\';
      path += *name;
    }
    at += size;
  }
  return sawDrive ? path : std::string();
}

// The target the link information names: the local base path and the common suffix, Unicode
// forms first.
bool ReadLinkInfo(const Reader& link, std::size_t at, std::size_t size, std::string& target,
                  std::string* error) {
  const std::size_t end = at + size;
  const auto header = link.U32(at + 4);
  const auto flags = link.U32(at + 8);
  const auto localOffset = link.U32(at + 16);
  const auto suffixOffset = link.U32(at + 24);
  if (!header || !flags || !localOffset || !suffixOffset || *header < 0x1C || *header > size) {
    return Fail(error, "link information header is cut short");
  }
  if ((*flags & kLinkInfoHasLocalPath) == 0) return true;  // a network link: no local path
  const auto within = [&](std::uint32_t offset) { return offset < size; };
  if (*header >= 0x24) {
    const auto localUnicode = link.U32(at + 28);
    const auto suffixUnicode = link.U32(at + 32);
    if (!localUnicode || !suffixUnicode) return Fail(error, "link information header is cut short");
    if (within(*localUnicode) && *localUnicode != 0) {
      const auto local = link.Unicode(at + *localUnicode, end);
      const auto suffix = within(*suffixUnicode) && *suffixUnicode != 0
                              ? link.Unicode(at + *suffixUnicode, end)
                              : std::optional<std::string>("");
      if (!local || !suffix) return Fail(error, "link information path runs past its end");
      target = *local + *suffix;
      return true;
    }
  }
  if (!within(*localOffset) || !within(*suffixOffset)) {
    return Fail(error, "link information offsets lie outside it");
  }
  const auto local = link.Ansi(at + *localOffset, end);
  const auto suffix = link.Ansi(at + *suffixOffset, end);
  if (!local || !suffix) return Fail(error, "link information path runs past its end");
  target = *local + *suffix;
  return true;
}

}  // namespace

std::optional<ShellLink> ParseShellLink(std::string_view bytes, std::string* error) {
  const Reader link(bytes);
  if (bytes.size() > kMaxShellLinkBytes) {
    Fail(error, "too large for a link");
    return std::nullopt;
  }
  if (!link.Has(0, kHeaderSize) || *link.U32(0) != kHeaderSize) {
    Fail(error, "no link header");
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kLinkClsid.size(); ++i) {
    if (link.Byte(4 + i) != kLinkClsid[i]) {
      Fail(error, "not a shell link class");
      return std::nullopt;
    }
  }
  ShellLink result;
  result.flags = *link.U32(20);
  result.fileAttributes = *link.U32(24);
  std::size_t at = kHeaderSize;

  std::string idListPath;
  if ((result.flags & kHasIdList) != 0) {
    const auto size = link.U16(at);
    if (!size || !link.Has(at + 2, *size)) {
      Fail(error, "item-ID list runs past the end");
      return std::nullopt;
    }
    idListPath = PathFromIdList(link, at + 2, at + 2 + *size);
    at += 2 + *size;
  }
  if ((result.flags & kHasLinkInfo) != 0) {
    const auto size = link.U32(at);
    if (!size || *size < 0x1C || !link.Has(at, *size)) {
      Fail(error, "link information runs past the end");
      return std::nullopt;
    }
    if ((result.flags & kForceNoLinkInfo) == 0 &&
        !ReadLinkInfo(link, at, *size, result.targetPath, error)) {
      return std::nullopt;
    }
    at += *size;
  }
  if (result.targetPath.empty()) result.targetPath = std::move(idListPath);

  const bool unicode = (result.flags & kIsUnicode) != 0;
  // In this order, each present when its flag is set (0x4 name up to 0x40 icon location).
  const std::array<std::pair<std::uint32_t, std::string*>, 5> strings = {{
      {0x4, &result.name},
      {0x8, &result.relativePath},
      {0x10, &result.workingDirectory},
      {0x20, &result.arguments},
      {0x40, &result.iconLocation},
  }};
  for (const auto& [flag, text] : strings) {
    if ((result.flags & flag) == 0) continue;
    const auto count = link.U16(at);
    const std::size_t size = count ? static_cast<std::size_t>(*count) * (unicode ? 2 : 1) : 0;
    if (!count || !link.Has(at + 2, size)) {
      Fail(error, "string runs past the end");
      return std::nullopt;
    }
    const std::string_view chars = bytes.substr(at + 2, size);
    *text = unicode ? Utf16LeBytesToUtf8(chars) : Cp1252ToUtf8(chars);
    at += 2 + size;
  }

  // Extra blocks: each names its own size; one under 4 bytes ends them. A block that claims
  // more than is left ends the reading too: what came before it stands.
  while (const auto size = link.U32(at)) {
    if (*size < 8 || !link.Has(at, *size)) break;
    if (*link.U32(at + 4) == kEnvironmentBlock && *size >= 8 + 260 + 520) {
      const auto wide = link.Unicode(at + 8 + 260, at + 8 + 260 + 520);
      const auto ansi = link.Ansi(at + 8, at + 8 + 260);
      result.environmentTarget = wide && !wide->empty() ? *wide : ansi.value_or("");
    }
    at += *size;
  }
  return result;
}

std::optional<ShellLink> ReadShellLink(const std::filesystem::path& hostPath, std::string* error) {
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    Fail(error, "cannot be opened");
    return std::nullopt;
  }
  struct stat status {};
  std::string bytes;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            static_cast<std::uint64_t>(status.st_size) <= kMaxShellLinkBytes;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got <= 0) break;  // a file that shrank is read as far as it goes
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
  }
  ::close(fd);
  if (!ok) {
    Fail(error, "not a regular file of a link's size");
    return std::nullopt;
  }
  return ParseShellLink(bytes, error);
}

}  // namespace corvane
