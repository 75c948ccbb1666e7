#pragma once
// A browser profile folder held open by a handle, reached from its drive's root without crossing
// a symbolic link. Everything the Mozilla-family back-end reads or replaces in a profile goes
// through this handle, so a profile (or a folder above it) that is a link into the Linux home is
// never entered, and a file swapped for a link is never read or written through.

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace corvane {

class ProfileFolder {
 public:
  // Opens the folder of a machine path ("C:\...\Profiles\abc.default\"). Null, with the last
  // error set, when it is missing (ERROR_PATH_NOT_FOUND), not a folder or reached through a link
  // below the drive root (ERROR_ACCESS_DENIED), or not a machine path (ERROR_INVALID_NAME).
  [[nodiscard]] static std::optional<ProfileFolder> Open(std::string_view machinePath);

  ProfileFolder(ProfileFolder&& other) noexcept;
  ProfileFolder& operator=(ProfileFolder&& other) noexcept;
  ProfileFolder(const ProfileFolder&) = delete;
  ProfileFolder& operator=(const ProfileFolder&) = delete;
  ~ProfileFolder();

  // The machine path it was opened with, ending in "\".
  [[nodiscard]] const std::string& Path() const { return path_; }
  [[nodiscard]] int Descriptor() const { return fd_; }

  // The entry of the folder that Windows would open for `name`: the exact spelling when it
  // exists, else the one entry equal to it ignoring case. Null with ERROR_FILE_NOT_FOUND when
  // there is none, and with ERROR_INVALID_NAME for anything but a plain file name.
  [[nodiscard]] std::optional<std::string> FindName(std::string_view name) const;
  // Opens that entry for reading when it is a regular file, never through a link. The last error
  // says why not: ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED (a link, folder, pipe or device), ...
  [[nodiscard]] FileHandle OpenFile(std::string_view name) const;

 private:
  ProfileFolder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
};

// ProfileFolder::Open for one of the back-end's routines. A profile that is missing is nothing to
// do; one that exists but cannot be entered (a link on the way, not a folder) gets a trace line
// "<routine>: profile not entered:<path> Error code:<code>", so the user's support can see why.
[[nodiscard]] std::optional<ProfileFolder> OpenProfile(std::string_view routine,
                                                       std::string_view profile);

// True for a name that stays inside the folder it is joined to: not empty, not "." or "..", and
// without "\", "/" or ":".
[[nodiscard]] bool IsPlainFileName(std::string_view name);

}  // namespace corvane
