#pragma once
// The Windows file calls the cleaners use, with their Win32 meanings and last-error codes. Every
// path argument is any path (OpenPathEntry): machine paths resolve case-insensitively, and one
// with a link on its way below the drive root names nothing (ERROR_PATH_NOT_FOUND). Symbolic
// links are handled as links, never as what they point at: a link is a reparse point and never a
// directory, deleting one removes the link, and attributes are never changed through one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_status.h"

namespace corvane {

// The size of an existing regular file, as opening it for reading and asking would give.
[[nodiscard]] std::optional<std::uint64_t> GetFileSize64(std::string_view path);

// FILE_ATTRIBUTE_* of the entry itself (not a link's target); INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND when it is missing.
[[nodiscard]] DWORD GetFileAttributesW(std::string_view path);
// FILE_ATTRIBUTE_READONLY takes every write bit away; without it a read-only file gets its
// owner's write bit back. The other bits have no Linux meaning and are accepted as they are. A
// folder ignores read-only, and a link is left alone (changing it would change its target).
[[nodiscard]] bool SetFileAttributesW(std::string_view path, DWORD attributes);

// Deletes a file, or a symbolic link as a link. A folder fails with ERROR_ACCESS_DENIED, and so
// does a read-only file until its attributes are reset, as on Windows.
[[nodiscard]] bool DeleteFileW(std::string_view path);
// Removes an empty folder (else ERROR_DIR_NOT_EMPTY), or a link to a folder as a link. A file
// fails with ERROR_DIRECTORY.
[[nodiscard]] bool RemoveDirectoryW(std::string_view path);
// True for a folder itself; false for a link, even to a folder.
[[nodiscard]] bool IsDirectory(std::string_view path);

// The machine's Windows folder ("C:\windows", spelled as the drive spells it).
[[nodiscard]] std::optional<std::string> GetWindowsDirectoryW();

}  // namespace corvane
