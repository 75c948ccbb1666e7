#include "engine/plugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/dom/document.h"
#include "platform/program_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

constexpr std::chrono::seconds kPatience{60};  // generous: the machine is shared

// Takes completion notices over as the main window will.
class CompletionWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    notices.push_back({message, *TakeRecord<PluginId>(wParam), lParam});
    return 0;
  }
  struct Notice {
    UINT message;
    PluginId id;
    LPARAM result;
  };
  std::vector<Notice> notices;
};

// Scans and erases by running what the test puts in `scan` and `erase`.
class TestPlugin : public Plugin {
 public:
  using Body = std::function<PluginResult(TestPlugin&)>;
  TestPlugin(PluginOwner& owner, PluginId id, std::uint32_t enabledDefault = kEnabledByDefault,
             std::string textFolder = {})
      : Plugin(std::move(id), "Test", owner, enabledDefault, std::move(textFolder)) {
    LoadTracksLeft();
  }
  ~TestPlugin() override { destroyedWhileWorking = working.load() != 0; }

  Body scan = [](TestPlugin&) { return PluginResult::Finished; };
  Body erase = scan;
  std::atomic<int> scans = 0, erases = 0, working = 0, overlapped = 0;
  std::thread::id workerThread;
  static inline bool destroyedWhileWorking = false;

  using Plugin::AdoptDefaultSelection;
  using Plugin::CancelEvent;
  using Plugin::MutableTracksLeft;
  using Plugin::PublishTracksLeft;
  using Plugin::RaiseRebootNeeded;
  using Plugin::StoredEnabledValue;

 protected:
  PluginResult ScanTracks() override { return Work(scan, scans); }
  PluginResult EraseTracks() override { return Work(erase, erases); }

 private:
  PluginResult Work(const Body& body, std::atomic<int>& count) {
    if (working++ != 0) ++overlapped;
    workerThread = std::this_thread::get_id();
    ++count;
    const PluginResult result = body(*this);
    --working;
    return result;
  }
};

TestPlugin& As(const PluginPtr& plugin) {
  return static_cast<TestPlugin&>(*plugin);
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(scratch_.Path().string());
    owner_.window = window_.Handle();
  }
  void TearDown() override { SetProgramFolder(""); }

  void WaitForNotices(std::size_t count) {
    ASSERT_TRUE(loop_.RunUntil([&] { return window_.notices.size() >= count; }, kPatience));
  }
  const CompletionWindow::Notice& Scan(Plugin& plugin) {
    plugin.StartScan(&cancel_);
    WaitForNotices(window_.notices.size() + 1);
    return window_.notices.back();
  }
  const CompletionWindow::Notice& Erase(Plugin& plugin) {
    plugin.StartErase(&cancel_);
    WaitForNotices(window_.notices.size() + 1);
    return window_.notices.back();
  }
  // The selection value in the registry; 99 when missing.
  static std::uint32_t StoredFlag(std::string_view id) {
    RegistryDword flag(HKEY_LOCAL_MACHINE, kPluginsKey, id, 99);
    flag.SetReadOnly(true);
    return flag.value;
  }
  static void StoreFlag(std::string_view id, std::uint32_t value) {
    RegistryDword flag(HKEY_LOCAL_MACHINE, kPluginsKey, id, 0);
    flag.value = value;
  }

  TempMachine machine_;
  test::ScratchFolder scratch_;
  QueueEventLoop loop_;
  CompletionWindow window_{loop_};
  test::TestOwner owner_;
  Event cancel_;
};

