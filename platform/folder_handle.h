#pragma once
// A folder held open. Listing it, reading its entries' status, opening and deleting them all go
// through the handle by name, so a folder renamed, or swapped for a symbolic link, while it is in
// use cannot redirect any of them. Nothing here follows a link: a link is an entry of its own,
// never a folder to enter.
//
// Paths reach a folder through OpenPathEntry / OpenFolderPath. A machine path follows only its
// drive's own mapping (the dosdevices entry and the folder it names); below the drive root no
// component may be a link, so "C:\users\ann\Desktop\sub" never reaches the Linux home through
// Wine's Desktop link. Such a path is refused as not found (ERROR_PATH_NOT_FOUND) and reported
// (platform/file_problems.h). Host paths, which name the program's own files, are resolved as
// written up to their last component.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One entry of a listing, with the status of the entry itself (a link's own, not its target's).
struct FolderEntry {
  std::string name;
  struct stat status {};
};

class FolderHandle {
 public:
  FolderHandle() = default;
  explicit FolderHandle(int fd) : fd_(fd) {}
  FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  ~FolderHandle();

  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
  explicit operator bool() const { return IsOpen(); }
  [[nodiscard]] int Descriptor() const { return fd_; }

  // The subfolder itself; closed, with the last error set, when it is missing
  // (ERROR_PATH_NOT_FOUND) or a link or no folder (ERROR_DIRECTORY).
  [[nodiscard]] FolderHandle OpenFolder(std::string_view name) const;
  // The status of the entry itself; false with the last error set (ERROR_FILE_NOT_FOUND when it
  // is missing).
  [[nodiscard]] bool Status(std::string_view name, struct stat* status) const;
  // Every entry but "." and "..", in the folder's order, each with one status call. Entries
  // removed while the folder is read are left out. False, with the last error set, when the
  // folder could not be read (what was read is kept).
  [[nodiscard]] bool List(std::vector<FolderEntry>& entries) const;
  // The one entry whose name equals `name` ignoring case; none when there is none or several.
  [[nodiscard]] std::optional<std::string> FindNameNoCase(std::string_view name) const;
  // Deletes the entry (a link as a link) or, with `folder`, the empty subfolder; the last error
  // says why not.
  [[nodiscard]] bool Remove(std::string_view name, bool folder) const;
  // Sets the permission bits of the entry that `seen` describes (same device and inode); a link
  // or another file put in its place is left alone (ERROR_ACCESS_DENIED).
  [[nodiscard]] bool SetMode(std::string_view name, const struct stat& seen, mode_t mode) const;

 private:
  int fd_ = -1;
};

// True when two statuses describe the same file: same device and inode.
[[nodiscard]] bool SameFile(const struct stat& a, const struct stat& b);

// Where a path leads: the open folder holding its last component, and that component as the
// folder spells it (found case-insensitively for a machine path; as written when missing). A
// drive root is its own folder with the name ".".
struct PathEntry {
  FolderHandle folder;
  std::string name;
};

// Any path (HostPath's rules); none, with the last error set, when its folder cannot be reached.
[[nodiscard]] std::optional<PathEntry> OpenPathEntry(std::string_view path);
// The folder a path names, itself no link; closed with the last error set otherwise
// (ERROR_PATH_NOT_FOUND when missing, ERROR_DIRECTORY when not a folder).
[[nodiscard]] FolderHandle OpenFolderPath(std::string_view path);

}  // namespace corvane
