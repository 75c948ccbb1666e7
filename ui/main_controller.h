#pragma once
// The main window's controller: it owns the plug-ins, the options and the run state, draws every
// page state into the main page ("Common\layout.html") by filling its areas from templates, turns
// clicks into actions by their "cid" and "pluginid" attributes, and drives scan and erase runs:
// one plug-in at a time on its worker thread, the next started when the previous one's completion
// message arrives on the user-interface thread.

#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "engine/plugin.h"
#include "engine/plugin_list.h"
#include "engine/plugin_owner.h"
#include "engine/progress_record.h"
#include "platform/dom/element.h"
#include "platform/event.h"
#include "platform/ole_date.h"
#include "settings/domain_list_dlg.h"
#include "settings/options_store.h"
#include "settings/schedule_timer.h"
#include "ui/page_state.h"

namespace corvane {

class CEraseMainDlg;

// The help page installed beside the program, below "html\<language>\".
inline constexpr char kHelpPageName[] = "help.html";
// What selectedPlugin holds while an erase runs: no plug-in row is highlighted. No PluginId
// contains these characters (ids name registry values, folders and files).
inline constexpr std::string_view kNoPluginSelected = "<*>|no-selection:?|<*>|!";
static_assert(kNoPluginSelected.size() == 24);

// Follows a run for a front end that shows it in its own way (the command line): told of every
// progress record and of every plug-in's result as they reach the main window.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void OnProgress(const ProgressRecord& record) = 0;
  virtual void OnPluginDone(const PluginId& id, LPARAM result) = 0;
};

class CMainController final : public PluginOwner {
 public:
  // Builds the plug-in list; the controller is the owner each plug-in reports to.
  using PluginListBuilder = std::function<PluginList(PluginOwner& owner)>;

  // The list of the program: the built-in cleaners, then the custom plug-ins.
  [[nodiscard]] static PluginList BuildProgramPlugins(PluginOwner& owner);

  // `window` is the main window being constructed; only its handle is used until its page loads.
  explicit CMainController(CEraseMainDlg& window,
                           const PluginListBuilder& buildPlugins = BuildProgramPlugins);
  // Stops a run still going (the cancel event), waits for its worker and saves the options.
  ~CMainController() override;
  CMainController(const CMainController&) = delete;
  CMainController& operator=(const CMainController&) = delete;

  // PluginOwner; safe from any thread.
  [[nodiscard]] HWND MainWindow() const override { return windowHandle_; }
  [[nodiscard]] std::string LanguageFolder() const override { return languageFolder_; }
  [[nodiscard]] CleaningOptions GetCleaningOptions() const override;

  // The page has loaded: the first state.
  void OnDocumentComplete();

  // Page states. SetState is the only way the state changes; answers 0, or 1 when the page has no
  // "Layout" element (nothing is drawn and no run starts).
  int SetState(PageState state);
  [[nodiscard]] PageState State() const { return state_; }
  [[nodiscard]] PageState PreviousState() const { return previousState_; }
  // Draws the current state again (the wizard moving on redraws the same state).
  void Render();
  // Every text from now on comes from html\<folder>: the plug-ins reload their names and the
  // current page is drawn again.
  void SetLanguageFolder(const std::string& folder);

  // A click on an element that names a plug-in ("pluginid") shows its description in the results
  // area, when the page has one; called for every click before OnClick.
  void ShowClickedDescription(const dom::Element& element);
  // A click on an element of the page. Answers 0 when the click was handled or consumed, 1 when
  // the element carries no command.
  int OnClick(dom::Element element);

  // Nothing could open the help page: a message box says where it is.
  void OnHelpNotOpened();

  // False, after telling the user, while Wine runs on the prefix: it owns the registry then (what
  // we changed would stay in memory and be lost) and may hold the files open, so nothing is
  // erased. Scanning only reads and stays allowed.
  [[nodiscard]] bool MayErase();
  // Before the program ends: saves the options and flushes the registry. When changes cannot
  // reach the disk (Wine started meanwhile), the user is told and chooses: try again, close
  // without them, or keep the window open (false: the program must not end yet).
  [[nodiscard]] bool SaveBeforeClosing();

