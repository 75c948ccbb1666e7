#include "demo/demo_cleaner_traces.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cleaners/games/win_games_plugin.h"
#include "cleaners/messaging/message_history_plugin.h"
#include "cleaners/recent/recent_documents_plugin.h"
#include "cleaners/recycle/recycle_bin_plugin.h"
#include "demo/demo_machine.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kPatience{60};

class CompletionWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_PLUGIN_SCANNED || message == WM_APP_PLUGIN_ERASED) {
      static_cast<void>(TakeRecord<PluginId>(wParam));
      results.push_back(static_cast<PluginResult>(lParam));
    }
    return 0;
  }
  std::vector<PluginResult> results;
};

// Each of the four cleaners finds its traces on the demo machine and erases them; the items of
// the demo's Trash that came from outside the machine stay.
TEST(DemoCleanerTracesTest, EachCleanerFindsAndErasesItsTraces) {
  test::ScratchFolder program;
  SetProgramFolder(program.Path().string());
  fs::copy(fs::path(CORVANE_SOURCE_DIR) / "data" / "html", program.Path() / "html",
           fs::copy_options::recursive);
  TempDir dir("corvane-demo");
  const fs::path folder = dir.Path() / "demo";
  std::string error;
  ASSERT_TRUE(BuildDemoMachine(folder, program.Path(), error)) << error;
  const fs::path trash = folder / kDemoDataFolder / "Trash";
  ASSERT_TRUE(fs::exists(trash / "files" / "photo.jpg"));

  std::unique_ptr<Machine> machine = Machine::Open(folder, &error);
  ASSERT_TRUE(machine) << error;
  Machine::SetCurrent(machine.get());
  RegistryStore registry(folder);
  RegistryStore::SetCurrent(&registry);
  {
    QueueEventLoop loop;
    CompletionWindow window{loop};
    test::TestOwner owner;
    owner.window = window.Handle();
    Event cancel;
    const auto run = [&](Plugin& plugin, bool scan) {
      scan ? plugin.StartScan(&cancel) : plugin.StartErase(&cancel);
      const std::size_t count = window.results.size() + 1;
      EXPECT_TRUE(loop.RunUntil([&] { return window.results.size() >= count; }, kPatience));
      return window.results.empty() ? PluginResult::Failed : window.results.back();
    };
    std::vector<PluginPtr> plugins;
    plugins.push_back(MakePlugin<RecentDocumentsPlugin>(owner));
    plugins.push_back(MakePlugin<MessageHistoryPlugin>(owner));
    plugins.push_back(MakePlugin<RecycleBinPlugin>(owner, trash));
    plugins.push_back(MakePlugin<WinGamesPlugin>(owner));
    // Recent: three shortcuts whose documents exist, two Office entries; histories: two of ICQ
    // Lite, two of MSN; bins: the Windows bin's file and two Trash items; games: six records.
    const std::vector<std::uint64_t> found = {5, 4, 3, 6};
    for (std::size_t i = 0; i < plugins.size(); ++i) {
      Plugin& plugin = *plugins[i];
      ASSERT_EQ(run(plugin, true), PluginResult::Finished) << plugin.GetId();
      EXPECT_EQ(plugin.TracksLeft().at("items"), found[i]) << plugin.GetId();
      ASSERT_EQ(run(plugin, false), PluginResult::Finished) << plugin.GetId();
      ASSERT_EQ(run(plugin, true), PluginResult::Finished) << plugin.GetId();
      EXPECT_EQ(plugin.TracksLeft().at("items"), 0u) << plugin.GetId();
    }
  }
  EXPECT_TRUE(fs::exists(trash / "files" / "photo.jpg"));
  EXPECT_TRUE(fs::exists(trash / "info" / "photo.jpg.trashinfo"));
  EXPECT_FALSE(fs::exists(trash / "files" / "old notes.txt"));
  EXPECT_FALSE(fs::exists(trash / "files" / "Old Project"));
  RegistryStore::SetCurrent(nullptr);
  Machine::SetCurrent(nullptr);
  SetProgramFolder("");
}

}  // namespace
}  // namespace corvane
