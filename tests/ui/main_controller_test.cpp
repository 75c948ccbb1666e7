// The main window as a user drives it, on the headless host with the installed templates and fake
// plug-ins that scan and erase real files: every click goes through the page's DOM and the
// dispatcher, every completion through the window's messages.

#include "ui/main_controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/registry_key.h"
#include "engine/format_size.h"
#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "settings/schedule_timer.h"
#include "settings/statistics_store.h"
#include "tests/support/fake_plugin.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/wine_server_lock_holder.h"
#include "ui/erase_main_dlg.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::FakePlugin;

constexpr auto kPatience = 60s;  // generous: the machine is shared

class MainControllerTest : public ::testing::Test {
 protected:
  MainControllerTest() {
    SetProgramFolder(CORVANE_PROGRAM_DIR);
    previousDirectory_ = fs::current_path();
    fs::current_path(work_.Path());  // the trace log goes here
  }
  ~MainControllerTest() override {
    dialog_.reset();
    fs::current_path(previousDirectory_);
    SetProgramFolder("");
  }

  // Files for a fake plug-in's folder.
  fs::path Files(const std::string& id, int count) {
    const fs::path folder = work_.Path() / id;
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
      std::ofstream(folder / ("trace" + std::to_string(i) + ".tmp")) << std::string(10 + i, 'x');
    }
    return folder;
  }
  [[nodiscard]] int FilesLeft(const std::string& id) const {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(work_.Path() / id)) ++count;
    return count;
  }

  // Opens the main window over fakes with these ids (each with `files` files of its own) and
  // waits for its first page.
  // `published`: created as the program creates it, published and with its tray icon.
  void Open(std::vector<std::string> ids, int files = 2, bool published = false) {
    for (const std::string& id : ids) Files(id, files);
    dialog_ = std::make_unique<CEraseMainDlg>(
        host_, CommandLine{}, [this] { return schedule_; },
        [this, ids](PluginOwner& owner) {
          PluginList list;
          for (const std::string& id : ids) {
            // Built-in ids show the installed texts; the others a name of their own.
            std::string name = id.starts_with("Fake") ? "Fake " + id : "";
            if (const auto named = names_.find(id); named != names_.end()) name = named->second;
            auto plugin = MakePlugin<FakePlugin>(owner, id, work_.Path() / id, name);
            fakes_.push_back(static_cast<FakePlugin*>(plugin.get()));
            list.PushBack(std::move(plugin));
          }
          return list;
        });
    if (published) {
      dialog_->Create();
    } else {
      dialog_->CreateModeless();
    }
    ASSERT_TRUE(Wait([&] { return dialog_->Document() != nullptr; }));
    // The erase question has tests of its own; the others erase at the first click.
    Controller().Options().Section("")[std::string(kOptionNoEraseQuestion)] = "1";
  }

  bool Wait(const std::function<bool()>& done) { return host_.Loop().RunUntil(done, kPatience); }
  bool WaitForState(PageState state) {
    return Wait([&] { return Controller().State() == state; });
  }
  // A click on the first element with this "cid", handled before this returns.
  void Click(std::string_view cid, std::string_view pluginId = {}) {
    dom::Element target;
    for (const dom::Element& element : dialog_->Document()->ElementsWithAttribute("cid", cid)) {
      const dom::AttributeValue id = element.GetAttribute("pluginid");
      const auto* text = std::get_if<std::string>(&id);
      if (pluginId.empty() || (text != nullptr && *text == pluginId)) {
        target = element;
        break;
      }
    }
    ASSERT_TRUE(target) << "no element with cid " << cid << " " << pluginId;
    auto& window = static_cast<HeadlessWindow&>(*dialog_->Window());
    ViewInput input;
    input.node = target.Number();
    const dom::AttributeValue checked = target.GetAttribute("checked");
    if (const bool* state = std::get_if<bool>(&checked)) input.checked = !*state;
    window.Input(input);
    host_.Loop().RunPending();
  }
  // A click on an element made for the test, as the page would report it.
  int ClickMade(const std::string& html) {
    dialog_->SetElementHtml("Layout", html);
    return Controller().OnClick(dialog_->GetElement("made"));
  }

  CMainController& Controller() { return dialog_->Controller(); }
  std::string Html(std::string_view id) { return dialog_->GetElement(id).InnerHtml(); }
  std::string Text(std::string_view id) { return dialog_->GetElement(id).InnerText(); }
  FakePlugin& Fake(std::size_t index) { return *fakes_.at(index); }

  void ScanToResults() {
    Click("btn_scan");
    ASSERT_TRUE(WaitForState(PageState::ScanResults));
  }
  void EraseFromSettings() {
    Click("btn_clean");
    ASSERT_TRUE(Wait([&] { return Controller().State() != PageState::Erase; }));
  }

  TempMachine machine_;
  ScopedRuntimeFolder runtime_;
  test::ScratchFolder work_;
  fs::path previousDirectory_;
  HeadlessHost host_;
  std::string schedule_ = "dialy";            // closing hides the window rather than quitting
  std::map<std::string, std::string> names_;  // a fake's own name, by id
  std::vector<FakePlugin*> fakes_;
  std::unique_ptr<CEraseMainDlg> dialog_;
};

