#pragma once
// A prefix made by Wine itself (wineboot) in a temporary folder, with a throw-away HOME (so that
// Wine's links from the profile lead into that folder, and its Trash lies there too), for tests
// that check what Wine wrote. Its wineserver is stopped when it goes. Tests skip themselves when
// Wine is not installed or the prefix cannot be made: Ready() says which.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace corvane::test {

class WinePrefix {
 public:
  WinePrefix();
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  // False when wine is missing or wineboot failed; Why() says which.
  [[nodiscard]] bool Ready() const { return ready_; }
  [[nodiscard]] const std::string& Why() const { return why_; }
  [[nodiscard]] const std::filesystem::path& Prefix() const { return prefix_; }
  [[nodiscard]] const std::filesystem::path& Home() const { return home_; }
  // The freedesktop Trash Wine's shell uses for this HOME.
  [[nodiscard]] std::filesystem::path Trash() const;

  // Runs a program (argument vector, no shell) in the prefix's environment and waits for it and
  // then for the wineserver, so that the registry files hold what it did. Its exit status, or -1.
  int Run(std::vector<std::string> arguments) const;

 private:
  TempDir dir_{"corvane-wine"};
  std::filesystem::path prefix_;
  std::filesystem::path home_;
  std::vector<std::string> environment_;
  bool ready_ = false;
  std::string why_;
};

}  // namespace corvane::test
