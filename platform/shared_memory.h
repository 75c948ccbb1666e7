#pragma once
// A named block of memory shared with other processes of this user (CreateFileMappingW backed by
// the page file, then MapViewOfFile). It is a file in the private named-object folder, mapped
// shared; the folder is the user's runtime folder, which lives in memory. Every user holds a
// shared lock on the file, so the last one to close it can tell and removes it, as the system
// drops a mapping whose last handle is closed.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

class SharedMemoryBlock {
 public:
  SharedMemoryBlock() = default;
  ~SharedMemoryBlock() { Close(); }
  SharedMemoryBlock(const SharedMemoryBlock&) = delete;
  SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

  // Creates the block, or opens it when it exists, and maps `size` bytes (zero-filled when new).
  // false (last error set) on failure.
  [[nodiscard]] bool Create(std::string_view name, std::size_t size);
  // Unmaps and closes; the block itself stays for others until the last user closes it, who
  // removes it.
  void Close();

  [[nodiscard]] void* Data() const { return data_; }
  [[nodiscard]] std::size_t Size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
  int fd_ = -1;  // open while mapped, with its shared lock
  std::string path_;
};

}  // namespace corvane