TEST_F(MainControllerTest, WelcomeScanAndTheResultsWizard) {
  Open({"FakeA", "FakeB", "FakeC"}, 3);
  Fake(2).SetEnabled(false);
  EXPECT_EQ(Controller().State(), PageState::Welcome);
  EXPECT_NE(Html("WelcomeMsg"), "");
  EXPECT_NE(Html("ScanNowButton").find("cid=\"btn_scan\""), std::string::npos);
  EXPECT_NE(Html("HeaderTitle").find("Corvane Erase"), std::string::npos);

  // Holding the first plug-in shows the run at work: every plug-in has its row, disabled or not.
  Fake(0).release.Reset();
  Click("btn_scan");
  ASSERT_EQ(Controller().State(), PageState::Scan);
  for (const char* id : {"FakeA", "FakeB", "FakeC"}) {
    EXPECT_TRUE(dialog_->GetElement(std::string("ProcessTableRowStatus_") + id)) << id;
  }
  EXPECT_EQ(Text("ProcessTableRowName_FakeB"), "Fake FakeB (all files)");
  EXPECT_EQ(Text("ProcessTableRowStatus_FakeA"), "Working");
  EXPECT_NE(Html("TabsArea").find("active"), std::string::npos);
  Controller().ShowProgress({"FakeA", "Looking at <b>x</b>", kNoStep, kNoStep});
  EXPECT_NE(Html("ResultsArea").find("data-step=\"\""), std::string::npos);
  EXPECT_NE(Html("ResultsArea").find("Looking at <b"), std::string::npos);  // as HTML
  Fake(0).release.Set();
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Fake(i).scans, 1) << i;  // disabled ones scan too

  // The wizard: first page, next, back, skip all, and back again from the Settings page.
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeA");
  EXPECT_EQ(Text("TitleText"), "Fake FakeA (all files)");
  EXPECT_NE(Html("DetailsArea").find("trace2.tmp"), std::string::npos);
  EXPECT_NE(Html("hint_sybtitle"), "");
  EXPECT_NE(Html("PluginsArea").find("class=\"selected\""), std::string::npos);
  EXPECT_NE(Html("PluginsArea").find("cid=\"name\""), std::string::npos);
  Click("btn_settings");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeB");
  Click("btn_settings");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeC");  // shown after a scan although not selected
  Click("btn_back");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeB");
  Click("btn_skipall");
  EXPECT_EQ(Controller().State(), PageState::Settings);
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeC");
  EXPECT_EQ(Html("PluginsArea").find("cid=\"name\""), std::string::npos);  // the "_nc_" rows
  EXPECT_NE(Html("PluginsArea").find("<label"), std::string::npos);
  EXPECT_TRUE(dialog_->GetElement("cbOptOw"));
  Click("btn_back");
  EXPECT_EQ(Controller().State(), PageState::ScanResults);
  EXPECT_EQ(Controller().SelectedPlugin(), "FakeC");  // the highlight follows the page shown
  Click("btn_back");
  Click("btn_back");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeA");
  Click("btn_back");
  EXPECT_EQ(Controller().State(), PageState::Welcome);
}

TEST_F(MainControllerTest, TheOptionsOpenTheDomainListsInTheViewClicked) {
  Open({"FakeA"});
  ScanToResults();
  Click("btn_skipall");
  ASSERT_EQ(Controller().State(), PageState::Settings);
  std::vector<DomainListView> shown;
  for (const char* cid : {"btn_whitelist", "btn_blacklist"}) {
    host_.AddModalStep([&](HeadlessWindow& window) {
      auto& lists = dynamic_cast<CDomainListDlg&>(window.Events());
      shown.push_back(lists.View());
      ClickByCid(lists, "btn_close");
    });
    Click(cid);
  }
  EXPECT_EQ(shown, (std::vector{DomainListView::Whitelist, DomainListView::Blacklist}));
  EXPECT_EQ(Controller().State(), PageState::Settings);
}

