#include "engine/erase_fault.h"

#include <atomic>

namespace corvane {

namespace {

std::atomic<const EraseFault*> g_fault{nullptr};

}  // namespace

ScopedEraseFault::ScopedEraseFault(EraseFault fault) : fault_(std::move(fault)) {
  g_fault.store(&fault_);
}

ScopedEraseFault::~ScopedEraseFault() {
  g_fault.store(nullptr);
}

DWORD InjectedEraseFault(EraseStep step, std::string_view path) {
  const EraseFault* fault = g_fault.load(std::memory_order_acquire);
  if (fault == nullptr || !*fault) return ERROR_SUCCESS;
  const DWORD error = (*fault)(step, path);
  if (error != ERROR_SUCCESS) SetLastError(error);
  return error;
}

}  // namespace corvane
