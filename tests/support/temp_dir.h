#pragma once
// A fresh folder under $TMPDIR (else /tmp) that removes itself and everything in it, links as
// links, when it goes out of scope. Each test gets its own, so tests can run in parallel.

#include <filesystem>
#include <string_view>

namespace corvane {

class TempDir {
 public:
  explicit TempDir(std::string_view namePrefix = "corvane");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes a file with the given bytes, creating its folders.
void WriteHostFile(const std::filesystem::path& path, std::string_view content);
// The whole content of a file; empty when it cannot be read.
[[nodiscard]] std::string ReadHostFile(const std::filesystem::path& path);

}  // namespace corvane
