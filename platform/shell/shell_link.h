#pragma once
// Shell links (".lnk" files) as the shell writes them: the header, the item-ID list, the link
// information, the strings and the extra blocks. Only what a cleaner needs is kept: where the
// link leads, and its strings. Every length and offset is checked against the bytes; a link that
// is cut short, claims sizes it does not have or points outside itself is refused, never read
// past its end.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Links larger than this are not links the shell writes; they are refused unread.
inline constexpr std::size_t kMaxShellLinkBytes = 1 << 20;

struct ShellLink {
  std::uint32_t flags = 0;
  std::uint32_t fileAttributes = 0;
  // The target as a Windows path: from the link information (its Unicode form when present), else
  // from the item-ID list (My Computer, a drive, then folder and file names), else empty.
  std::string targetPath;
  // The target of the environment-variable block ("%USERPROFILE%\..."), unexpanded; may be empty.
  std::string environmentTarget;
  std::string name;
  std::string relativePath;
  std::string workingDirectory;
  std::string arguments;
  std::string iconLocation;
};

// Reads a link from its bytes; none, with `error` (when given) saying why, when they are no
// whole link.
[[nodiscard]] std::optional<ShellLink> ParseShellLink(std::string_view bytes,
                                                      std::string* error = nullptr);

// Reads the link file at a host path. The file itself is read, never what a symbolic link in its
// place points at, and only when it is a regular file of at most kMaxShellLinkBytes.
[[nodiscard]] std::optional<ShellLink> ReadShellLink(const std::filesystem::path& hostPath,
                                                     std::string* error = nullptr);

}  // namespace corvane
