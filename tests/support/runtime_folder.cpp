#include "tests/support/runtime_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <stdexcept>

namespace corvane {

ScopedRuntimeFolder::ScopedRuntimeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-run-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  if (const char* old = std::getenv("XDG_RUNTIME_DIR")) previous_ = old;
  setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
}

ScopedRuntimeFolder::~ScopedRuntimeFolder() {
  if (previous_) {
    setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace corvane
