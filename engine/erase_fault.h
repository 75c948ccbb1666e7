#pragma once
// A seam for tests of the erase routines: faults that the disk would rarely give on demand (a
// file that cannot be deleted, a write that fails half way, a file held open by another program).
// Nothing outside tests installs one, and the routines then behave exactly as without the seam.

#include <functional>
#include <string_view>

#include "platform/last_error.h"

namespace corvane {

// The steps of the file-removal toolkit that can be made to fail.
enum class EraseStep {
  OpenForOverwrite,  // opening a file to overwrite it
  Write,             // one write of an overwrite
  Sync,              // syncing an overwrite to the disk
  Delete,            // deleting a file
  ListFolder,        // listing a folder of a set or tree (scans too)
  RemoveFolder,      // removing a folder of a tree
  Replace,           // putting a rewritten copy of a file in its place
};

// Asked before each step with the path as the caller named it; a non-zero Win32 error makes the
// step fail with that last error instead of running.
using EraseFault = std::function<DWORD(EraseStep step, std::string_view path)>;

// Installs a fault for the lifetime of the object (one at a time, process-wide), then removes
// it. Install it before the routines run: workers read it without a lock.
class ScopedEraseFault {
 public:
  explicit ScopedEraseFault(EraseFault fault);
  ~ScopedEraseFault();
  ScopedEraseFault(const ScopedEraseFault&) = delete;
  ScopedEraseFault& operator=(const ScopedEraseFault&) = delete;

 private:
  EraseFault fault_;
};

// The error the installed fault gives for this step, or ERROR_SUCCESS; when non-zero it is also
// the last error.
[[nodiscard]] DWORD InjectedEraseFault(EraseStep step, std::string_view path);

}  // namespace corvane