TEST_F(MainControllerTest, EraseOnlyTheSelectedThenTheReport) {
  Open({"FakeA", "FakeB", "FakeC"}, 2);
  ScanToResults();
  Click("btn_skipall");
  Click("check", "FakeB");  // the Settings page's check box
  EXPECT_FALSE(Fake(1).IsEnabled());
  RegistryDword stored(HKEY_LOCAL_MACHINE, kPluginsKey, "FakeB", 1);
  EXPECT_EQ(stored.value, 0U);  // written at once
  stored.SetReadOnly(true);
  Click("cbOptOw", "Kernel");
  EXPECT_EQ(Controller().GetGlobalOptions()["Owerwrite"], "1");
  // The plug-ins see the click at once, through their owner.
  const PluginOwner& owner = Controller();
  EXPECT_TRUE(owner.GetCleaningOptions().overwrite);
  EXPECT_FALSE(owner.GetCleaningOptions().blacklistedOnly);

  Fake(0).release.Reset();
  Click("btn_clean");
  ASSERT_EQ(Controller().State(), PageState::Erase);
  EXPECT_TRUE(dialog_->GetElement("ProcessTableRow_FakeA"));
  EXPECT_FALSE(dialog_->GetElement("ProcessTableRow_FakeB"));  // rows only for the selected
  EXPECT_TRUE(dialog_->GetElement("ProcessTableRow_FakeC"));
  EXPECT_EQ(Controller().SelectedPlugin(), kNoPluginSelected);
  EXPECT_EQ(Html("PluginsArea").find("class=\"selected\""), std::string::npos);
  Fake(0).release.Set();
  ASSERT_TRUE(WaitForState(PageState::EraseResults));

  EXPECT_EQ(FilesLeft("FakeA"), 0);
  EXPECT_EQ(FilesLeft("FakeB"), 2);
  EXPECT_EQ(FilesLeft("FakeC"), 0);
  EXPECT_EQ(Fake(1).erases, 0);
  EXPECT_EQ(Fake(0).CopyCounters().erasedTotal.items, 2U);
  EXPECT_EQ(Fake(0).CopyCounters().erasedToday.items, 2U);
  EXPECT_TRUE(Controller().RunDate().valid);
  EXPECT_TRUE(Controller().LastCleanupDate().valid);
  EXPECT_FALSE(OnDifferentDays(Controller().RunDate(), OleDateNow()));

  // The report: the unselected row is marked, and the wizard never shows it.
  EXPECT_NE(Html("PluginsArea").find("disabled"), std::string::npos);
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeA");
  EXPECT_NE(Html("DetailsArea").find("FakeReport"), std::string::npos);
  Click("btn_settings");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeC");
  Click("btn_back");
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeA");
  Click("btn_back");
  EXPECT_EQ(Controller().State(), PageState::Settings);
  Click("btn_back");  // to the scan results, then on to the report again through a new erase
  EXPECT_EQ(Controller().State(), PageState::ScanResults);
  Click("btn_skipall");
  EraseFromSettings();
  ASSERT_EQ(Controller().State(), PageState::EraseResults);
  Click("btn_finish");
  EXPECT_EQ(Controller().State(), PageState::Welcome);
}

TEST_F(MainControllerTest, TheReportSaysWhatWaitsForTheNextWineStartAndHowToFinish) {
  Open({"FakeA", "FakeB"}, 2);
  Fake(1).leaveForRestart = true;
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  ASSERT_EQ(Controller().State(), PageState::EraseResults);
  EXPECT_TRUE(Controller().RebootNeeded());
  EXPECT_EQ(Fake(1).FilesLeftForRestart(), 2U);
  const std::string hint = Text("hint_sybtitle");
  EXPECT_NE(hint.find("2 files could not be deleted now."), std::string::npos) << hint;
  EXPECT_NE(hint.find("WINEPREFIX='" + machine_.Prefix().string() + "' wineboot --restart"),
            std::string::npos)
      << hint;

  // A run that leaves nothing says nothing of it.
  Fake(1).leaveForRestart = false;
  Click("btn_finish");
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  EXPECT_EQ(Text("hint_sybtitle"), "");
}

TEST_F(MainControllerTest, WhileWineRunsScanningWorksButErasingIsRefusedWithAMessage) {
  Open({"FakeA", "FakeB"}, 2);
  {
    test::WineServerLockHolder wine(machine_.Prefix());
    ScanToResults();  // reading only: allowed
    EXPECT_EQ(Fake(0).scans, 1);
    Click("btn_skipall");
    Click("btn_clean");
    EXPECT_EQ(Controller().State(), PageState::Settings);
    ASSERT_EQ(host_.Messages().size(), 1U);
    EXPECT_NE(host_.Messages()[0].text.find("Wine is running on " + machine_.Prefix().string()),
              std::string::npos)
        << host_.Messages()[0].text;
    EXPECT_NE(host_.Messages()[0].text.find("nothing is erased"), std::string::npos);
    EXPECT_EQ(Fake(0).erases + Fake(1).erases, 0);
    EXPECT_EQ(FilesLeft("FakeA"), 2);  // files are refused too: Wine may hold them open
  }
  // Once Wine has ended, the same click erases.
  EraseFromSettings();
  EXPECT_EQ(Controller().State(), PageState::EraseResults);
  EXPECT_EQ(FilesLeft("FakeA"), 0);
  EXPECT_EQ(host_.Messages().size(), 1U);
}

TEST_F(MainControllerTest, ClosingWithChangesWineKeptFromTheDiskAsksAndKeepsTheWindow) {
  schedule_ = "manually";  // closing ends the program
  Open({"FakeA"});
  const fs::path systemHive = machine_.HivePath(TempMachine::Hive::System);
  {
    test::WineServerLockHolder wine(machine_.Prefix());
    Fake(0).SetEnabled(false);  // the selection goes to the registry, which cannot be saved now
    EXPECT_TRUE(machine_.Registry().HasUnsavedChanges());

    host_.SetNextAnswer(IDCANCEL);  // keep the window
    EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(host_.Messages().size(), 1U);
    EXPECT_NE(host_.Messages()[0].text.find("not saved yet"), std::string::npos)
        << host_.Messages()[0].text;
    EXPECT_EQ(host_.Messages()[0].style & 0xFu, MB_YESNOCANCEL);
    EXPECT_FALSE(host_.Loop().HasQuit());
    EXPECT_TRUE(dialog_->Window()->IsVisible());
  }
  // Wine has ended: closing saves and ends without asking.
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(host_.Loop().HasQuit());
  EXPECT_EQ(host_.Messages().size(), 1U);
  EXPECT_FALSE(machine_.Registry().HasUnsavedChanges());
  EXPECT_NE(ReadHostFile(systemHive).find("\"FakeA\"=dword:00000000"), std::string::npos);
}

