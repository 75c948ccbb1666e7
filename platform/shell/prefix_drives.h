#pragma once
// The drives a cleaner may act on. Wine maps drive Z: to the whole Linux root (and a user may map
// a letter to the home folder): such a drive shows the prefix itself and everything around it,
// so its files are not the Windows machine's and nothing is ever erased through it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/machine.h"

namespace corvane {

// The fixed drives of the current machine, in letter order, but Z: and any drive whose folder
// holds the prefix.
[[nodiscard]] std::vector<Drive> CleanableDrives();
// True when the path is a machine path on one of those drives.
[[nodiscard]] bool IsOnCleanableDrive(std::string_view machinePath);
// The cleanable drive whose folder holds `hostPath`, links in the path resolved (so a file named
// through "dosdevices/c:" is drive C's, one through a link to the home folder is nobody's), the
// deepest folder first; none when no such drive shows it.
[[nodiscard]] std::optional<Drive> CleanableDriveOf(const std::filesystem::path& hostPath);

// CleanableDriveOf for many paths (a Trash of thousands of items): the drives are read once and
// each folder is resolved once.
class CleanableDriveFinder {
 public:
  CleanableDriveFinder();
  [[nodiscard]] std::optional<Drive> Find(const std::filesystem::path& hostPath);

 private:
  std::vector<Drive> drives_;
  std::unordered_map<std::string, std::filesystem::path> folders_;
};

}  // namespace corvane