TEST_F(PluginTest, ScanRunsOnAWorkerAndTheNoticeCarriesIdAndResult) {
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Alpha");
  As(plugin).MutableTracksLeft()["items"] = 9;
  As(plugin).scan = [](TestPlugin& self) {
    EXPECT_EQ(self.GetScanState(), ScanState::NotScanned);  // a new scan starts from nothing
    EXPECT_TRUE(self.TracksLeft().empty());
    return PluginResult::Failed;
  };
  const auto& failed = Scan(*plugin);
  EXPECT_NE(As(plugin).workerThread, std::this_thread::get_id());
  EXPECT_EQ(failed.message, 1025u);
  EXPECT_EQ(failed.id, "Alpha");
  EXPECT_EQ(failed.result, 1);
  EXPECT_EQ(plugin->GetScanState(), ScanState::Scanned);  // a failed scan still counts

  As(plugin).scan = [](TestPlugin& self) {
    EXPECT_TRUE(self.CancelEvent()->IsSet());  // the run's own event
    return PluginResult::Cancelled;
  };
  cancel_.Set();
  EXPECT_EQ(Scan(*plugin).result, 3);
  EXPECT_EQ(plugin->GetScanState(), ScanState::NotScanned);

  owner_.window = 0;  // no window: nothing to post to
  EXPECT_FALSE(owner_.OnScanDone("Alpha", PluginResult::Finished));
}

TEST_F(PluginTest, EraseCountsOnlyAfterAScanAndAddsCurrentEvenWhenCancelled) {
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Beta");
  As(plugin).erase = [](TestPlugin& self) {
    EXPECT_FALSE(self.IsRebootNeeded());  // cleared before the erase runs
    self.RaiseRebootNeeded();
    self.Tally().AddDone({2, 300});
    self.Tally().AddFailed({1, 5});
    return PluginResult::Finished;
  };
  const auto& unscanned = Erase(*plugin);
  EXPECT_EQ(unscanned.message, 1026u);
  EXPECT_EQ(unscanned.id, "Beta");
  EXPECT_EQ(unscanned.result, 0);
  EXPECT_EQ(As(plugin).erases, 0);
  EXPECT_EQ(plugin->CopyCounters(), PluginCounters{});

  Scan(*plugin);
  Erase(*plugin);
  EXPECT_EQ(plugin->GetScanState(), ScanState::Erased);
  EXPECT_TRUE(plugin->IsRebootNeeded());
  const CounterPair first{2, 300};
  EXPECT_EQ(plugin->CopyCounters(), (PluginCounters{first, first, first, {}}));
  Erase(*plugin);  // erased is not scanned: nothing happens
  EXPECT_EQ(As(plugin).erases, 1);

  Scan(*plugin);
  plugin->ResetCurrent();
  As(plugin).erase = [](TestPlugin& self) {
    self.Tally().AddDone({1, 10});
    return PluginResult::Cancelled;
  };
  EXPECT_EQ(Erase(*plugin).result, 3);
  EXPECT_EQ(plugin->GetScanState(), ScanState::Scanned);
  EXPECT_FALSE(plugin->IsRebootNeeded());
  EXPECT_EQ(plugin->CopyCounters(), (PluginCounters{{3, 310}, {3, 310}, {1, 10}, {}}));
  plugin->ResetErasedToday();
  EXPECT_EQ(plugin->CopyCounters(), (PluginCounters{{3, 310}, {}, {1, 10}, {}}));
}

TEST_F(PluginTest, OneWorkerAtATimeAndDestructionWaitsForIt) {
  Event started, release;
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Delta");
  As(plugin).scan = [&](TestPlugin&) {
    started.Set();
    release.Wait();
    return PluginResult::Finished;
  };
  // Starting again while the first scan runs waits for it instead of running two at once.
  std::thread restarter([&] {
    plugin->StartScan(&cancel_);
    EXPECT_TRUE(started.Wait(kPatience));
    plugin->StartScan(&cancel_);
  });
  ASSERT_TRUE(started.Wait(kPatience));
  release.Set();
  restarter.join();
  WaitForNotices(2);
  EXPECT_EQ(As(plugin).scans, 2);
  EXPECT_EQ(As(plugin).overlapped, 0);

  started.Reset();
  release.Reset();
  plugin->StartScan(&cancel_);
  ASSERT_TRUE(started.Wait(kPatience));
  Event destroying;
  std::thread destroyer([&] {
    destroying.Set();
    plugin.reset();
  });
  ASSERT_TRUE(destroying.Wait(kPatience));
  release.Set();
  destroyer.join();
  EXPECT_FALSE(TestPlugin::destroyedWhileWorking);
  WaitForNotices(3);  // posted before the plug-in went away
  EXPECT_EQ(window_.notices[2].id, "Delta");
}

