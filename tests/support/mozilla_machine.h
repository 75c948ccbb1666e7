#pragma once
// A TempMachine whose user has application data folders in the registry, with helpers that lay
// out the Mozilla family's profiles on it, and the progress reporter the back-end's operations
// take (its cancel event is the test's to set).

#include <memory>
#include <string>
#include <string_view>

#include "engine/progress_reporter.h"
#include "platform/event.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane::test {

class MozillaMachine {
 public:
  // `extraUserHive`: more keys of user.reg (for example Netscape 4's).
  explicit MozillaMachine(std::string_view extraUserHive = "");

  [[nodiscard]] TempMachine& Machine() { return machine_; }

  // Machine paths of profile folders, ending in "\"; the folders are made.
  std::string SuiteProfile(std::string_view owner = "default", std::string_view folder = "x1.slt");
  std::string FirefoxProfile(std::string_view name = "ab12.default");
  std::string FirefoxCacheProfile(std::string_view name = "ab12.default");
  // Netscape 4's profile for `user` below C:\Program Files\Netscape (the registry values are
  // in the hive given at construction: see NetscapeKeys).
  std::string NetscapeProfile(std::string_view user = "ann");

  // Writes a file into a profile; answers its host path.
  std::filesystem::path Write(const std::string& profile, std::string_view name,
                              std::string_view content);
  [[nodiscard]] std::filesystem::path Host(const std::string& profile, std::string_view name = "");

  [[nodiscard]] ProgressReporter& Progress() { return *progress_; }
  void Cancel() { cancel_.Set(); }

 private:
  TempMachine machine_;
  TestOwner owner_;
  Event cancel_;
  std::unique_ptr<ProgressReporter> progress_;
};

// user.reg keys naming Netscape 4 installed in `installDirectory` for `user`.
[[nodiscard]] std::string NetscapeKeys(
    std::string_view installDirectory = "C:\\\\Program Files\\\\Netscape\\\\Program",
    std::string_view user = "ann");

}  // namespace corvane::test
