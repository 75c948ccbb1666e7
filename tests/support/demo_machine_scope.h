#pragma once
// The demo machine as the current machine and registry for the length of a test, with the built
// program folder (its templates) as the program folder: the browser cleaners then find the traces
// both back-ends' demo code planted.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "demo/demo_machine.h"
#include "platform/machine.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "tests/support/scratch_folder.h"

namespace corvane::test {

class DemoMachineScope {
 public:
  DemoMachineScope() {
    std::string error;
    built_ = BuildDemoMachine(Prefix(), folder_.Path() / "program", error);
    EXPECT_TRUE(built_) << error;
    machine_ = Machine::Open(Prefix(), &error);
    EXPECT_TRUE(machine_) << error;
    previousMachine_ = Machine::Current();
    previousRegistry_ = RegistryStore::Current();
    Machine::SetCurrent(machine_.get());
    registry_.emplace(Prefix());
    RegistryStore::SetCurrent(&*registry_);
    SetProgramFolder(CORVANE_PROGRAM_DIR);
  }
  ~DemoMachineScope() {
    SetProgramFolder({});
    RegistryStore::SetCurrent(previousRegistry_);
    registry_.reset();
    Machine::SetCurrent(previousMachine_);
  }
  DemoMachineScope(const DemoMachineScope&) = delete;
  DemoMachineScope& operator=(const DemoMachineScope&) = delete;

  [[nodiscard]] bool Built() const { return built_ && machine_ != nullptr; }
  [[nodiscard]] std::filesystem::path Prefix() const { return folder_.Path() / "demo"; }
  [[nodiscard]] Machine& GetMachine() { return *machine_; }
  [[nodiscard]] RegistryStore& Registry() { return *registry_; }

 private:
  ScratchFolder folder_;
  bool built_ = false;
  std::unique_ptr<Machine> machine_;
  Machine* previousMachine_ = nullptr;
  RegistryStore* previousRegistry_ = nullptr;
  std::optional<RegistryStore> registry_;
};

}  // namespace corvane::test
