#pragma once
// The Win32 registry calls, answered from the Wine prefix's hive files through
// RegistryStore::Current(). Each call keeps its Windows meaning and error codes (LONG results,
// ERROR_SUCCESS = 0). Differences in shape only: strings are UTF-8 (std::string_view in,
// std::string out), reserved parameters are dropped. Sizes stay as Windows has them: value data in
// bytes (string data is UTF-16LE with its NUL), name capacities in UTF-16 characters including the
// NUL, answered with ERROR_MORE_DATA when short.
//
// Roots: HKEY_LOCAL_MACHINE = system.reg, HKEY_CURRENT_USER = user.reg, HKEY_CLASSES_ROOT =
// HKLM "Software\Classes", HKEY_USERS holds ".Default" (userdef.reg) and the user's SID (user.reg).
// The other predefined roots open nothing.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/last_error.h"
#include "platform/registry_hive.h"

namespace corvane {

using HKEY = std::uintptr_t;
using BYTE = std::uint8_t;
using REGSAM = DWORD;
using SECURITY_INFORMATION = DWORD;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr HKEY HKEY_USERS = 0x80000003;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006;
inline constexpr HKEY HKEY_PERFORMANCE_TEXT = 0x80000050;
inline constexpr HKEY HKEY_PERFORMANCE_NLSTEXT = 0x80000060;

// Access rights. The hives carry no ACLs, so every right is granted; they are kept for callers
// that pass them.
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM WRITE_DAC = 0x00040000;
inline constexpr REGSAM WRITE_OWNER = 0x00080000;
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x1;
inline constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x2;
inline constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;
inline constexpr SECURITY_INFORMATION SACL_SECURITY_INFORMATION = 0x8;

// Registry-specific Win32 codes (the general ones are in last_error.h).
inline constexpr DWORD ERROR_KEY_HAS_CHILDREN = 1020;
inline constexpr DWORD ERROR_INVALID_SECURITY_DESCR = 1338;

// The longest key name component Windows allows, in UTF-16 characters.
inline constexpr std::size_t kMaxKeyNameLength = 255;

// Opens `subKey` below `key` (an empty sub-key opens `key` again; a predefined root answers
// itself). Link keys are followed. ERROR_FILE_NOT_FOUND when a component is missing.
[[nodiscard]] LONG RegOpenKeyW(HKEY key, std::string_view subKey, HKEY* result);
[[nodiscard]] LONG RegOpenKeyExW(HKEY key, std::string_view subKey, DWORD options, REGSAM access,
                                 HKEY* result);
// Opens `subKey`, creating it and every missing key above it.
[[nodiscard]] LONG RegCreateKeyW(HKEY key, std::string_view subKey, HKEY* result);
// Closes a handle from the calls above; predefined roots close successfully and stay usable.
LONG RegCloseKey(HKEY key);

// A value's type and data. With data null, *dataSize receives the size in bytes. With a buffer
// smaller than the data: ERROR_MORE_DATA and *dataSize = the size needed. Any out pointer may be
// null except dataSize when data is given. ERROR_FILE_NOT_FOUND for a missing value.
[[nodiscard]] LONG RegQueryValueExW(HKEY key, std::string_view valueName, DWORD* type, BYTE* data,
                                    DWORD* dataSize);
// Sets (creates or replaces) a value with `size` bytes of `data`.
[[nodiscard]] LONG RegSetValueExW(HKEY key, std::string_view valueName, DWORD type,
                                  const BYTE* data, DWORD size);
[[nodiscard]] LONG RegDeleteValueW(HKEY key, std::string_view valueName);

// The value at `index` in Wine's sorted order. *nameChars: in, the name capacity in UTF-16
// characters including the NUL; out, the name's length without it. ERROR_MORE_DATA when the name
// or the data does not fit; ERROR_NO_MORE_ITEMS past the last value.
[[nodiscard]] LONG RegEnumValueW(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                                 DWORD* type, BYTE* data, DWORD* dataSize);
// The sub-key at `index` in Wine's sorted order; `nameChars` is the capacity (with the NUL).
[[nodiscard]] LONG RegEnumKeyW(HKEY key, DWORD index, std::string* name, DWORD nameChars);
// As RegEnumKeyW, with the capacity in and the length out, the class (capacity and length as for
// the name; either may be null) and the last write time (FILETIME, may be null).
[[nodiscard]] LONG RegEnumKeyExW(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                                 std::string* className, DWORD* classChars,
                                 std::uint64_t* lastWriteTime);
// Counts and longest lengths (names in UTF-16 characters without the NUL, data in bytes); every
// out pointer may be null. The class follows RegEnumKeyExW's rules.
[[nodiscard]] LONG RegQueryInfoKeyW(HKEY key, std::string* className, DWORD* classChars,
                                    DWORD* subKeys, DWORD* maxSubKeyLength, DWORD* maxClassLength,
                                    DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                                    DWORD* securityDescriptorSize, std::uint64_t* lastWriteTime);

// Deletes `subKey` (or `key` itself when empty); ERROR_ACCESS_DENIED when it has sub-keys, as on
// NT. A link key is deleted as a link, never its target.
[[nodiscard]] LONG RegDeleteKeyW(HKEY key, std::string_view subKey);
// Deletes `subKey` with everything below it.
[[nodiscard]] LONG SHDeleteKeyW(HKEY key, std::string_view subKey);
// Deletes `subKey` only when it has neither values nor sub-keys (else ERROR_KEY_HAS_CHILDREN).
[[nodiscard]] LONG SHDeleteEmptyKeyW(HKEY key, std::string_view subKey);

// The key's security descriptor, self-relative: the hives keep no ACLs, so every key answers the
// same descriptor whose DACL grants everyone full access. With a buffer that is missing or too
// small: ERROR_INSUFFICIENT_BUFFER and *size = the size needed.
[[nodiscard]] LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION information, BYTE* descriptor,
                                     DWORD* size);
// Accepts a well-formed self-relative descriptor for an existing key. Nothing is stored: the hive
// files have no place for it.
[[nodiscard]] LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION information,
                                     std::span<const BYTE> descriptor);

}  // namespace corvane
