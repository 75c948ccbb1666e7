#pragma once
// Files that cannot be deleted now are registered for deletion at the next start of Windows,
// where wineboot deletes them: on the NT family in the registry value
// "PendingFileRenameOperations" (HKLM "System\CurrentControlSet\Control\Session Manager"), on
// Windows 9x as a "nul = <path>" line of the "[rename]" section of WININIT.INI in the Windows
// folder.

#include <string_view>

namespace corvane {

inline constexpr std::string_view kSessionManagerKey =
    "System\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::string_view kPendingFileRenameOperations = "PendingFileRenameOperations";
inline constexpr std::string_view kWininitFileName = "WININIT.INI";

// Registers the file (any path; a host path is named through the drive that shows it) for
// deletion at the next start. True when the file is registered (now, or already before); false
// when nothing could be written: a path no drive shows, a path longer than 260 characters, a
// value of another type than REG_MULTI_SZ, a registry or WININIT.INI that cannot be written.
[[nodiscard]] bool ScheduleDeleteAtRestart(std::string_view path);

}  // namespace corvane