TEST_F(MainControllerTest, StatisticsOfAnEraseAreThereAfterTheProgramStartsAgain) {
  Open({"FakeA", "FakeB"}, 2);
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  ASSERT_TRUE(machine_.Registry().Flush());
  const std::string cleanedUp = FormatCleanupDate(Controller().LastCleanupDate());

  // The statistics page opens modally over the main window; a close from the view ends it.
  host_.AddModalStep([](HeadlessWindow& window) { window.Cancel(); });
  Click("btn_statistics");
  EXPECT_TRUE(Controller().StatisticsEnabled());

  dialog_.reset();
  fakes_.clear();
  Open({"FakeB", "FakeA"}, 0);
  EXPECT_EQ(Fake(1).CopyCounters().erasedTotal.items, 2U);
  EXPECT_EQ(Fake(1).CopyCounters().erasedToday.items, 2U);  // the same day
  EXPECT_EQ(Fake(0).CopyCounters().current.items, 2U);
  EXPECT_EQ(FormatCleanupDate(Controller().LastCleanupDate()), cleanedUp);
}

TEST_F(MainControllerTest, TheScheduleIsChosenOnTheSettingsPageAndBringsTheWindowBack) {
  Open({"FakeA"}, 1);
  ScanToResults();
  Click("btn_skipall");
  ASSERT_EQ(Controller().State(), PageState::Settings);
  EXPECT_NE(Html("ManuallyCheck").find("checked"), std::string::npos);
  Click("weekly_check");
  RegistryString run(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", "Run", "");
  run.SetReadOnly(true);
  EXPECT_EQ(run.value, "weekly");
  EXPECT_EQ(Controller().Schedule().PeriodDays(), 7);
  Click("btn_back");
  Click("btn_skipall");
  EXPECT_NE(Html("WeeklyCheck").find("checked"), std::string::npos);
  EXPECT_EQ(Html("ManuallyCheck").find("checked"), std::string::npos);

  // Hidden, the window comes back on the first tick ("Last" was never), then not again.
  dialog_->Window()->Hide();
  Controller().OnScheduleTick();
  EXPECT_TRUE(dialog_->Window()->IsVisible());
  dialog_->Window()->Hide();
  Controller().OnScheduleTick();
  EXPECT_FALSE(dialog_->Window()->IsVisible());
}

TEST_F(MainControllerTest, TheRestartOfferIsAskedOnceAndNeverWhileWineRuns) {
  Open({"FakeA"}, 2);
  Fake(0).leaveForRestart = true;
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  ASSERT_TRUE(Controller().RebootNeeded());
  host_.SetNextAnswer(IDNO);
  Click("btn_finish");
  ASSERT_EQ(host_.Messages().size(), 1U);
  EXPECT_EQ(host_.Messages()[0].style, MB_YESNO | MB_ICONEXCLAMATION);
  EXPECT_NE(host_.Messages()[0].text.find("Restart Wine"), std::string::npos);
  EXPECT_FALSE(Controller().RebootNeeded());
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);  // declined: not asked again
  EXPECT_EQ(host_.Messages().size(), 1U);

  // Yes while Wine runs: nothing of Wine is ended; the user is told, and asked again later.
  dialog_->Window()->Show();
  Click("btn_scan");
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  Click("btn_skipall");
  Files("FakeA", 1);
  EraseFromSettings();
  ASSERT_TRUE(Controller().RebootNeeded());
  test::WineServerLockHolder wine(machine_.Prefix());
  host_.SetNextAnswer(IDYES);
  EXPECT_FALSE(Controller().OfferReboot());
  ASSERT_EQ(host_.Messages().size(), 3U);
  EXPECT_NE(host_.Messages()[2].text.find("Close them first"), std::string::npos);
  EXPECT_TRUE(Controller().RebootNeeded());
}

TEST_F(MainControllerTest, ARestartThatCannotRunSaysSoAndTheProgramGoesOn) {
  Open({"FakeA"}, 2);
  Fake(0).leaveForRestart = true;
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  ASSERT_TRUE(Controller().RebootNeeded());
  // No Wine on this PATH.
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", work_.Path().c_str(), 1);
  host_.SetNextAnswer(IDYES);
  const bool restarted = Controller().OfferReboot();
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(restarted);
  ASSERT_EQ(host_.Messages().size(), 2U);
  EXPECT_EQ(host_.Messages()[1].text,
            "Erase was unable to reboot Windows. Please shutdown Erase, and manually reboot. "
            "Thank you.");
  EXPECT_EQ(host_.Messages()[1].style, MB_OK | MB_ICONERROR);
  EXPECT_FALSE(Controller().RebootNeeded());
  EXPECT_FALSE(host_.Loop().HasQuit());
}

