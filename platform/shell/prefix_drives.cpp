#include "platform/shell/prefix_drives.h"

#include <algorithm>

namespace corvane {
namespace {

namespace fs = std::filesystem;

// True when `inner` is `outer` or lies below it, comparing whole components.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  auto [outerEnd, innerAt] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  if (outerEnd == outer.end()) return true;
  // A trailing separator leaves one empty component behind.
  return std::next(outerEnd) == outer.end() && outerEnd->empty();
}

fs::path Normal(const fs::path& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? path.lexically_normal() : canonical;
}

}  // namespace

std::vector<Drive> CleanableDrives() {
  std::vector<Drive> drives;
  const Machine* machine = Machine::Current();
  if (machine == nullptr) return drives;
  const fs::path prefix = Normal(machine->Prefix());
  for (Drive& drive : machine->Drives()) {
    if (drive.type != DriveType::Fixed || drive.root.empty()) continue;
    drive.root = Normal(drive.root);
    // Z: is Wine's door to the whole Linux root wherever it leads; other drives holding the
    // prefix (the home folder mapped to a letter) show the same world around it.
    if (drive.letter == 'Z' || IsWithin(prefix, drive.root)) continue;
    drives.push_back(std::move(drive));
  }
  return drives;
}

bool IsOnCleanableDrive(std::string_view machinePath) {
  if (!IsMachinePath(machinePath)) return false;
  const char letter = static_cast<char>(machinePath[0] & ~0x20);
  const std::vector<Drive> drives = CleanableDrives();
  return std::any_of(drives.begin(), drives.end(),
                     [letter](const Drive& drive) { return drive.letter == letter; });
}

std::optional<Drive> CleanableDriveOf(const fs::path& hostPath) {
  CleanableDriveFinder finder;
  return finder.Find(hostPath);
}

CleanableDriveFinder::CleanableDriveFinder() : drives_(CleanableDrives()) {}

std::optional<Drive> CleanableDriveFinder::Find(const fs::path& hostPath) {
  // Links resolved: Wine names a file through "dosdevices/c:", and a path through Wine's links
  // to the home folder is the home's. The last name is the item's own, gone from there.
  const fs::path lexical = hostPath.lexically_normal();
  const std::string parent = lexical.parent_path().string();
  auto folder = folders_.find(parent);
  if (folder == folders_.end()) folder = folders_.emplace(parent, Normal(parent)).first;
  const fs::path path = folder->second / lexical.filename();
  const Drive* best = nullptr;
  for (const Drive& drive : drives_) {
    if (!IsWithin(path, drive.root)) continue;
    if (best == nullptr || std::distance(drive.root.begin(), drive.root.end()) >
                               std::distance(best->root.begin(), best->root.end())) {
      best = &drive;
    }
  }
  if (best == nullptr) return std::nullopt;
  return *best;
}

}  // namespace corvane
