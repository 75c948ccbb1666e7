#pragma once
// What the file services share: Win32 attributes and times read from a POSIX file status.

#include <sys/stat.h>

#include <cstdint>

#include "platform/last_error.h"

namespace corvane {

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Attributes of what lstat saw. A symbolic link is a reparse point and never a directory, whatever
// it points at, so nothing that recurses on FILE_ATTRIBUTE_DIRECTORY can follow it. A file
// without any write bit is read-only; a folder never is (Windows ignores the bit on folders).
[[nodiscard]] DWORD FileAttributesFromStat(const struct stat& st);

// A FILETIME value: 100-nanosecond intervals since 1601-01-01 UTC (0 for earlier times).
[[nodiscard]] std::uint64_t FileTimeFromTimespec(const timespec& time);

}  // namespace corvane
