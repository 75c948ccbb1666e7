#include "app/erase_app.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <thread>

#include "app/registry_key.h"
#include "host/headless/headless_host.h"
#include "platform/named_lock.h"
#include "platform/program_folder.h"
#include "platform/remote_window.h"
#include "platform/shared_memory.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "ui/erase_main_dlg.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

// One instance of the program on a headless host, started with a command line and a schedule.
struct Instance {
  Instance(std::vector<const char*> argv, std::string schedule)
      : commandLine(CommandLine::FromArgv(static_cast<int>(argv.size()), argv.data())),
        app(
            host, commandLine, [schedule] { return schedule; },
            [this, schedule]() -> std::unique_ptr<CEraseMainWindow> {
              auto dialog = std::make_unique<CEraseMainDlg>(host, commandLine,
                                                            [schedule] { return schedule; });
              mainDialog = dialog.get();
              return dialog;
            }) {}

  // What the main window looks like, read on its own loop thread.
  struct Seen {
    bool exists = false;
    bool visible = false;
    int raised = 0;
    std::string title;
  };
  Seen Look() {
    std::promise<Seen> seen;
    host.Loop().Post([&] {
      Seen now;
      if (mainDialog != nullptr && mainDialog->Window() != nullptr) {
        auto& window = static_cast<HeadlessWindow&>(*mainDialog->Window());
        now = {true, window.IsVisible(), window.RaiseCount(), window.Title()};
      }
      seen.set_value(now);
    });
    return seen.get_future().get();
  }

  HeadlessHost host;
  CommandLine commandLine;
  CEraseMainDlg* mainDialog = nullptr;
  CEraseApp app;
};

class EraseAppTest : public ::testing::Test {
 protected:
  EraseAppTest() {
    folder_.Write("html/Common/layout.html",
                  R"(<div id="DlgBody" width="900" height="640"><div id="Layout"></div></div>)");
    SetProgramFolder(folder_.Path().string());
  }
  ~EraseAppTest() override { SetProgramFolder(""); }

  // Runs a first instance on a thread of its own until it is published; answers its loop result.
  std::future<int> StartFirst(Instance& first) {
    auto result = std::async(std::launch::async, [&first] { return first.app.Run(); });
    const auto deadline = std::chrono::steady_clock::now() + 1min;
    while (!RemoteWindow::Find(kApplicationTitle) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(2ms);
    }
    return result;
  }

  ScopedRuntimeFolder runtime_;
  test::ScratchFolder folder_;
};

TEST_F(EraseAppTest, APlainStartShowsTheTitledWindowAndPublishesItsHandle) {
  Instance first({"CorvaneErase"}, "manually");
  auto running = StartFirst(first);
  const auto seen = first.Look();
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.title, "Corvane Erase");
  SharedMemoryBlock block;
  ASSERT_TRUE(block.Create(kSharedHandleBlockName, 1024));
  std::uint32_t handle = 0;
  std::memcpy(&handle, block.Data(), sizeof handle);
  EXPECT_EQ(handle, first.mainDialog->Handle());
  first.host.Loop().Quit(5);
  EXPECT_EQ(running.get(), 1);  // the process always reports 1
}

TEST_F(EraseAppTest, ASecondLaunchShowsAndRaisesTheFirstAndEnds) {
  Instance first({"CorvaneErase", "/remindme"}, "dialy");
  auto running = StartFirst(first);
  EXPECT_FALSE(first.Look().visible);  // a scheduled start stays in the background

  Instance second({"CorvaneErase"}, "dialy");
  EXPECT_EQ(second.app.Run(), 1);
  EXPECT_EQ(second.mainDialog, nullptr);  // no window of its own
  const auto seen = first.Look();
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.raised, 1);
  first.host.Loop().Quit(0);
  running.get();
}

TEST_F(EraseAppTest, EmergencyCloseEndsTheFirstInstanceButStartsNormallyWhenAlone) {
  Instance alone({"CorvaneErase", "/emergencyclose"}, "manually");
  auto first = StartFirst(alone);
  EXPECT_TRUE(alone.Look().visible);

  Instance second({"CorvaneErase", "/emergencyclose"}, "manually");
  EXPECT_EQ(second.app.Run(), 1);
  EXPECT_EQ(first.wait_for(1min), std::future_status::ready);
  EXPECT_EQ(first.get(), 1);
}

