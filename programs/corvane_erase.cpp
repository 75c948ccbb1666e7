// CorvaneErase's command-line front end, until the desktop host exists: opens the machine (the
// Wine prefix) and tells what it found. A missing or broken prefix is reported on stderr with
// exit status 2, and nothing is created.

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/machine.h"

namespace {

const char* DriveTypeName(corvane::DriveType type) {
  switch (type) {
    case corvane::DriveType::Removable:
      return "removable";
    case corvane::DriveType::Fixed:
      return "fixed";
    case corvane::DriveType::Remote:
      return "remote";
    case corvane::DriveType::CdRom:
      return "cd-rom";
    case corvane::DriveType::RamDisk:
      return "ram disk";
    case corvane::DriveType::NoRootDir:
    case corvane::DriveType::Unknown:
      break;
  }
  return "unknown";
}

constexpr int kExitBadMachine = 2;

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path prefix = corvane::Machine::DefaultPrefix();
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--machine" && i + 1 < argc) {
      prefix = argv[++i];
    } else {
      std::fprintf(stderr, "usage: CorvaneErase [--machine PREFIX]\n");
      return kExitBadMachine;
    }
  }

  std::string error;
  const std::unique_ptr<corvane::Machine> machine = corvane::Machine::Open(prefix, &error);
  if (!machine) {
    std::fprintf(stderr,
                 "CorvaneErase: cannot open the machine: %s.\n"
                 "Point WINEPREFIX or --machine at a Wine prefix.\n",
                 error.c_str());
    return kExitBadMachine;
  }
  corvane::Machine::SetCurrent(machine.get());

  std::printf("Machine: %s\n", machine->Prefix().c_str());
  std::printf("User: %s\n", machine->UserName().c_str());
  std::printf("Profile folder: %s\n", machine->ProfileFolder().c_str());
  for (const corvane::Drive& drive : machine->Drives()) {
    std::printf("Drive %c: %s %s\n", drive.letter, DriveTypeName(drive.type),
                drive.root.empty() ? "(no folder)" : drive.root.c_str());
  }
  corvane::Machine::SetCurrent(nullptr);
  return 0;
}
