// CorvaneErase's command-line front end, until the desktop host exists: opens the machine (the
// Wine prefix) and tells what it found. A missing or broken prefix is reported on stderr and in
// the trace log with exit status 2, and nothing is created in or for the prefix; a prefix another
// user owns is refused the same way with status 3.

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/erase_app.h"
#include "app/registry_trace.h"
#include "app/trace_log.h"
#include "host/gtk/gtk_host.h"
#include "platform/machine.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "platform/session_end.h"
#include "settings/language_settings.h"
#include "ui/erase_main_dlg.h"
#include "ui/message_file.h"

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
constexpr int kExitRefused = 3;

constexpr char kUsage[] =
    "Usage: CorvaneErase [options] [switch]\n"
    "Finds and erases the traces everyday use leaves in a Wine prefix.\n"
    "\n"
    "Options:\n"
    "  --machine DIR           the prefix to clean (default: $WINEPREFIX, else ~/.wine)\n"
    "  --report                print the prefix's user, profile folder and drives, then exit\n"
    "  --allow-foreign-owner   as root, clean a prefix another user owns\n"
    "  --desktop               also show start-up errors in a message box (the menu entry\n"
    "                          passes it: nobody reads its terminal)\n"
    "  --help                  print this text and exit\n"
    "\n"
    "Switches (one instance runs per user; a second launch hands its switch over):\n"
    "  /remindme               a scheduled start: hidden or not at all, as the schedule says\n"
    "  /emergencyclose         end the running instance\n"
    "\n"
    "corvane-cli runs the same cleaners from scripts and terminals (corvane-cli --help).\n";

// A start from the desktop menu has no terminal to read: the reason it ends goes to a message
// box too, in the language of the user's locale (the prefix's choice is not readable then).
void ShowStartError(std::string_view messageFile, const std::string& prefix,
                    const std::string& problem) {
  const std::unique_ptr<corvane::GtkHost> host = corvane::GtkHost::Create(corvane::ProgramFolder());
  if (!host) return;
  std::string language = corvane::LocaleLanguage(corvane::InstalledLanguageFolders());
  if (language.empty()) language = "English";
  static_cast<void>(corvane::ShowMessageFile(*host, nullptr, language, messageFile,
                                             corvane::MB_OK | corvane::MB_ICONERROR,
                                             {{"#prefix#", prefix}, {"#problem#", problem}}));
}

void Report(const corvane::Machine& machine) {
  std::printf("Machine: %s\n", machine.Prefix().c_str());
  std::printf("User: %s\n", machine.UserName().c_str());
  std::printf("Profile folder: %s\n", machine.ProfileFolder().c_str());
  for (const corvane::Drive& drive : machine.Drives()) {
    std::printf("Drive %c: %s %s\n", drive.letter, DriveTypeName(drive.type),
                drive.root.empty() ? "(no folder)" : drive.root.c_str());
  }
}

int RunDesktop(const corvane::Machine& machine, const corvane::CommandLine& commandLine) {
  corvane::RegistryStore registry(machine.Prefix());
  corvane::RegistryStore::SetCurrent(&registry);
  corvane::TraceRegistryProblems(registry);
  corvane::TraceFileProblems();

  const std::unique_ptr<corvane::GtkHost> host = corvane::GtkHost::Create(corvane::ProgramFolder());
  if (!host) {
    std::fputs("CorvaneErase: no display to show the window on (X11 or Wayland).\n", stderr);
    return kExitBadMachine;
  }
  std::atomic<corvane::HWND> mainWindow = 0;
  corvane::SessionEndWatcher sessionEnd([&] {
    if (!corvane::PostMessageW(mainWindow, corvane::WM_QUERYENDSESSION, 0, 0)) host->Loop().Quit(0);
  });
  corvane::CEraseApp app(*host, commandLine, corvane::ReadScheduleMode, [&] {
    auto dialog =
        std::make_unique<corvane::CEraseMainDlg>(*host, commandLine, corvane::ReadScheduleMode);
    mainWindow = dialog->Handle();
    return dialog;
  });
  return app.Run();
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path prefix = corvane::Machine::DefaultPrefix();
  bool reportOnly = false;
  bool desktop = false;
  corvane::ForeignOwner foreignOwner = corvane::ForeignOwner::Refuse;
  // The application sees its own command line without the options that pick the machine.
  std::vector<const char*> appArguments = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--machine" && i + 1 < argc) {
      prefix = argv[++i];
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argument == "--desktop") {
      desktop = true;
    } else if (argument == "--report") {
      reportOnly = true;
    } else if (argument == "--allow-foreign-owner") {
      foreignOwner = corvane::ForeignOwner::AllowForRoot;
    } else {
      appArguments.push_back(argv[i]);
    }
  }

  // The program works from its own folder (data, trace log); a relative prefix was meant from
  // where we were started.
  std::error_code ignored;
  prefix = std::filesystem::absolute(prefix, ignored);

  // A second launch only hands over to the running instance; one naming another prefix is told
  // that the window it sees works on the other one.
  const corvane::CommandLine commandLine =
      corvane::CommandLine::FromArgv(static_cast<int>(appArguments.size()), appArguments.data());
  if (!reportOnly && corvane::HandOverIfRunning(commandLine)) {
    const std::string running = corvane::RunningInstancePrefix();
    if (!commandLine.IsEmergencyClose() && !running.empty() &&
        std::filesystem::path(running).lexically_normal() != prefix.lexically_normal()) {
      const std::string message = "CorvaneErase is already running on " + running +
                                  "; its window was brought to the front. Close it to clean " +
                                  prefix.string() + ".\n";
      std::fputs(message.c_str(), stderr);
      if (desktop) ShowStartError("Another_prefix_running.html", prefix.string(), running);
    }
    return 1;
  }
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
    if (desktop) ShowStartError("Machine_not_opened.html", prefix.string(), error);
    return kExitBadMachine;
  }
  if (const std::string problem = machine->OwnerProblem(foreignOwner); !problem.empty()) {
    std::string message = "CorvaneErase: " + problem + ".\n";
    if (::geteuid() == 0) message += "As root, --allow-foreign-owner lets you go on.\n";
    std::fputs(message.c_str(), stderr);
    corvane::HalvikTrace(message);
    return kExitRefused;
  }
  corvane::Machine::SetCurrent(machine.get());
  int exitCode = 0;
  if (reportOnly) {
    Report(*machine);
  } else {
    exitCode = RunDesktop(*machine, commandLine);
  }
  corvane::Machine::SetCurrent(nullptr);
  return exitCode;
}