TEST_F(MainControllerTest, TheTrayMenuRestoresHidesAndEndsTheProgram) {
  Open({"FakeA"}, 1, true);
  HeadlessTray* tray = host_.Tray();
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->Tooltip(), "Corvane Erase");
  EXPECT_NE(tray->IconPath().find("corvane-erase"), std::string::npos);
  host_.Loop().RunPending();
  ASSERT_TRUE(Wait([&] { return dialog_->Window()->IsVisible(); }));
  host_.Loop().RunPending();
  EXPECT_TRUE(tray->RestoreChecked());

  // Restore toggles the window, and its check follows.
  tray->Choose(kTrayRestoreCommand);
  host_.Loop().RunPending();
  EXPECT_FALSE(dialog_->Window()->IsVisible());
  EXPECT_FALSE(tray->RestoreChecked());
  tray->Choose(kTrayRestoreCommand);
  host_.Loop().RunPending();
  EXPECT_TRUE(dialog_->Window()->IsVisible());
  EXPECT_TRUE(tray->RestoreChecked());

  // About... is the About button's own command (its dialog comes with the About box).
  tray->Choose(kTrayAboutCommand);
  host_.Loop().RunPending();
  EXPECT_FALSE(host_.Loop().HasQuit());

  // Closing with a daily schedule hides; Exit ends the program all the same.
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(dialog_->Window()->IsVisible());
  EXPECT_FALSE(host_.Loop().HasQuit());
  tray->Choose(kTrayExitCommand);
  host_.Loop().RunPending();
  EXPECT_TRUE(host_.Loop().HasQuit());
}

TEST_F(MainControllerTest, WithoutATrayHostTheWindowNeverHidesWhereNobodyCouldReachIt) {
  // A panel that goes away while the window is hidden brings the window back.
  Open({"FakeA"}, 1, true);
  host_.Loop().RunPending();
  ASSERT_TRUE(Wait([&] { return dialog_->Window()->IsVisible(); }));
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(dialog_->Window()->IsVisible());
  host_.Tray()->SetShown(false);
  host_.Loop().RunPending();
  EXPECT_TRUE(dialog_->Window()->IsVisible());
  // Now closing ends the program, although the schedule is daily.
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(host_.Loop().HasQuit());
}

TEST_F(MainControllerTest, AScheduledStartStaysHiddenOnlyWhenATrayHostShowsTheIcon) {
  for (const bool trayHost : {true, false}) {
    SCOPED_TRACE(trayHost);
    host_.SetTrayHostPresent(trayHost);
    dialog_ = std::make_unique<CEraseMainDlg>(
        host_, CommandLine{"CorvaneErase /remindme", "/remindme"}, [] { return "weekly"; },
        [](PluginOwner&) { return PluginList(); });
    dialog_->Create();
    ASSERT_TRUE(Wait([&] { return dialog_->Document() != nullptr; }));
    host_.Loop().RunPending();
    EXPECT_EQ(dialog_->Window()->IsVisible(), !trayHost);
    dialog_.reset();
  }
}

TEST_F(MainControllerTest, TheReportsLastPageLeadsToWelcome) {
  Open({"FakeA"}, 1);
  ScanToResults();
  Click("btn_settings");  // past the only page
  ASSERT_EQ(Controller().State(), PageState::Settings);
  EraseFromSettings();
  ASSERT_EQ(Controller().State(), PageState::EraseResults);
  Click("btn_settings");
  EXPECT_EQ(Controller().State(), PageState::Welcome);
}

