#pragma once
// The registry-backed half of the machine: the user's special folders and the environment a
// Windows program on the machine would see. Both come from the prefix's registry
// (RegistryStore::Current()) and profile (Machine::Current()): never from the Linux process
// environment, never from hard-coded paths.

#include <optional>
#include <string>
#include <string_view>

#include "platform/last_error.h"

namespace corvane {

inline constexpr int CSIDL_PERSONAL = 0x05;
inline constexpr int CSIDL_RECENT = 0x08;
inline constexpr int CSIDL_APPDATA = 0x1A;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
inline constexpr int CSIDL_INTERNET_CACHE = 0x20;
inline constexpr int CSIDL_COOKIES = 0x21;
inline constexpr int CSIDL_HISTORY = 0x22;

inline constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;

enum class FolderCreation { MustExist, CreateIfMissing };

// The special folder as a machine path: HKCU "...\Explorer\User Shell Folders" expanded, else
// "...\Explorer\Shell Folders" when that value is missing or does not expand to a machine path.
// As on Windows the folder is checked: a missing one fails with ERROR_FILE_NOT_FOUND, or is made
// (with its parents) under CreateIfMissing. ERROR_INVALID_PARAMETER for a CSIDL not listed above.
[[nodiscard]] std::optional<std::string> SHGetSpecialFolderPathW(int csidl,
                                                                 FolderCreation creation);

// A variable of the machine's environment, by name in any case; ERROR_ENVVAR_NOT_FOUND when it
// has none. The environment is built as Windows builds a user's: SystemRoot, SystemDrive and the
// ProgramFiles folders, the system variables (HKLM "Session Manager\Environment"), the user's
// (HKCU "Environment", whose Path extends the system one), then USERPROFILE, USERNAME, APPDATA
// and LOCALAPPDATA from the profile and the shell folders.
[[nodiscard]] std::optional<std::string> GetEnvironmentVariableW(std::string_view name);
// Replaces each %NAME% by the machine's variable; an unknown one stays as written, like Windows.
[[nodiscard]] std::string ExpandEnvironmentStringsW(std::string_view text);
// The machine's temporary folder, ending in "\": TMP, else TEMP, else USERPROFILE, else the
// Windows folder.
[[nodiscard]] std::optional<std::string> GetTempPathW();
// The machine's user name.
[[nodiscard]] std::optional<std::string> GetUserNameW();

}  // namespace corvane
