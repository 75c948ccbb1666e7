#pragma once
// Which addresses a view may load: only file: pages below the program folder. Everything else
// (other schemes, files elsewhere, ".." escapes, links leading out through a symlink) is refused.

#include <filesystem>
#include <string>

namespace corvane {

class PageUrlPolicy {
 public:
  explicit PageUrlPolicy(const std::filesystem::path& programFolder);

  [[nodiscard]] bool Allows(const std::string& url) const;
  [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }

 private:
  std::filesystem::path folder_;  // canonical
};

}  // namespace corvane
