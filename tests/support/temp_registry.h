#pragma once
// A registry for tests: a scratch prefix folder with system.reg and user.reg made from the given
// key text, and a RegistryStore over it that is the current one while the object lives.

#include <memory>
#include <string>
#include <string_view>

#include "platform/registry_store.h"
#include "tests/support/scratch_folder.h"

namespace corvane::test {

inline constexpr std::string_view kTestUserSid = "S-1-5-21-0-0-0-1000";

// A hive file's text: Wine's header for `branch` ("REGISTRY\\Machine") and then `keys`.
[[nodiscard]] std::string HiveText(std::string_view branch, std::string_view keys);

class TempRegistry {
 public:
  explicit TempRegistry(std::string_view machineKeys = "", std::string_view userKeys = "");
  ~TempRegistry();

  [[nodiscard]] RegistryStore& Store() { return *store_; }
  [[nodiscard]] const ScratchFolder& Prefix() const { return prefix_; }

 private:
  ScratchFolder prefix_;
  std::unique_ptr<RegistryStore> store_;
};

}  // namespace corvane::test
