#pragma once
// Files that could not be deleted at once are left to the next start of Wine, whose wineboot
// deletes them. Restarting the prefix is this platform's restart of Windows: the front ends offer
// it, or tell the user how to make that start happen.

#include <filesystem>
#include <string>

namespace corvane {

// The command that restarts Wine on the prefix, to paste into a shell:
// WINEPREFIX='<prefix>' wineboot --restart, the prefix quoted for any POSIX shell.
[[nodiscard]] std::string WineRestartCommand(const std::filesystem::path& prefix);

enum class WineRestartResult {
  Restarted,    // wineboot ran and Wine has ended again
  WineRunning,  // a wineserver owns the prefix: its programs must be closed first
  WineMissing,  // no wineboot on PATH
  Failed,       // wineboot could not start or reported failure
};

// Runs wineboot --restart on the prefix (WINEPREFIX set, argument vector, no shell) and waits for
// its wineserver to end, so the registry Wine changed is on disk when this returns. Refuses while
// a wineserver owns the prefix: ending its programs would lose their unsaved work. The caller
// flushes its own registry changes first.
[[nodiscard]] WineRestartResult RestartWine(const std::filesystem::path& prefix);

}  // namespace corvane