TEST_F(EraseAppTest, ReminderStartsFollowTheSchedule) {
  {
    Instance manual({"CorvaneErase", "/remindme"}, "manually");
    EXPECT_EQ(manual.app.Run(), 1);  // ends at once, no window ever made
    EXPECT_EQ(manual.mainDialog->Window(), nullptr);
  }
  for (const char* mode : {"dialy", "weekly", "monthly", "bootup"}) {
    Instance reminded({"/usr/bin/CorvaneErase", "/remindme"}, mode);
    auto running = StartFirst(reminded);
    const auto seen = reminded.Look();
    EXPECT_TRUE(seen.exists) << mode;
    EXPECT_EQ(seen.visible, std::string(mode) == "bootup") << mode;
    reminded.host.Loop().Quit(0);
    running.get();
  }
  Instance otherCase({"CorvaneErase", "/REMINDME"}, "manually");  // not the switch
  auto running = StartFirst(otherCase);
  EXPECT_TRUE(otherCase.Look().visible);
  otherCase.host.Loop().Quit(0);
  running.get();
}

TEST_F(EraseAppTest, ALockLeftByAKilledInstanceDoesNotBlockANewOne) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    NamedLock lock;
    const char ok = lock.Open(kSingleInstanceMutexName) && lock.TryLock() ? 1 : 0;
    (void)!write(ready[1], &ok, 1);
    pause();
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 1);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);

  Instance fresh({"CorvaneErase"}, "manually");
  auto running = StartFirst(fresh);
  EXPECT_TRUE(fresh.Look().visible);
  fresh.host.Loop().Quit(0);
  running.get();
  close(ready[0]);
  close(ready[1]);
}

TEST_F(EraseAppTest, ClosingQuitsOrHidesByScheduleAndSessionEndQuits) {
  Instance manual({"CorvaneErase"}, "manually");
  auto manualRun = StartFirst(manual);
  manual.host.Loop().Post([&] { SendMessageW(manual.mainDialog->Handle(), WM_CLOSE, 0, 0); });
  EXPECT_EQ(manualRun.get(), 1);

  Instance daily({"CorvaneErase"}, "weekly");
  auto dailyRun = StartFirst(daily);
  daily.host.Loop().Post([&] { SendMessageW(daily.mainDialog->Handle(), WM_CLOSE, 0, 0); });
  const auto seen = daily.Look();
  EXPECT_TRUE(seen.exists);
  EXPECT_FALSE(seen.visible);  // hidden, still resident
  daily.host.Loop().Post(
      [&] { SendMessageW(daily.mainDialog->Handle(), WM_QUERYENDSESSION, 0, 0); });
  EXPECT_EQ(dailyRun.wait_for(1min), std::future_status::ready);
}

TEST_F(EraseAppTest, SettingsReachTheDiskByTheEndOfTheEventThatChangedThem) {
  TempMachine machine;
  const auto onDisk = [&] {
    return test::ScratchFolder::Read(machine.HivePath(TempMachine::Hive::System));
  };
  Instance first({"CorvaneErase"}, "manually");
  auto running = StartFirst(first);
  std::promise<std::string> afterEvent;
  first.host.Loop().Post([&] {
    RegistryDword choice(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", "StatisticsEnabled", 1);
    choice.value = 0;
  });
  first.host.Loop().Post([&] { afterEvent.set_value(onDisk()); });
  EXPECT_NE(afterEvent.get_future().get().find("\"StatisticsEnabled\"=dword:00000000"),
            std::string::npos);
  first.host.Loop().Quit(0);
  running.get();
}

TEST(ScheduleModeTest, ReadFromTheProgramKeyWithoutWritingAnything) {
  {
    TempMachine machine;
    EXPECT_EQ(ReadScheduleMode(), "manually");
    EXPECT_FALSE(machine.Registry().HasUnsavedChanges());
  }
  TempMachineOptions options;
  options.systemHive = "\n[Software\\\\Corvane\\\\Erase] 0\n\"Run\"=\"dialy\"\n";
  TempMachine machine(options);
  EXPECT_EQ(ReadScheduleMode(), "dialy");
}

}  // namespace
}  // namespace corvane
