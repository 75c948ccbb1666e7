#include "tests/support/temp_machine.h"

#include <fstream>
#include <stdexcept>

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::string HiveText(std::string_view branch, std::string_view body) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to ";
  text += branch;
  text += "\n\n#arch=win64\n";
  text += body;
  return text;
}

}  // namespace

TempMachine::TempMachine(TempMachineOptions options)
    : dir_("corvane-machine"),
      prefix_(dir_.Path() / "prefix"),
      hostRoot_(dir_.Path() / "host"),
      userName_(std::move(options.userName)) {
  // The headers Wine 8 writes.
  WriteHostFile(HivePath(Hive::System), HiveText("REGISTRY\\\\Machine", options.systemHive));
  WriteHostFile(HivePath(Hive::User),
                HiveText("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", options.userHive));
  WriteHostFile(HivePath(Hive::UserDefault),
                HiveText("REGISTRY\\\\User\\\\.Default", options.userDefaultHive));

  fs::create_directories(prefix_ / "dosdevices");
  fs::create_directories(hostRoot_);
  fs::create_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
  fs::create_symlink(hostRoot_, prefix_ / "dosdevices" / "z:");

  // The folders Wine 8's wineboot makes.
  const fs::path driveC = prefix_ / "drive_c";
  for (const char* folder :
       {"windows/system32", "windows/syswow64", "windows/temp", "windows/Fonts", "Program Files",
        "Program Files (x86)", "ProgramData", "users/Public/Desktop", "users/Public/Documents",
        "users/Public/Music", "users/Public/Pictures", "users/Public/Videos"}) {
    fs::create_directories(driveC / folder);
  }
  const fs::path profile = driveC / "users" / userName_;
  for (const char* folder :
       {"AppData/Roaming/Microsoft/Windows/Recent", "AppData/Roaming/Microsoft/Windows/SendTo",
        "AppData/Roaming/Microsoft/Windows/Templates",
        "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp",
        "AppData/Local/Microsoft/Windows/INetCache", "AppData/Local/Microsoft/Windows/INetCookies",
        "AppData/Local/Microsoft/Windows/History", "AppData/LocalLow", "Contacts", "Favorites",
        "Links", "Saved Games", "Searches", "Temp"}) {
    fs::create_directories(profile / folder);
  }
  const fs::path home = hostRoot_ / "home" / userName_;
  for (const char* folder : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"}) {
    if (options.profileFolders == ProfileFolders::LinkedToHome) {
      fs::create_directories(home / folder);
      fs::create_directory_symlink(home / folder, profile / folder);
    } else {
      fs::create_directories(profile / folder);
    }
  }

  std::string error;
  machine_ = Machine::Open(prefix_, &error);
  if (!machine_) throw std::runtime_error("the temporary machine does not open: " + error);
  previous_ = Machine::Current();
  Machine::SetCurrent(machine_.get());
  registry_ = std::make_unique<RegistryStore>(prefix_);
  previousRegistry_ = RegistryStore::Current();
  RegistryStore::SetCurrent(registry_.get());
}

TempMachine::~TempMachine() {
  RegistryStore::SetCurrent(previousRegistry_);
  Machine::SetCurrent(previous_);
}

fs::path TempMachine::Host(std::string_view machinePath) const {
  std::optional<fs::path> host = machine_->ToHostPath(machinePath);
  if (!host) throw std::runtime_error("no host path for " + std::string(machinePath));
  return std::move(*host);
}

fs::path TempMachine::WriteFile(std::string_view machinePath, std::string_view content) {
  fs::path host = Host(machinePath);
  WriteHostFile(host, content);
  return host;
}

fs::path TempMachine::MakeFolder(std::string_view machinePath) {
  fs::path host = Host(machinePath);
  fs::create_directories(host);
  return host;
}

fs::path TempMachine::HivePath(Hive hive) const {
  switch (hive) {
    case Hive::System:
      return prefix_ / "system.reg";
    case Hive::User:
      return prefix_ / "user.reg";
    case Hive::UserDefault:
      break;
  }
  return prefix_ / "userdef.reg";
}

void TempMachine::AppendHive(Hive hive, std::string_view text) {
  std::ofstream out(HivePath(hive), std::ios::binary | std::ios::app);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot append to " + HivePath(hive).string());
}

}  // namespace corvane
