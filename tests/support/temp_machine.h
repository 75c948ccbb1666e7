#pragma once
// A Wine-layout prefix in a fresh temporary folder, removed afterwards, and the current machine
// while it lives. It holds minimal system.reg, user.reg and userdef.reg, dosdevices links (C: to
// drive_c, Z: to a temporary "host root", never the real /), drive_c/windows and a Wine 8 profile
// with its AppData folders. Its registry (a RegistryStore over the three hives) is the current one
// too; it reads the hive files on first use, so hive text can be added until then.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "platform/registry_store.h"
#include "tests/support/temp_dir.h"

namespace corvane {

// Wine links the profile's Desktop, Documents, Downloads, Music, Pictures and Videos to the Linux
// home; LinkedToHome builds that (the "home" is HostRoot()/home/<user>).
enum class ProfileFolders { Plain, LinkedToHome };

struct TempMachineOptions {
  std::string userName = "ann";
  ProfileFolders profileFolders = ProfileFolders::Plain;
  // Hive text written after each header, as it would follow in the file ("\n[Key] 0\n...").
  std::string systemHive;
  std::string userHive;
  std::string userDefaultHive;
};

class TempMachine {
 public:
  enum class Hive { System, User, UserDefault };

  explicit TempMachine(TempMachineOptions options = {});
  // Restores the machine that was current before.
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  [[nodiscard]] Machine& GetMachine() { return *machine_; }
  [[nodiscard]] RegistryStore& Registry() { return *registry_; }
  [[nodiscard]] const std::filesystem::path& Prefix() const { return prefix_; }
  // The folder drive Z: shows, standing in for the Linux root.
  [[nodiscard]] const std::filesystem::path& HostRoot() const { return hostRoot_; }
  [[nodiscard]] const std::string& UserName() const { return userName_; }

  // The host path of a machine path; throws when the machine cannot map it.
  [[nodiscard]] std::filesystem::path Host(std::string_view machinePath) const;
  // Writes a file at a machine path, making its folders; answers its host path.
  std::filesystem::path WriteFile(std::string_view machinePath, std::string_view content);
  // Makes a folder (and its parents) at a machine path; answers its host path.
  std::filesystem::path MakeFolder(std::string_view machinePath);

  [[nodiscard]] std::filesystem::path HivePath(Hive hive) const;
  // Appends text to a hive file; the registry sees it when nothing has read the hive yet.
  void AppendHive(Hive hive, std::string_view text);

 private:
  TempDir dir_;
  std::filesystem::path prefix_;
  std::filesystem::path hostRoot_;
  std::string userName_;
  std::unique_ptr<Machine> machine_;
  Machine* previous_ = nullptr;
  std::unique_ptr<RegistryStore> registry_;
  RegistryStore* previousRegistry_ = nullptr;
};

}  // namespace corvane
