#pragma once
// An open file, as CreateFileW with OPEN_EXISTING gives one: nothing is ever created. Only
// regular files open (a folder, device or pipe is refused with ERROR_ACCESS_DENIED, so a hostile
// name can neither hang a read nor aim a wipe at a disk), and a symbolic link is never opened for
// writing, so an overwrite cannot reach a link's target.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

enum class FileAccess { Read, ReadWrite };

class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }

  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
  [[nodiscard]] int Descriptor() const { return fd_; }
  explicit operator bool() const { return IsOpen(); }
  void Close();

  // Reads up to `size` bytes at the current position; fewer only at the end of the file.
  [[nodiscard]] bool Read(void* buffer, std::size_t size, std::size_t* read);
  // Writes all `size` bytes at the current position; *written says how many reached the file
  // when it fails.
  [[nodiscard]] bool Write(const void* buffer, std::size_t size, std::size_t* written);
  // Moves the position to `offset` bytes from the start.
  [[nodiscard]] bool Seek(std::uint64_t offset);
  [[nodiscard]] std::optional<std::uint64_t> Size() const;
  // The open file's status (its size, its links, its device and inode).
  [[nodiscard]] bool Status(struct stat* status) const;
  // Waits until written data is on the disk: an overwrite that stays in the page cache erases
  // nothing.
  [[nodiscard]] bool Sync();

 private:
  int fd_ = -1;
};

class FolderHandle;

// Opens an existing regular file; any path (OpenPathEntry: no link on the way below a drive
// root, and none followed for writing at the end either). On failure the handle is closed and the
// last error says why (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ...). As
// on Windows, a read-only file (no write bit) does not open for writing.
[[nodiscard]] FileHandle OpenExistingFile(std::string_view path, FileAccess access);
// The same for an entry of an open folder. With `seen` (its status as a listing saw it), only
// that very file opens (same device and inode, never through a link); anything put in its place
// since fails with ERROR_FILE_NOT_FOUND.
[[nodiscard]] FileHandle OpenExistingFileIn(const FolderHandle& folder, std::string_view name,
                                            FileAccess access, const struct stat* seen);

}  // namespace corvane
