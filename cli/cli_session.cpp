#include "cli/cli_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "app/erase_app.h"
#include "app/registry_trace.h"
#include "app/trace_log.h"
#include "cleaners/custom/custom_plugin.h"
#include "cli/html_text.h"
#include "engine/wine_restart.h"
#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/machine.h"
#include "platform/named_lock.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/wine_server.h"
#include "settings/options_store.h"
#include "settings/statistics_store.h"
#include "ui/erase_main_dlg.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// A run has no time limit of its own: a big cache takes as long as it takes.
constexpr auto kNoTimeLimit = std::chrono::hours(24 * 365);

std::atomic<bool> interrupted = false;
// The write end of the running InterruptScope's pipe; -1 when none.
std::atomic<int> interruptPipe = -1;

constexpr char kInterruptByte = 'i';
constexpr char kStopByte = 's';

extern "C" void OnInterrupt(int) {
  const int savedErrno = errno;
  interrupted = true;
  if (const int fd = interruptPipe; fd >= 0) static_cast<void>(::write(fd, &kInterruptByte, 1));
  errno = savedErrno;
}

// Ctrl-C cancels the run the way the Cancel and Stop buttons do, so a half-done erase ends
// cleanly instead of dying between a file and its bookkeeping. A signal handler may do next to
// nothing, and the loop sleeps until its next event, so the handler writes a byte into a pipe
// and a thread waiting on the pipe hands `onInterrupt` to the loop at once.
class InterruptScope {
 public:
  InterruptScope(EventLoop& loop, std::function<void()> onInterrupt) {
    interrupted = false;
    if (::pipe2(pipe_, O_CLOEXEC) != 0) pipe_[0] = pipe_[1] = -1;
    if (pipe_[0] >= 0) {
      watcher_ = std::thread([this, &loop, onInterrupt = std::move(onInterrupt)] {
        char byte = 0;
        while (true) {
          const ssize_t got = ::read(pipe_[0], &byte, 1);
          if (got < 0 && errno == EINTR) continue;
          if (got != 1 || byte == kStopByte) return;
          static_cast<void>(loop.Post(onInterrupt));
        }
      });
      interruptPipe = pipe_[1];
    }
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptScope() {
    sigaction(SIGINT, &previous_, nullptr);
    interruptPipe = -1;
    if (watcher_.joinable()) {
      while (::write(pipe_[1], &kStopByte, 1) < 0 && errno == EINTR) {
      }
      watcher_.join();
    }
    for (const int fd : pipe_) {
      if (fd >= 0) ::close(fd);
    }
  }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction previous_ = {};
  int pipe_[2] = {-1, -1};
  std::thread watcher_;
};

std::string TextLine(std::string_view html) {
  std::string text = HtmlToText(html);
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

CliPluginResult ResultOf(LPARAM result) {
  switch (static_cast<PluginResult>(result)) {
    case PluginResult::Finished:
      return CliPluginResult::Finished;
    case PluginResult::Cancelled:
      return CliPluginResult::Cancelled;
    case PluginResult::Failed:
      break;
  }
  return CliPluginResult::Failed;
}

// Follows the run: the result of every plug-in, and progress for the terminal.
class RunRecorder final : public RunObserver {
 public:
  // `shown`: the cleaners whose progress the terminal sees (the window scans them all, but the
  // user asked about these).
  RunRecorder(const CMainController& controller, const CliProgress& progress,
              std::function<bool(const PluginId&)> shown)
      : controller_(controller), progress_(progress), shown_(std::move(shown)) {}

  void OnProgress(const ProgressRecord& record) override {
    if (!progress_ || !shown_(record.pluginId)) return;
    const Plugin* plugin = controller_.FindPlugin(record.pluginId);
    std::string text = TextLine(record.message);
    if (record.step != kNoStep && record.stepCount != kNoStep)
      text += " (" + std::to_string(record.step) + "/" + std::to_string(record.stepCount) + ")";
    progress_(plugin ? TextLine(plugin->GetFullNameHtml()) : record.pluginId, text);
  }
  void OnPluginDone(const PluginId& id, LPARAM result) override { results_[id] = ResultOf(result); }

  // The results since the last call, by plug-in.
  [[nodiscard]] std::map<PluginId, CliPluginResult> TakeResults() { return std::move(results_); }

 private:
  const CMainController& controller_;
  const CliProgress& progress_;
  std::function<bool(const PluginId&)> shown_;
  std::map<PluginId, CliPluginResult> results_;
};

// Holds the machine, its registry and the main window for the length of one command.
class CliSession {
 public:
  CliSession(const CliArguments& arguments, const fs::path& programFolder,
             const CliProgress& progress)
      : arguments_(arguments), programFolder_(programFolder), progress_(progress) {}
  ~CliSession() {
    CloseWindow();
    if (registry_) {
      static_cast<void>(registry_->Flush());
      RegistryStore::SetCurrent(nullptr);
    }
    Machine::SetCurrent(nullptr);
  }
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  [[nodiscard]] CliOutcome Run();

 private:
  [[nodiscard]] bool Open(CliOutcome& outcome);
  [[nodiscard]] bool CheckIds(CliOutcome& outcome) const;
  [[nodiscard]] bool Wanted(const PluginId& id) const;
  // Clicks `cid` and turns the loop until the run it starts has ended in one of these states.
  // False when the click started nothing (the window refused, and said why in a message box).
  [[nodiscard]] bool RunUntilDone(std::string_view cid, PageState runState, PageState resultsState);
  void Scan();
  // False when the window refused to erase.
  [[nodiscard]] bool Erase();
  [[nodiscard]] CliPluginReport Report(Plugin& plugin) const;
  // The window and its controller save settings when they go (the options, every plug-in's
  // selection), so they go while the registry is still current, before its last flush.
  // "options": lists the options, after setting the one named.
  void Options(CliOutcome& outcome);
  void CloseWindow();
  // --restart-wine: Wine's restart finishes the deletions left for it.
  void RestartWineNow(CliOutcome& outcome);

  const CliArguments& arguments_;
  const fs::path programFolder_;
  const CliProgress& progress_;
  std::unique_ptr<Machine> machine_;
  NamedLock instanceLock_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<HeadlessHost> host_;
  std::unique_ptr<CEraseMainDlg> dialog_;
  std::unique_ptr<RunRecorder> recorder_;
  std::set<PluginId> erasing_;  // the cleaners the erase was to run
  // What the built-in cleaners' counters said when the scan ended: an erase turns them into what
  // is left, and the report's scan line is to say what was found.
  std::map<PluginId, Plugin::TracksLeftMap> foundByScan_;
};

bool CliSession::Open(CliOutcome& outcome) {
  std::error_code ignored;
  outcome.machine = fs::absolute(arguments_.machine.value_or(Machine::DefaultPrefix()), ignored);
  std::string error;
  machine_ = Machine::Open(outcome.machine, &error);
  if (!machine_) {
    outcome.status = kCliUsage;
    outcome.error = "cannot open the machine: " + error;
    return false;
  }
  if (std::string problem = machine_->OwnerProblem(
          arguments_.allowForeignOwner ? ForeignOwner::AllowForRoot : ForeignOwner::Refuse);
      !problem.empty()) {
    outcome.status = kCliRefused;
    outcome.error = problem + (::geteuid() == 0 ? " (--allow-foreign-owner lets root go on)" : "");
    TraceToFile((programFolder_ / kTraceLogFileName).string(),
                "corvane-cli: " + outcome.error + "\n");
    return false;
  }
  if (IsWineServerRunning(outcome.machine)) {
    outcome.status = kCliRefused;
    outcome.error = "Wine is running on " + outcome.machine.string() +
                    " and owns its registry; close its programs (or run \"wineserver -k\") first";
    return false;
  }
  // The desktop program and the command line never work on the settings at the same time.
  if (instanceLock_.Open(kSingleInstanceMutexName) && !instanceLock_.TryLock()) {
    outcome.status = kCliRefused;
    outcome.error = "CorvaneErase is running; close its window (or its tray icon) first";
    return false;
  }
  Machine::SetCurrent(machine_.get());
  registry_ = std::make_unique<RegistryStore>(outcome.machine);
  RegistryStore::SetCurrent(registry_.get());
  TraceRegistryProblems(*registry_);
  TraceFileProblems();
  // Plug-in definitions and the trace log are found relative to the program folder.
  if (::chdir(programFolder_.c_str()) != 0) {
    outcome.status = kCliUsage;
    outcome.error = "cannot work in the program folder " + programFolder_.string();
    return false;
  }

  host_ = std::make_unique<HeadlessHost>();
  host_->Loop().AddAfterEventHook([this] { static_cast<void>(registry_->Flush()); });
  dialog_ = std::make_unique<CEraseMainDlg>(*host_, CommandLine{}, ReadScheduleMode);
  dialog_->CreateModeless();
  if (!host_->Loop().RunUntil([this] { return dialog_->Document() != nullptr; },
                              std::chrono::minutes(1))) {
    outcome.status = kCliUsage;
    outcome.error = "the main page does not load from " + programFolder_.string();
    return false;
  }
  recorder_ = std::make_unique<RunRecorder>(dialog_->Controller(), progress_,
                                            [this](const PluginId& id) { return Wanted(id); });
  dialog_->Controller().SetRunObserver(recorder_.get());
  return true;
}

bool CliSession::CheckIds(CliOutcome& outcome) const {
  for (const std::string& id : arguments_.only) {
    if (dialog_->Controller().FindPlugin(id) == nullptr) {
      outcome.status = kCliUsage;
      outcome.error = "no cleaner has the id \"" + id + "\" (corvane-cli list shows them)";
      return false;
    }
  }
  return true;
}

bool CliSession::Wanted(const PluginId& id) const {
  return arguments_.only.empty() ||
         std::find(arguments_.only.begin(), arguments_.only.end(), id) != arguments_.only.end();
}

bool CliSession::RunUntilDone(std::string_view cid, PageState runState, PageState resultsState) {
  CMainController& controller = dialog_->Controller();
  const PageState before = controller.State();
  const std::size_t messages = host_->Messages().size();
  static_cast<void>(ClickByCid(*dialog_, cid));
  static_cast<void>(host_->Loop().RunPending());  // the click itself, and what came of it so far
  if (controller.State() == before && host_->Messages().size() > messages) return false;
  // The run may have begun and ended already.
  bool running = controller.State() == runState || controller.PreviousState() == runState;
  // A cancelled erase ends the loop (the window closes, as after Stop); that too is an end.
  static_cast<void>(host_->Loop().RunUntil(
      [&] {
        // An interrupt handed over just before the run began was undone by its start.
        if (interrupted) controller.CancelEvent().Set();
        running = running || controller.State() == runState;
        // A list with nothing to run goes straight to the results; a cancelled run to Welcome.
        return controller.State() == resultsState || (running && controller.State() != runState);
      },
      kNoTimeLimit));
  return true;
}

void CliSession::Scan() {
  static_cast<void>(RunUntilDone("btn_scan", PageState::Scan, PageState::ScanResults));
  for (const Plugin& plugin : dialog_->Controller().Plugins()) {
    foundByScan_[plugin.GetId()] = plugin.TracksLeft();
  }
}

bool CliSession::Erase() {
  CMainController& controller = dialog_->Controller();
  // Only the plug-ins named take part; everyone's own selection comes back afterwards.
  std::vector<std::pair<Plugin*, bool>> selection;
  if (!arguments_.only.empty()) {
    for (Plugin& plugin : controller.Plugins()) {
      selection.emplace_back(&plugin, plugin.IsEnabled());
      plugin.SetEnabled(Wanted(plugin.GetId()));
    }
  }
  static_cast<void>(controller.SetState(PageState::Settings));
  for (const Plugin& plugin : controller.Plugins()) {
    if (plugin.IsEnabled()) erasing_.insert(plugin.GetId());
  }
  // With none selected the window's button is disabled: there is nothing to run.
  bool ran = true;
  if (!erasing_.empty()) {
    // --yes is the answer to the question the window asks before erasing.
    if (controller.Options().AsksBeforeErase()) host_->SetNextAnswer(IDYES);
    ran = RunUntilDone("btn_clean", PageState::Erase, PageState::EraseResults);
  }
  if (!ran) erasing_.clear();
  for (const auto& [plugin, enabled] : selection) plugin->SetEnabled(enabled);
  return ran;
}

CliPluginReport CliSession::Report(Plugin& plugin) const {
  CliPluginReport report;
  report.id = plugin.GetId();
  report.name = TextLine(plugin.GetNameHtml());
  report.selected = plugin.IsEnabled();
  if (const auto* custom = dynamic_cast<const CustomPlugin*>(&plugin)) {
    report.found = {{"files", custom->FilesFound()},
                    {"bytes", custom->BytesFound()},
                    {"registry", custom->RegistryFound()}};
  } else {
    const auto scanned = foundByScan_.find(plugin.GetId());
    const Plugin::TracksLeftMap& found =
        scanned != foundByScan_.end() ? scanned->second : plugin.TracksLeft();
    report.found.assign(found.begin(), found.end());
  }
  if (arguments_.details) {
    dom::Element page = dialog_->Document()->CreateElement("div");
    if (plugin.ShowDetails(page) != kPageNotShown) {
      const std::string html = page.InnerHtml();
      report.details = HtmlToText(html);
      report.detailTables = HtmlTables(html);
    }
  }
  report.erased = plugin.CopyCounters().current;
  report.failed = plugin.FailedCounts();
  if (arguments_.command == CliCommand::Stats) report.statistics = plugin.CopyCounters();
  report.inErase = erasing_.contains(plugin.GetId());
  if (report.inErase) report.leftForRestart = plugin.FilesLeftForRestart();
  return report;
}

void CliSession::RestartWineNow(CliOutcome& outcome) {
  switch (RestartWine(outcome.machine)) {
    case WineRestartResult::Restarted:
      outcome.wineRestarted = true;
      return;
    case WineRestartResult::WineRunning:
      outcome.error = "Wine started on " + outcome.machine.string() +
                      "; close its programs, then run: " + outcome.restartCommand;
      break;
    case WineRestartResult::WineMissing:
      outcome.error = "wineboot is not installed; the files wait for the next start of Wine";
      break;
    case WineRestartResult::Failed:
      outcome.error = "wineboot --restart failed; run it yourself: " + outcome.restartCommand;
      break;
  }
  outcome.status = kCliPluginFailed;
}

void CliSession::Options(CliOutcome& outcome) {
  OptionsStore& options = dialog_->Controller().Options();
  if (arguments_.optionValue) {
    const auto known = std::find_if(
        std::begin(kOptionNames), std::end(kOptionNames),
        [&](std::string_view name) { return EqualsNoCase(name, arguments_.optionName); });
    if (known == std::end(kOptionNames)) {
      outcome.status = kCliUsage;
      outcome.error =
          "no option is named \"" + arguments_.optionName + "\" (corvane-cli options shows them)";
      return;
    }
    options.Section("")[std::string(*known)] = *arguments_.optionValue ? "1" : "";
    if (!options.Save()) {
      outcome.status = kCliPluginFailed;
      outcome.error = "the option was not stored in the registry";
      return;
    }
  }
  const StringSection current = options.GetGlobalOptions();
  for (std::string_view name : kOptionNames) {
    outcome.options.emplace_back(name, IsOptionOn(current, name));
  }
}

void CliSession::CloseWindow() {
  if (dialog_) dialog_->Controller().SetRunObserver(nullptr);
  recorder_.reset();
  dialog_.reset();
}

CliOutcome CliSession::Run() {
  CliOutcome outcome;
  if (arguments_.command == CliCommand::Erase && !arguments_.yes) {
    outcome.status = kCliRefused;
    outcome.error = "erasing cannot be undone: add --yes to erase (scan shows what would go)";
    return outcome;
  }
  if (!Open(outcome) || !CheckIds(outcome)) return outcome;

  // Handed to the loop's thread, where the run lives; the window is there as long as the scope.
  const InterruptScope interrupt(host_->Loop(), [this] {
    if (dialog_) dialog_->Controller().CancelEvent().Set();
  });
  std::map<PluginId, CliPluginResult> scanned;
  std::map<PluginId, CliPluginResult> erased;
  if (arguments_.command == CliCommand::Options) {
    Options(outcome);
    CloseWindow();
    if (outcome.status == kCliOk && !registry_->Flush()) {
      outcome.status = kCliPluginFailed;
      outcome.error = "the registry was not saved: " + registry_->LastSaveProblem();
    }
    return outcome;
  }
  if (arguments_.command == CliCommand::Stats) {
    // The figures the statistics page shows, stored ones even while counting is off.
    CMainController& controller = dialog_->Controller();
    outcome.statisticsEnabled = controller.StatisticsEnabled();
    const OleDate last = LoadStatistics(controller.Plugins(), OleDateNow());
    if (IsCalendarDate(last)) outcome.lastCleanup = FormatCleanupDate(last);
  } else if (arguments_.command != CliCommand::List) {
    Scan();
    scanned = recorder_->TakeResults();
  }
  if (arguments_.command == CliCommand::Erase && !interrupted &&
      dialog_->Controller().State() == PageState::ScanResults) {
    if (!Erase()) {
      // Wine started on the prefix during the scan: the window refused, as it does at a desk.
      outcome.status = kCliRefused;
      outcome.error = host_->Messages().back().text;
      return outcome;
    }
    erased = recorder_->TakeResults();
  }
  const auto resultOf = [](const std::map<PluginId, CliPluginResult>& results, const PluginId& id) {
    const auto found = results.find(id);
    return found == results.end() ? CliPluginResult::NotRun : found->second;
  };
  for (Plugin& plugin : dialog_->Controller().Plugins()) {
    if (!Wanted(plugin.GetId())) continue;
    CliPluginReport report = Report(plugin);
    report.scan = resultOf(scanned, report.id);
    report.erase = resultOf(erased, report.id);
    outcome.plugins.push_back(std::move(report));
  }
  const bool leftForRestart = std::any_of(outcome.plugins.begin(), outcome.plugins.end(),
                                          [](const auto& p) { return p.leftForRestart != 0; });
  if (leftForRestart) outcome.restartCommand = WineRestartCommand(outcome.machine);
  if (interrupted) {
    outcome.cancelled = true;
    outcome.status = kCliPluginFailed;
    outcome.error = "cancelled";
  } else if (std::any_of(outcome.plugins.begin(), outcome.plugins.end(), [](const auto& p) {
               // What stayed (a value of a read-only hive, say) is a failure even when the
               // plug-in ran to its end.
               return p.scan == CliPluginResult::Failed || p.erase == CliPluginResult::Failed ||
                      p.failed.items != 0;
             })) {
    outcome.status = kCliPluginFailed;
    outcome.error = "some cleaners failed; the trace log CorvaneEraser.log in " +
                    programFolder_.string() + " says why";
  }
  CloseWindow();
  if (!registry_->Flush()) {
    outcome.status = kCliPluginFailed;
    outcome.error = "the registry was not saved: " + registry_->LastSaveProblem();
    return outcome;
  }
  if (arguments_.restartWine && leftForRestart && !interrupted) RestartWineNow(outcome);
  return outcome;
}

}  // namespace

CliOutcome RunCliCommand(const CliArguments& arguments, const fs::path& programFolder,
                         const CliProgress& progress) {
  CliSession session(arguments, programFolder, progress);
  return session.Run();
}

}  // namespace corvane
