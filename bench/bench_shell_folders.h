#pragma once
// What the cleaner benchmarks share beyond the machine: the user's shell folders pointed at
// folders of drive C, with a registry store of the prefix current while they live, and a plug-in
// owner without a window.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "bench/bench_machine.h"
#include "engine/plugin_owner.h"
#include "platform/registry_store.h"

namespace corvane::bench {

// Writes the user hive with the shell folders, each named value ("Cache") naming a folder of
// drive C ("cache" for C:\cache), which is made; the prefix's registry store is current until the
// object goes.
class BenchShellFolders {
 public:
  BenchShellFolders(const BenchMachine& machine,
                    std::initializer_list<std::pair<const char*, const char*>> folders) {
    const std::filesystem::path prefix = machine.DriveC("x").parent_path().parent_path();
    std::ofstream hive(prefix / "user.reg", std::ios::trunc);
    hive << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-"
            "1000\n\n#arch=win64\n\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n";
    for (const auto& [name, folder] : folders) {
      hive << '"' << name << "\"=\"C:\\\\" << folder << "\"\n";
      std::filesystem::create_directories(machine.DriveC(folder));
    }
    hive.close();
    registry_ = std::make_unique<RegistryStore>(prefix);
    RegistryStore::SetCurrent(registry_.get());
  }
  ~BenchShellFolders() { RegistryStore::SetCurrent(nullptr); }
  BenchShellFolders(const BenchShellFolders&) = delete;
  BenchShellFolders& operator=(const BenchShellFolders&) = delete;

 private:
  std::unique_ptr<RegistryStore> registry_;
};

// Plug-ins report to no window and load English pages.
class BenchOwner final : public PluginOwner {
 public:
  [[nodiscard]] HWND MainWindow() const override { return 0; }
  [[nodiscard]] std::string LanguageFolder() const override { return "English"; }
};

}  // namespace corvane::bench
