#include "tests/support/runtime_folder.h"

#include <cstdlib>

namespace corvane {

ScopedRuntimeFolder::ScopedRuntimeFolder() {
  if (const char* old = std::getenv("XDG_RUNTIME_DIR")) previous_ = old;
  setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
}

ScopedRuntimeFolder::~ScopedRuntimeFolder() {
  if (previous_) {
    setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace corvane