  // The restart offer after an erase that left files for the next system start. Every path that
  // must offer it (Finish, the report's last page, closing the window) comes through here.
  void RunRebootCheck();
  // Asks once per need whether to restart Wine on the prefix now (wineboot finishes the pending
  // deletions) and does it on Yes. True only when the restart happened.
  bool OfferReboot();
  // Asks whether to erase what the selected cleaners found (their totals in the question), unless
  // the option turned the question off. True when the erase may start.
  bool ConfirmErase();

  // Runs.
  void StartScanRun();
  void StartEraseRun();
  // Starts the plug-in after `previous` (the first one when empty). Answers 0 when one was
  // started (or the state runs nothing), 2 when none is left.
  int StartNext(const PluginId& previous);
  void OnPluginScanned(const PluginId& id, LPARAM result);
  void OnPluginErased(const PluginId& id, LPARAM result);
  // Progress of the plug-in at work, under the run's own line ("cleaner k of n", what is done so
  // far, a fraction). Drawn at most ten times a second, but always for a new plug-in or its last
  // step.
  void ShowProgress(const ProgressRecord& record);
  // The process-table row of the plug-in: its full name and `text` (a language text), both HTML.
  void SetRowStatus(const PluginId& id, std::string_view text);
  // The end of an erase run (`finished` false when aborted): the cleanup date, today's counters
  // when the run crossed midnight, and the restart flag of a finished run.
  void RecordCleanup(bool finished);

  // The statistics page ("btn_statistics"): shows the stored figures even while statistics are
  // off, and afterwards applies the page's on/off choice and its Clear.
  void ShowStatisticsPage();
  [[nodiscard]] bool StatisticsEnabled() const { return statisticsEnabled_; }

  [[nodiscard]] const PluginList& Plugins() const { return plugins_; }
  [[nodiscard]] Plugin* FindPlugin(std::string_view id) const { return plugins_.FindPlugin(id); }
  [[nodiscard]] Plugin* FirstEnabledPlugin() const { return plugins_.FirstEnabled(); }
  [[nodiscard]] const PluginId& SelectedPlugin() const { return selectedPlugin_; }
  [[nodiscard]] const PluginId& ResultsPlugin() const { return resultsPlugin_; }
  [[nodiscard]] bool SomethingToShow() const { return somethingToShow_; }
  [[nodiscard]] bool EraseStopped() const { return eraseStopped_; }
  [[nodiscard]] bool RebootNeeded() const { return rebootNeeded_; }
  [[nodiscard]] const OleDate& RunDate() const { return runDate_; }
  [[nodiscard]] const OleDate& LastCleanupDate() const { return lastCleanupDate_; }
  // Statistics keep the last cleanup date with the counters and put it back when they load.
  void SetLastCleanupDate(const OleDate& date) { lastCleanupDate_ = date; }
  [[nodiscard]] Event& CancelEvent() { return cancelEvent_; }
  // Not owned; null for none. The page is drawn as always.
  void SetRunObserver(RunObserver* observer) { runObserver_ = observer; }
  [[nodiscard]] OptionsStore& Options() { return options_; }
  [[nodiscard]] ScheduleTimer& Schedule() { return schedule_; }
  // The schedule's tick: brings the hidden window back when a periodic schedule is due.
  void OnScheduleTick();
  // What a cleaner holds of the options for one scan or erase.
  [[nodiscard]] StringSection GetGlobalOptions() const { return options_.GetGlobalOptions(); }
  // Hands the options store's current values to the cleaners (GetCleaningOptions). Done after
  // loading, after every click on an option and before every run; a change made to Options()
  // directly reaches the cleaners at the next run.
  void PublishCleaningOptions();