TEST_F(PluginTest, EnabledFlagDefaultsToOnAndIsWrittenBackAtOnce) {
  StoreFlag("Off", 0);
  StoreFlag("Odd", 7);
  {
    PluginPtr missing = MakePlugin<TestPlugin>(owner_, "Missing");
    PluginPtr off = MakePlugin<TestPlugin>(owner_, "Off");
    PluginPtr odd = MakePlugin<TestPlugin>(owner_, "Odd");
    EXPECT_TRUE(missing->IsEnabled());
    EXPECT_FALSE(off->IsEnabled());
    EXPECT_TRUE(odd->IsEnabled());
    EXPECT_EQ(StoredFlag("Missing"), 1u);
    EXPECT_EQ(StoredFlag("Off"), 0u);
    EXPECT_EQ(StoredFlag("Odd"), 1u);
    odd->SetEnabled(false);
    EXPECT_EQ(StoredFlag("Odd"), 0u);
    StoreFlag("Missing", 0);  // changed behind its back: destruction writes the choice again
  }
  EXPECT_EQ(StoredFlag("Missing"), 1u);
  EXPECT_EQ(StoredFlag("Odd"), 0u);

  // A default meaning "not chosen yet" stays stored until a choice is made.
  PluginPtr custom = MakePlugin<TestPlugin>(owner_, "CuPl_a.pld", 2);
  EXPECT_TRUE(custom->IsEnabled());
  EXPECT_EQ(As(custom).StoredEnabledValue(), 2u);
  EXPECT_EQ(StoredFlag("CuPl_a.pld"), 2u);
}

TEST_F(PluginTest, TracksLeftAreEightByteNoneValuesAndOtherSizesAreSkipped) {
  const std::string keyPath = std::string(kTracksLeftKey) + "\\Epsilon";
  {
    PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Epsilon");
    As(plugin).MutableTracksLeft() = {{"items", 0x0102030405060708ull}, {"size", 0}};
    EXPECT_TRUE(plugin->SaveTracksLeft());
  }
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, keyPath, &key), ERROR_SUCCESS);
  DWORD type = 0;
  BYTE data[16] = {};
  DWORD size = sizeof(data);
  ASSERT_EQ(RegQueryValueExW(key, "items", &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(std::vector<BYTE>(data, data + size), (std::vector<BYTE>{8, 7, 6, 5, 4, 3, 2, 1}));
  ASSERT_EQ(RegSetValueExW(key, "domains", REG_NONE, data, 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, "blacklist", REG_BINARY, data, 9), ERROR_SUCCESS);
  RegCloseKey(key);

  PluginPtr again = MakePlugin<TestPlugin>(owner_, "Epsilon");
  const Plugin::TracksLeftMap expected{{"items", 0x0102030405060708ull}, {"size", 0}};
  EXPECT_EQ(again->TracksLeft(), expected);
  As(again).MutableTracksLeft().erase("size");  // a save never deletes a figure
  EXPECT_TRUE(again->SaveTracksLeft());
  again->LoadTracksLeft();
  EXPECT_EQ(again->TracksLeft(), expected);
}

TEST_F(PluginTest, PublishingReplacesTheFiguresAndStoresThem) {
  {
    PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Eta");
    As(plugin).MutableTracksLeft() = {{"stale", 5}};
    EXPECT_TRUE(
        As(plugin).PublishTracksLeft({{"domains", 3}, {"items", 40}, {"size", 1ull << 40}}));
    const Plugin::TracksLeftMap published{{"domains", 3}, {"items", 40}, {"size", 1ull << 40}};
    EXPECT_EQ(plugin->TracksLeft(), published);
  }
  PluginPtr again = MakePlugin<TestPlugin>(owner_, "Eta");
  const Plugin::TracksLeftMap stored{{"domains", 3}, {"items", 40}, {"size", 1ull << 40}};
  EXPECT_EQ(again->TracksLeft(), stored);
}

TEST_F(PluginTest, ADefaultSelectionIsTakenWithoutStoringItAsAChoice) {
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "CuPl_b.pld", 2);
  As(plugin).AdoptDefaultSelection(false);
  EXPECT_FALSE(plugin->IsEnabled());
  EXPECT_EQ(StoredFlag("CuPl_b.pld"), 2u);
  plugin.reset();
  EXPECT_EQ(StoredFlag("CuPl_b.pld"), 2u);  // destruction keeps "not chosen" too
}

