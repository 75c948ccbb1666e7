#include "tests/support/modern_machine.h"

namespace corvane::test {

namespace fs = std::filesystem;

void SelectDomain(BrowserResults& results, const std::string& key) {
  for (auto& [browser, result] : results) {
    if (const auto found = result.domains.find(key); found != result.domains.end()) {
      found->second.status = DomainStatus::Selected;
    }
  }
}

fs::path MakeFirefoxProfile(TempMachine& machine, std::string_view folder) {
  const std::string firefox = std::string(kRoaming) + "Mozilla\\Firefox\\";
  const fs::path profile = machine.MakeFolder(firefox + "Profiles\\" + std::string(folder));
  machine.WriteFile(firefox + "profiles.ini",
                    "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\n"
                    "IsRelative=1\nPath=Profiles/" +
                        std::string(folder) + "\nDefault=1\n");
  return profile;
}

fs::path MakeChromeProfile(TempMachine& machine) {
  return machine.MakeFolder(std::string(kLocal) + "Google\\Chrome\\User Data\\Default");
}

}  // namespace corvane::test
