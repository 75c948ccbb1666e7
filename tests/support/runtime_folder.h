#pragma once
// Gives a test its own folder for named objects (locks, sockets, shared memory) by pointing
// XDG_RUNTIME_DIR at a fresh private folder, so tests running in parallel never meet.

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/scratch_folder.h"

namespace corvane {

class ScopedRuntimeFolder {
 public:
  ScopedRuntimeFolder();
  ~ScopedRuntimeFolder();
  ScopedRuntimeFolder(const ScopedRuntimeFolder&) = delete;
  ScopedRuntimeFolder& operator=(const ScopedRuntimeFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return folder_.Path(); }

 private:
  test::ScratchFolder folder_;
  std::optional<std::string> previous_;
};

}  // namespace corvane