TEST_F(PluginTest, AFileLeftForTheNextStartRaisesTheRebootFlag) {
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Theta");
  plugin->Tally().AddDone({1, 1});
  EXPECT_FALSE(plugin->IsRebootNeeded());
  plugin->Tally().AddScheduledAtRestart("C:\\x.tmp");
  EXPECT_TRUE(plugin->IsRebootNeeded());
}

TEST_F(PluginTest, PluginsCanShareOneTextFolder) {
  scratch_.Write("html/English/Plugins/PlgCustom/res_Erased.html", "gone");
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "CuPl_c.pld", 2, "Custom");
  EXPECT_EQ(plugin->PluginFolder(), "html\\English\\Plugins\\PlgCustom\\");
  EXPECT_EQ(plugin->ResErasedHtml(), "gone");
  EXPECT_EQ(plugin->GetId(), "CuPl_c.pld");
}

TEST_F(PluginTest, TextsComeFromThePluginFolderOfTheLanguage) {
  scratch_.Write("html/English/Plugins/PlgZeta/name.html", "Zeta");
  scratch_.Write("html/English/Plugins/PlgZeta/fullname.html", "<b>Zeta cleaner</b>");
  scratch_.Write("html/English/Plugins/PlgZeta/res_Ok.html", "ok");
  scratch_.Write("html/English/Plugins/PlgZeta/description.html", "<p>About Zeta</p>");
  scratch_.Write("html/Deutsch/Plugins/PlgZeta/name.html", "Zeta (de)");
  PluginPtr plugin = MakePlugin<TestPlugin>(owner_, "Zeta");
  EXPECT_EQ(plugin->GetNameHtml(), "Zeta");
  EXPECT_EQ(plugin->GetFullNameHtml(), "<b>Zeta cleaner</b>");
  EXPECT_EQ(plugin->ResOkHtml(), "ok");
  EXPECT_EQ(plugin->ResErrorHtml(), "");  // a missing file reads as empty text

  auto page = dom::Document::Parse("<div id=DescriptionArea>old</div><div id=Details></div>");
  ASSERT_TRUE(page);
  const dom::Element description = page->GetElementById("DescriptionArea");
  EXPECT_EQ(plugin->ShowDescription(description), 0);
  ASSERT_EQ(description.Children().size(), 1u);  // put in as HTML, not as text
  EXPECT_EQ(description.InnerText(), "About Zeta");
  EXPECT_EQ(plugin->ShowDetails(page->GetElementById("Details")), kPageNotShown);

  plugin->LoadNames("Deutsch");
  EXPECT_EQ(plugin->LanguageFolder(), "Deutsch");
  EXPECT_EQ(plugin->GetNameHtml(), "Zeta (de)");
  EXPECT_EQ(plugin->GetFullNameHtml(), "");
}

}  // namespace
}  // namespace corvane
