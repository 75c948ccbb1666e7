#pragma once
// Whether a wineserver runs for a prefix. A running server owns the prefix's registry files: it
// never re-reads them and overwrites them when it saves, so nothing else may write them meanwhile.

#include <filesystem>
#include <vector>

namespace corvane {

// The lock files a server for this prefix may hold, in the folder named after the prefix folder's
// device and inode numbers (lowercase hex): /tmp/.wine-<uid>/server-<dev>-<inode>/lock, and, for
// Wine builds that place the server folder in a private temporary folder whose name they record
// in <prefix>/wineserver, /tmp/<that name>/server-<dev>-<inode>/lock. Empty when the prefix
// cannot be examined.
[[nodiscard]] std::vector<std::filesystem::path> WineServerLockPaths(
    const std::filesystem::path& prefix);

// True while a server holds its write lock on byte 0 of one of those lock files. When a lock file
// exists but cannot be examined the answer is true too: a registry file must never be written on
// a guess.
[[nodiscard]] bool IsWineServerRunning(const std::filesystem::path& prefix);

}  // namespace corvane