TEST_F(MainControllerTest, CancelDuringAScanEndsOnWelcome) {
  Open({"FakeA", "FakeB"});
  Fake(0).release.Reset();
  Click("btn_scan");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  // Closing the window while scanning does nothing.
  dialog_->OnCancel();
  EXPECT_TRUE(dialog_->Window()->IsVisible());
  EXPECT_EQ(SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(Controller().State(), PageState::Scan);
  Click("btn_cancel");
  ASSERT_TRUE(WaitForState(PageState::Welcome));
  EXPECT_EQ(Fake(1).scans, 0);
  EXPECT_EQ(Fake(0).GetScanState(), ScanState::NotScanned);
  EXPECT_TRUE(dialog_->Window()->IsVisible());
}

TEST_F(MainControllerTest, NamesAreEscapedOnceInTheProcessTableAndTheTitle) {
  names_["FakeTC"] = "Temp & <Cache>";
  Open({"FakeTC"});
  Fake(0).release.Reset();
  Click("btn_scan");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  EXPECT_EQ(Text("ProcessTableRowName_FakeTC"), "Temp & <Cache> (all files)");
  EXPECT_EQ(Html("ProcessTableRowName_FakeTC"), "Temp &amp; &lt;Cache&gt; (all files)");
  EXPECT_EQ(Text("ProcessTableRowStatus_FakeTC"), "Working");
  Fake(0).release.Set();
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  EXPECT_EQ(Text("TitleText"), "Temp & <Cache> (all files)");
}

TEST_F(MainControllerTest, CancellingWhileTheLastPluginFinishesStillEndsOnWelcome) {
  Open({"FakeA"});
  Fake(0).release.Reset();
  Click("btn_scan");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  Controller().CancelEvent().Set();
  Controller().OnPluginScanned("FakeA", 0);  // the plug-in finished just before it looked
  EXPECT_EQ(Controller().State(), PageState::Welcome);
  EXPECT_TRUE(Wait([&] { return Fake(0).GetScanState() == ScanState::NotScanned; }));
}

TEST_F(MainControllerTest, TheChoosingPageOffersScanAndLanguage) {
  Open({"FakeA", "FakeB"});
  ASSERT_EQ(Controller().SetState(PageState::Normal), 0);
  EXPECT_NE(Html("ButtonsControlArea").find("cid=\"btn_scan\""), std::string::npos);
  EXPECT_NE(Html("ButtonsFixedArea").find("cid=\"btn_hslanguage\""), std::string::npos);
  EXPECT_EQ(Html("ButtonsFixedArea").find("cid=\"btn_skipall\""), std::string::npos);
  EXPECT_NE(Html("hint"), "");
  EXPECT_NE(dialog_->GetElement("TabsArea").InnerText().find("Scan"), std::string::npos);
  Click("name", "FakeB");
  EXPECT_EQ(Controller().SelectedPlugin(), "FakeB");
  EXPECT_NE(Html("PluginsArea").find("class=\"selected\""), std::string::npos);
  // Without a "Layout" element nothing is drawn.
  dialog_->Document()->GetElementById("Layout").SetAttribute("id", "Gone");
  EXPECT_EQ(Controller().SetState(PageState::Settings), 1);
  EXPECT_EQ(Controller().State(), PageState::Settings);
  EXPECT_EQ(Controller().PreviousState(), PageState::Normal);
}

TEST_F(MainControllerTest, StopDuringAnEraseShowsTheReportOfWhatWasErasedUntilThen) {
  Open({"FakeA", "FakeB"}, 3);
  ScanToResults();
  Click("btn_skipall");
  Fake(0).release.Reset();  // holds after the first erased file
  Click("btn_clean");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  EXPECT_FALSE(IsCalendarDate(Controller().LastCleanupDate()));  // never cleaned up
  Click("btn_abort");
  ASSERT_TRUE(WaitForState(PageState::EraseResults));
  EXPECT_TRUE(Controller().EraseStopped());
  EXPECT_TRUE(dialog_->Window()->IsVisible());
  EXPECT_NE(Html("hint").find("Stopped"), std::string::npos);
  // Only the cleaner the erase reached has a report page; the next leads out of the report.
  EXPECT_EQ(Controller().ResultsPlugin(), "FakeA");
  EXPECT_NE(Html("DetailsArea").find("FakeReport"), std::string::npos);
  Click("btn_settings");
  EXPECT_EQ(Controller().State(), PageState::Welcome);
  EXPECT_TRUE(Controller().LastCleanupDate().valid);
  EXPECT_EQ(Fake(1).erases, 0);
  EXPECT_EQ(FilesLeft("FakeA"), 2);
  // What the cancelled erase removed still counts.
  EXPECT_EQ(Fake(0).CopyCounters().erasedTotal.items, 1U);
  EXPECT_EQ(Fake(0).CopyCounters().erasedToday.items, 1U);
}

TEST_F(MainControllerTest, EraseProgressNamesTheCleanerAndMovesByWhatTheScanFound) {
  Open({"FakeA", "FakeB", "FakeC"}, 4);
  ScanToResults();
  Click("btn_skipall");
  Click("check", "FakeB");
  Fake(0).release.Reset();
  Click("btn_clean");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  // A cleaner's last step is always drawn: all 4 of the first cleaner's 8 items, half the erase.
  Controller().ShowProgress({"FakeA", "Erasing", 4, 4});
  EXPECT_NE(Text("ResultsArea").find("Cleaner 1 of 2"), std::string::npos);
  EXPECT_NE(Html("ResultsArea").find("--step: 50;"), std::string::npos);
  // Steps in quick succession are drawn at most every tenth of a second.
  for (int step = 1; step < 1000; ++step) {
    Controller().ShowProgress({"FakeA", "Erasing", step, 1000});
  }
  EXPECT_EQ(Html("ResultsArea").find("999 / 1000"), std::string::npos);
  Fake(0).release.Set();
  ASSERT_TRUE(WaitForState(PageState::EraseResults));
}

TEST_F(MainControllerTest, AfterAStopClosingTheWindowQuitsWhenTheScheduleIsManual) {
  schedule_ = "manually";
  Open({"FakeA"}, 3);
  ScanToResults();
  Click("btn_skipall");
  Fake(0).release.Reset();
  Click("btn_clean");
  ASSERT_TRUE(Fake(0).held.Wait(kPatience));
  Click("btn_abort");
  ASSERT_TRUE(WaitForState(PageState::EraseResults));
  EXPECT_FALSE(host_.Loop().HasQuit());  // the user reads the report first
  dialog_->RunCancelHandling();
  EXPECT_TRUE(Wait([&] { return host_.Loop().HasQuit(); }));
}

TEST_F(MainControllerTest, WithNothingTickedEraseIsDisabledWithAHintAndErasesNothing) {
  Open({"FakeA", "FakeB"});
  ScanToResults();
  Click("btn_skipall");
  const auto eraseDisabled = [&] {
    const auto buttons = dialog_->Document()->ElementsWithAttribute("cid", "btn_clean");
    return !buttons.empty() && buttons.front().OuterHtml().find("disabled") != std::string::npos;
  };
  EXPECT_FALSE(eraseDisabled());
  Click("check", "FakeA");
  Click("check", "FakeB");
  EXPECT_TRUE(eraseDisabled());
  EXPECT_NE(Html("hint").find("NothingTicked"), std::string::npos);
  Click("btn_clean");  // a click that still arrives
  EXPECT_EQ(Controller().State(), PageState::Settings);
  EXPECT_EQ(Fake(0).erases + Fake(1).erases, 0);
  EXPECT_EQ(FilesLeft("FakeA"), 2);
  Click("check", "FakeB");
  EXPECT_FALSE(eraseDisabled());
  EXPECT_EQ(Html("hint").find("NothingTicked"), std::string::npos);
}

TEST_F(MainControllerTest, EraseAsksOnceWithTheTotalsAndTheOptionTurnsTheQuestionOff) {
  Open({"FakeA", "FakeB", "FakeC"}, 1200);
  Controller().Options().Section("")[std::string(kOptionNoEraseQuestion)] = "";
  ScanToResults();
  Click("btn_skipall");
  Click("check", "FakeC");
  // The page tells per cleaner and in all what the erase will remove.
  const std::string size = FormatSize(1200 * 10 + 1199 * 1200 / 2);
  EXPECT_NE(Text("PluginsArea").find("1,200 · " + size), std::string::npos) << Text("PluginsArea");
  EXPECT_NE(Text("hint").find("will erase 2,400 items (" +
                              FormatSize(2 * (1200 * 10 + 1199 * 1200 / 2)) + ")"),
            std::string::npos)
      << Text("hint");
  // No: nothing erased, the page stays.
  Click("btn_clean");
  ASSERT_EQ(host_.Messages().size(), 1U);
  EXPECT_EQ(host_.Messages()[0].style, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(host_.Messages()[0].text, "Erase 2,400 items, " +
                                          FormatSize(2 * (1200 * 10 + 1199 * 1200 / 2)) +
                                          " from 2 cleaners? This cannot be undone.");
  EXPECT_EQ(Controller().State(), PageState::Settings);
  EXPECT_EQ(FilesLeft("FakeA"), 1200);
  // Yes: the erase runs.
  host_.SetNextAnswer(IDYES);
  EraseFromSettings();
  EXPECT_EQ(Controller().State(), PageState::EraseResults);
  EXPECT_EQ(FilesLeft("FakeA"), 0);
  EXPECT_EQ(FilesLeft("FakeC"), 1200);
  // The Settings page's box turns the question off, and it stays off after a restart.
  Click("btn_back");
  ASSERT_EQ(Controller().State(), PageState::Settings);
  Click("cbOptAsk", "Kernel");
  EXPECT_FALSE(Controller().Options().AsksBeforeErase());
  ASSERT_TRUE(Controller().Options().Save());
  OptionsStore stored;
  ASSERT_TRUE(stored.Load());
  EXPECT_FALSE(stored.AsksBeforeErase());
  EraseFromSettings();
  EXPECT_EQ(host_.Messages().size(), 2U);  // no third question
}

TEST_F(MainControllerTest, TodaysCountStartsAgainOnANewDayAndAddsUpOnTheSameDay) {
  Open({"FakeA"}, 2);
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  EXPECT_EQ(Fake(0).CopyCounters().erasedToday.items, 2U);

  // The last cleanup was yesterday: the new erase counts today from zero.
  OleDate yesterday = OleDateNow();
  yesterday.value -= 1.0;
  Controller().SetLastCleanupDate(yesterday);
  Files("FakeA", 3);
  Click("btn_finish");
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  EXPECT_EQ(Fake(0).CopyCounters().erasedToday.items, 3U);
  EXPECT_EQ(Fake(0).CopyCounters().erasedTotal.items, 5U);

  // Again today: added to today's count.
  Files("FakeA", 1);
  Click("btn_finish");
  ScanToResults();
  Click("btn_skipall");
  EraseFromSettings();
  EXPECT_EQ(Fake(0).CopyCounters().erasedToday.items, 4U);
  EXPECT_EQ(Fake(0).CopyCounters().erasedTotal.items, 6U);
}

TEST_F(MainControllerTest, AFailedScanIsMarkedAndTheRunGoesOn) {
  Open({"FakeA", "FakeB"});
  Fake(0).failScan = true;
  Fake(1).release.Reset();
  Click("btn_scan");
  ASSERT_TRUE(Wait([&] { return Text("ProcessTableRowStatus_FakeA") == "Failed"; }));
  EXPECT_EQ(Text("ProcessTableRowStatus_FakeB"), "Working");
  EXPECT_NE(dialog_->GetElement("ProcessTableRow_FakeA").OuterHtml().find("failed"),
            std::string::npos);
  Fake(1).release.Set();
  EXPECT_TRUE(WaitForState(PageState::ScanResults));
}

TEST_F(MainControllerTest, CommandIdsAreComparedExactlyButCheckAndNameInAnyCase) {
  Open({"FakeA", "FakeB"});
  Fake(1).SetEnabled(false);
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="BTN_SCAN">x</span>)"), 0);
  EXPECT_EQ(Controller().State(), PageState::Welcome);
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="Check" pluginid="FakeA">x</span>)"), 0);
  EXPECT_FALSE(Fake(0).IsEnabled());
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="CHECK" pluginid="Nobody">x</span>)"), 0);
  EXPECT_EQ(ClickMade(R"(<span id="made">no command</span>)"), 1);

  // "name" on a plug-in that is not selected, before any scan, does nothing.
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="Name" pluginid="FakeB">x</span>)"), 0);
  EXPECT_EQ(Controller().SelectedPlugin(), "");
  Fake(1).SetEnabled(true);
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="Name" pluginid="FakeB">x</span>)"), 0);
  EXPECT_EQ(Controller().SelectedPlugin(), "FakeB");

  // Any other command of a plug-in's page goes to the plug-in.
  EXPECT_EQ(ClickMade(R"(<input type="checkbox" id="made" cid="cbFake1" pluginid="FakeA">)"), 0);
  // (The "check" click above was offered to it as well, after toggling.)
  EXPECT_EQ(Fake(0).checkboxClicks, (std::vector<std::string>{"Check", "cbFake1"}));

  std::ifstream log(work_.Path() / "CorvaneEraser.log");
  const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("OnClick(Check): FakeA\r\n"), std::string::npos);
  EXPECT_NE(text.find("OnClick(BTN_SCAN): \r\n"), std::string::npos);
}

