#pragma once
// The Windows machine being cleaned: a Wine prefix. Drives come from <prefix>/dosdevices, machine
// paths ("C:\users\ann\...") map to host paths through the drive links and then component by
// component, case-insensitively. The registry-backed parts (special folders, environment) live
// beside the registry store.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// GetDriveType's answers.
enum class DriveType : unsigned {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct Drive {
  char letter = 'C';  // upper case
  DriveType type = DriveType::Unknown;
  // The host folder the drive shows (the link's target); empty for a device entry ("d::") with
  // no folder, which has no files to reach.
  std::filesystem::path root;
};

// Windows buffers hold 260 characters: longer paths are refused or skipped.
inline constexpr std::size_t kMaxPath = 260;

// Whether root may work on a prefix another user owns.
enum class ForeignOwner { Refuse, AllowForRoot };

class Machine {
 public:
  // $WINEPREFIX, else ~/.wine: Wine's own rule.
  [[nodiscard]] static std::filesystem::path DefaultPrefix();
  // Opens an existing prefix. It must hold system.reg and user.reg; otherwise the answer is null
  // and *error (when given) says what is wrong. Nothing is ever created.
  [[nodiscard]] static std::unique_ptr<Machine> Open(const std::filesystem::path& prefix,
                                                     std::string* error);

  // The machine the program works on; set once at start-up (tests set their TempMachine). Null
  // until set.
  [[nodiscard]] static Machine* Current();
  static void SetCurrent(Machine* machine);

  [[nodiscard]] const std::filesystem::path& Prefix() const { return prefix_; }
  // Empty when the caller may work on the prefix, else why not. As Wine does, a prefix whose
  // folder another user owns is refused: the hives root saves would be root's, and the owner's
  // Wine would replace them with empty ones. ForeignOwner::AllowForRoot lets root (only) go on;
  // every file it writes then keeps its owner.
  [[nodiscard]] std::string OwnerProblem(ForeignOwner policy) const;
  // Drives in letter order, read from dosdevices now (drives come and go).
  [[nodiscard]] std::vector<Drive> Drives() const;
  [[nodiscard]] std::optional<Drive> FindDrive(char letter) const;

  // The user's name (the profile folder's name under drive_c/users) and profile folder as a
  // machine path ("C:\users\ann").
  [[nodiscard]] const std::string& UserName() const { return userName_; }
  [[nodiscard]] std::string ProfileFolder() const;

  // Machine path → host path: through the drive link, then each component resolved
  // case-insensitively (exact name first, else the one case-insensitive match, else the name as
  // written, so the result can be created). "." and ".." never climb above the drive root. Null
  // (with the last error set) for an unknown drive or a path over kMaxPath.
  [[nodiscard]] std::optional<std::filesystem::path> ToHostPath(std::string_view machinePath) const;
  // Host path → machine path through the drive whose root contains it; the deepest root wins, so
  // C: before Z:. Null when no drive shows the path.
  [[nodiscard]] std::optional<std::string> ToMachinePath(
      const std::filesystem::path& hostPath) const;
  // The drive's host folder, from its dosdevices link; nullopt when it has none.
  [[nodiscard]] std::optional<std::filesystem::path> DriveRoot(char letter) const;

 private:
  Machine(std::filesystem::path prefix, std::string userName);

  std::filesystem::path prefix_;
  std::string userName_;
};

// A path's length as Windows buffers count it (UTF-16 units), for the kMaxPath limit.
[[nodiscard]] std::size_t PathLength(std::string_view path);

// True for "C:\..." / "c:" / "C:/...": a drive letter and a colon.
[[nodiscard]] bool IsMachinePath(std::string_view path);
// The components of a machine path below its drive root, with "." dropped and ".." taking back
// the component before it (never climbing above the root).
[[nodiscard]] std::vector<std::string_view> MachinePathComponents(std::string_view machinePath);
// True for a machine path naming a drive's root ("C:", "C:\", "C:\users\.."): Windows lists no
// "." and ".." there.
[[nodiscard]] bool IsDriveRoot(std::string_view path);

// Any path the program handles → host path: machine paths through Machine::Current(), other
// paths as host paths with "\" read as "/". Null (with the last error set) when a machine path
// cannot be mapped or no machine is current.
[[nodiscard]] std::optional<std::filesystem::path> HostPath(std::string_view path);

}  // namespace corvane
