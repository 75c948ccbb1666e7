#pragma once
// A registry for tests: a temporary prefix with system.reg and user.reg made from the given key
// text, and a RegistryStore over it that is the current one while the object lives.

#include <memory>
#include <string_view>

#include "platform/registry_store.h"
#include "tests/support/temp_prefix.h"

namespace corvane::test {

class TempRegistry {
 public:
  explicit TempRegistry(std::string_view machineKeys = "", std::string_view userKeys = "");
  ~TempRegistry();

  [[nodiscard]] RegistryStore& Store() { return *store_; }
  [[nodiscard]] const TempPrefix& Prefix() const { return prefix_; }

 private:
  TempPrefix prefix_;
  std::unique_ptr<RegistryStore> store_;
};

}  // namespace corvane::test
