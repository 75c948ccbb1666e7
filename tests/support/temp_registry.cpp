#include "tests/support/temp_registry.h"

namespace corvane::test {

std::string HiveText(std::string_view branch, std::string_view keys) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to ";
  for (char c : branch) {
    text += c;
    if (c == '\\') text += '\\';
  }
  text += "\n\n#arch=win64\n";
  text += keys;
  return text;
}

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
