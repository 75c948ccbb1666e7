#include "app/erase_app.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/registry_key.h"
#include "platform/machine.h"
#include "platform/named_lock.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "platform/remote_window.h"

namespace corvane {

std::string ReadScheduleMode() {
  RegistryString mode(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", "Run", kScheduleManually);
  mode.SetReadOnly(true);
  return mode.value;
}

CommandLine CommandLine::FromArgv(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line.full += ' ';
    line.full += argv[i];
    if (i > 1) line.arguments += ' ';
    if (i > 0) line.arguments += argv[i];
  }
  return line;
}

bool CommandLine::IsReminder() const {
  return full.find("/remindme") != std::string::npos;
}

bool CommandLine::IsEmergencyClose() const {
  return arguments == "/emergencyclose";
}

CEraseApp::CEraseApp(Host& host, CommandLine commandLine, ScheduleModeReader scheduleMode,
                     MainWindowFactory makeMainWindow)
    : host_(host),
      commandLine_(std::move(commandLine)),
      scheduleMode_(std::move(scheduleMode)),
      makeMainWindow_(std::move(makeMainWindow)) {}

namespace {

// Another instance holds the single-instance lock: show it, or end it.
void HandOver(const CommandLine& commandLine, UINT handshake) {
  const std::optional<RemoteWindow> running = RemoteWindow::Find(kApplicationTitle);
  if (!running || running->SendMessage(handshake, 0, 0) != kHandshakeReply) return;
  if (commandLine.IsEmergencyClose()) {
    static_cast<void>(running->SendMessage(WM_APP_EMERGENCY_CLOSE, 0, 0));
    return;
  }
  running->Show();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  running->Raise();
}

// Beside the lock file: the prefix of the instance holding it, for a second launch to compare.
std::string PrefixNotePath(const NamedLock& lock) {
  const std::string path = lock.Path();
  return path.empty() ? path : path + ".prefix";
}

}  // namespace

std::string RunningInstancePrefix() {
  NamedLock instanceLock;
  if (!instanceLock.Open(kSingleInstanceMutexName) || instanceLock.TryLock()) return {};
  std::ifstream note(PrefixNotePath(instanceLock));
  return {std::istreambuf_iterator<char>(note), {}};
}

bool HandOverIfRunning(const CommandLine& commandLine) {
  NamedLock instanceLock;
  if (!instanceLock.Open(kSingleInstanceMutexName) || instanceLock.TryLock()) return false;
  HandOver(commandLine, RegisterWindowMessageW(kHandshakeMessageName));
  return true;
}

int CEraseApp::Run() {
  const UINT handshake = RegisterWindowMessageW(kHandshakeMessageName);

  // The kernel drops the lock when a process dies, so a crashed instance never blocks a new one.
  NamedLock instanceLock;
  if (instanceLock.Open(kSingleInstanceMutexName) && !instanceLock.TryLock()) {
    HandOver(commandLine_, handshake);
    return 1;
  }

  if (const Machine* machine = Machine::Current(); machine != nullptr) {
    std::ofstream(PrefixNotePath(instanceLock), std::ios::trunc) << machine->Prefix().string();
  }

  // Every relative path of the program (html, files, CustomPlugins, the trace log) rests on this.
  if (const std::string folder = ProgramFolder(); !folder.empty()) {
    static_cast<void>(chdir(folder.c_str()));
  }

  // Every setting the user changes is on disk by the end of the event that changed it.
  const auto flushRegistry = [] {
    if (RegistryStore* registry = RegistryStore::Current()) static_cast<void>(registry->Flush());
  };
  const EventLoop::HookId flushHook = host_.Loop().AddAfterEventHook(flushRegistry);
  std::unique_ptr<CEraseMainWindow> mainWindow = makeMainWindow_();
  if (!(scheduleMode_() == kScheduleManually && commandLine_.IsReminder())) {
    mainWindow->SetHandshakeMessage(handshake);
    mainWindow->Create();
    host_.Loop().Run();
  }
  mainWindow.reset();
  host_.Loop().RemoveAfterEventHook(flushHook);
  flushRegistry();
  return 1;
}

}  // namespace corvane
