#pragma once
// Files that could not be deleted at once are left to the next start of Wine, whose wineboot
// deletes them. The front ends tell the user how to make that start happen now.

#include <filesystem>
#include <string>

namespace corvane {

// The command that restarts Wine on the prefix, to paste into a shell:
// WINEPREFIX='<prefix>' wineboot --restart, the prefix quoted for any POSIX shell.
[[nodiscard]] std::string WineRestartCommand(const std::filesystem::path& prefix);

}  // namespace corvane