TEST_F(MainControllerTest, DomainsOpenInTheBrowserOnlyAsPlainHostNames) {
  Open({"FakeA"});
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="opendomain3" url="www.example.com">x</span>)"), 0);
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="opendomain" url=".cookies.example">x</span>)"), 0);
  for (const char* bad :
       {"example.com/path", "-x", "a b", "", "exa_mple.com", "a..b", "$(reboot)", "x.com;ls"}) {
    std::string html =
        R"(<span id="made" cid="opendomain" url=")" + std::string(bad) + R"(">x</span>)";
    EXPECT_EQ(ClickMade(html), 0);
  }
  EXPECT_EQ(host_.Opened(),
            (std::vector<std::string>{"http://www.example.com/", "http://cookies.example/"}));
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="norefresh" pluginid="FakeA">x</span>)"), 0);
  EXPECT_EQ(host_.Opened().size(), 2U);
}

// A row of a cleaner's list opens its file with the desktop's program, as one host path; a file
// that is gone shows the message box instead.
TEST_F(MainControllerTest, ADocumentRowOpensItsFileOrSaysItCannot) {
  TempMachine machine;
  const fs::path document = machine.WriteFile("C:\\users\\ann\\a b;$(x).txt", "doc");
  Open({"RecentUsed"});
  Fake(0).openable = {"C:\\users\\ann\\a b;$(x).txt", "C:\\users\\ann\\gone.txt"};
  EXPECT_EQ(ClickMade(R"(<span id="made" cid="RecDocId-0">x</span>)"), 0);
  EXPECT_EQ(host_.Opened(), std::vector<std::string>{document.string()});
  EXPECT_TRUE(host_.Messages().empty());

  EXPECT_EQ(ClickMade(R"(<span id="made" cid="RecDocId-1">x</span>)"), 0);
  EXPECT_EQ(host_.Opened().size(), 1U);
  ASSERT_EQ(host_.Messages().size(), 1U);
  EXPECT_EQ(host_.Messages()[0].caption, "Corvane Erase");
  EXPECT_EQ(host_.Messages()[0].style, MB_ICONERROR);
  EXPECT_NE(host_.Messages()[0].text.find("cannot be opened"), std::string::npos);

  // Rows beyond the list, numbers that are no numbers, and a cleaner that is not there do nothing.
  for (const char* cid : {"RecDocId-2", "RecDocId-", "RecDocId-1x", "RecDocId--1", "msn70-1"}) {
    EXPECT_EQ(ClickMade(R"(<span id="made" cid=")" + std::string(cid) + R"(">x</span>)"), 0) << cid;
  }
  EXPECT_EQ(host_.Opened().size(), 1U);
  EXPECT_EQ(host_.Messages().size(), 1U);
}