 private:
  // Areas of the page, each filled from its templates into the element of its id.
  void RenderPluginsArea();
  void RenderSettingsArea();
  void RenderTabsArea();
  void RenderFixedButtons();
  void RenderStateButtons();
  void RenderProcessArea();
  void RenderDetailsArea();
  void RenderHint();
  // On the report: how many files wait for the next start of Wine, and how to finish now.
  void RenderRestartPending();
  void RenderWelcome();
  void RenderWizardHeader();
  // The process table of the run into "ProcessArea": every plug-in while scanning, otherwise the
  // enabled ones, each row showing its plug-in's full name.
  void PutProcessTable();

  // A language text: "html\<language>\<fileName>".
  [[nodiscard]] std::string LanguageText(std::string_view fileName) const;
  [[nodiscard]] dom::Element Element(std::string_view id) const;
  void SetHtml(std::string_view id, std::string_view html);

  // Whether the results wizard may show the plug-in's page in the current state.
  [[nodiscard]] bool WizardShows(const Plugin& plugin) const;
  [[nodiscard]] PluginId FirstWizardPlugin() const;
  [[nodiscard]] PluginId LastWizardPlugin() const;
  void WizardNext();
  void WizardPrevious();
  void WizardLast();
  // Finish: the restart offer, then the start page.
  void Finish();

  // The click rows that act on the state's buttons; true when `cid` was one of them.
  bool OnStateButton(const std::string& cid);
  void OpenDomain(const dom::Element& element);
  // A row that opens a cleaner's file ("RecDocId-n", "icqlite5-n", "msn70-n"); true when `cid`
  // was one, whatever came of it.
  bool OpenRowItem(const std::string& cid);
  // Opens a file of the machine with the desktop's program, or says it cannot.
  void OpenDocument(const std::string& path);
  void OpenHelp();
  // The side dialogs of the fixed buttons, modal over the main window.
  void OpenLanguageDialog();
  // The domain lists' editor, showing the blacklist or the whitelist first.
  void OpenDomainLists(DomainListView view);
  void OpenAboutBox();

  // The status mark of a process-table row, for its look (running, done, failed).
  enum class RowMark { Running, Done, Failed };
  void MarkRow(const PluginId& id, RowMark mark);
  // The status text of a finished plug-in, by its result.
  [[nodiscard]] std::string FinishedStatus(LPARAM result, RowMark& mark) const;

  CEraseMainDlg& window_;
  const HWND windowHandle_;
  PageState state_ = PageState::Welcome;
  PageState previousState_ = PageState::Welcome;
  OptionsStore options_;
  ScheduleTimer schedule_;
  // What the workers read of the options: they never touch the store, which the page changes.
  mutable std::mutex cleaningOptionsLock_;
  CleaningOptions cleaningOptions_;
  PluginId selectedPlugin_;
  PluginId resultsPlugin_;
  std::string languageFolder_;
  // Declared before the plug-ins: their workers poll it until the list is gone.
  Event cancelEvent_{EventReset::Manual, false};
  PluginList plugins_;
  bool somethingToShow_ = false;
  // The cleaners the last erase started, and whether Stop ended it: a stopped erase reports only
  // what it reached.
  std::set<PluginId> erasedInRun_;
  bool eraseStopped_ = false;
  // Where the run is: the cleaner at work (counted from 1) of how many, what the finished ones
  // counted, and for an erase what the scan found in all (the whole of the fraction shown).
  std::size_t runIndex_ = 0;
  std::size_t runCount_ = 0;
  CounterPair runDone_;
  CounterPair runTotal_;
  std::chrono::steady_clock::time_point lastProgress_;
  PluginId progressPlugin_;
  bool rebootNeeded_ = false;
  bool statisticsEnabled_ = true;
  OleDate runDate_;
  OleDate lastCleanupDate_;
  RunObserver* runObserver_ = nullptr;
};

}  // namespace corvane
