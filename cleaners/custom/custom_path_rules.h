#pragma once
// Which expanded definition paths a custom plug-in acts on. A definition is a file anyone can
// drop into the program folder, and a macro whose value is missing expands to nothing, so
// "%UserProfile%\Temp" on a machine without the variable reads "\Temp": a Linux path. Only paths
// of the machine being cleaned are acted on, never the whole of a drive, and a folder the system
// itself relies on is emptied but never removed.

#include <cstdint>
#include <string_view>

namespace corvane {

// True when the item's expanded path may be scanned and erased: a machine path with a drive and
// a backslash ("C:\..."); for the folder kinds, every non-empty piece of the "|"-list; for a
// whole tree, no piece may be a drive's root.
[[nodiscard]] bool IsCustomItemPathAllowed(std::string_view expandedPath, std::int32_t kind);

// True when a registry tree item would walk a whole hive: its key is a predefined root
// (HKEY_CURRENT_USER with an empty key, HKLM "\") or a hive below HKEY_USERS (".Default", the
// user's SID). Such an item could erase every matching value of the registry; it is refused.
[[nodiscard]] bool IsRegistryRootKey(std::uint32_t root, std::string_view keyPath);

// True for a folder a tree item may empty but must not remove: a drive root, the Windows folder
// and its Temp, the profile, the temporary folders (TEMP, TMP and the usual Temp folders), and
// the shell folders (AppData, Local AppData, Documents, Recent, Cookies, History, Cache).
[[nodiscard]] bool IsSystemFolder(std::string_view folder);

}  // namespace corvane
