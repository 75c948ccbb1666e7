#include "tests/support/temp_registry.h"

#include <string>

namespace corvane::test {

TempRegistry::TempRegistry(std::string_view machineKeys, std::string_view userKeys) {
  prefix_.Write("system.reg", HiveText("REGISTRY\\Machine", machineKeys));
  prefix_.Write("user.reg", HiveText("REGISTRY\\User\\" + std::string(kTestUserSid), userKeys));
  store_ = std::make_unique<RegistryStore>(prefix_.Path());
  RegistryStore::SetCurrent(store_.get());
}

TempRegistry::~TempRegistry() {
  RegistryStore::SetCurrent(nullptr);
}

}  // namespace corvane::test
