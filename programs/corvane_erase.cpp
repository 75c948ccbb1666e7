// CorvaneErase's command-line front end, until the desktop host exists: opens the machine (the
// Wine prefix) and tells what it found. A missing or broken prefix is reported on stderr and in
// the trace log with exit status 2, and nothing is created in or for the prefix.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "app/trace_log.h"
#include "platform/machine.h"
#include "platform/program_folder.h"

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

  // The program works from its own folder (data, trace log); a relative prefix was meant from
  // where we were started.
  std::error_code ignored;
  prefix = std::filesystem::absolute(prefix, ignored);
  if (const std::string folder = corvane::ProgramFolder(); !folder.empty()) {
    if (::chdir(folder.c_str()) != 0) std::perror("CorvaneErase: program folder");
  }

  std::string error;
  const std::unique_ptr<corvane::Machine> machine = corvane::Machine::Open(prefix, &error);
  if (!machine) {
    const std::string message = "CorvaneErase: cannot open the machine: " + error + ".\n";
    std::fputs(message.c_str(), stderr);
    std::fputs("Point WINEPREFIX or --machine at a Wine prefix.\n", stderr);
    corvane::HalvikTrace(message);
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