TEST_F(MainControllerTest, HelpOpensTheInstalledPageAsAPlainFileAndSaysWhenNothingCould) {
  Open({"FakeA"});
  Click("btn_help");
  ASSERT_EQ(host_.Opened().size(), 1U);
  // A file name, which every opener takes; no URL with a query that gio would read as a name.
  const fs::path page = fs::path(CORVANE_PROGRAM_DIR) / "html/English/help.html";
  EXPECT_EQ(fs::path(host_.Opened().front()), page);
  EXPECT_TRUE(fs::is_regular_file(host_.Opened().front()));
  EXPECT_TRUE(host_.Messages().empty());

  // The desktop has no program for web pages: the opener gives up and the user is told.
  host_.SetOpenFails(true);
  Click("btn_help");
  ASSERT_TRUE(Wait([&] { return !host_.Messages().empty(); }));
  EXPECT_NE(host_.Messages().front().text.find("could not be opened"), std::string::npos);
  EXPECT_NE(host_.Messages().front().text.find(page.string()), std::string::npos);
  EXPECT_EQ(host_.Messages().front().caption, "Corvane Erase");
}

TEST_F(MainControllerTest, ClickingAPluginShowsItsDescriptionInTheResultsArea) {
  Open({"BrowserHistory", "BrowserCookies"});
  ScanToResults();
  EXPECT_EQ(Html("PluginsArea").find("Fake"), std::string::npos);
  EXPECT_NE(Html("ResultsArea").find("web pages you visited"), std::string::npos);
  Click("name", "BrowserCookies");
  EXPECT_NE(Html("ResultsArea").find("recognise you"), std::string::npos);
  EXPECT_EQ(Controller().SelectedPlugin(), "BrowserCookies");
  EXPECT_NE(Html("DetailsArea").find("FakeDetails"), std::string::npos);
  // The jump moves the wizard: the header names the cleaner shown, and Back goes on from it.
  EXPECT_EQ(Controller().ResultsPlugin(), "BrowserCookies");
  EXPECT_EQ(Text("TitleText"), "Cookies");
  Click("btn_back");
  EXPECT_EQ(Controller().ResultsPlugin(), "BrowserHistory");
  EXPECT_EQ(Text("TitleText"), "Browsing history");
}

}  // namespace
}  // namespace corvane
