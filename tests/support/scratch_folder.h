#pragma once
// A temporary folder of a test's own, removed with everything in it when the test ends.

#include <filesystem>
#include <string>
#include <string_view>

namespace corvane::test {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // Path() / relative, as a string.
  [[nodiscard]] std::string operator/(std::string_view relative) const;

  // Writes a file below the folder (creating its parent folders) and returns its path.
  std::string Write(std::string_view relative, std::string_view content) const;
  // The whole content of a file; empty when it cannot be read.
  [[nodiscard]] static std::string Read(const std::string& path);

 private:
  std::filesystem::path path_;
};

}  // namespace corvane::test
