#include "cli/cli_session.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>

#include "app/erase_app.h"
#include "app/registry_trace.h"
#include "app/trace_log.h"
#include "cleaners/custom/custom_plugin.h"
#include "cli/html_text.h"
#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/machine.h"
#include "platform/named_lock.h"
#include "platform/registry_store.h"
#include "platform/wine_server.h"
#include "ui/erase_main_dlg.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// A run has no time limit of its own: a big cache takes as long as it takes.
constexpr auto kNoTimeLimit = std::chrono::hours(24 * 365);

std::atomic<bool> interrupted = false;

extern "C" void OnInterrupt(int) {
  interrupted = true;
}

// Ctrl-C cancels the run the way the Cancel and Stop buttons do, so a half-done erase ends
// cleanly instead of dying between a file and its bookkeeping.
class InterruptScope {
 public:
  InterruptScope() {
    interrupted = false;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction previous_ = {};
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
  RunRecorder(const CMainController& controller, const CliProgress& progress)
      : controller_(controller), progress_(progress) {}

  void OnProgress(const ProgressRecord& record) override {
    if (!progress_) return;
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
  std::map<PluginId, CliPluginResult> results_;
};

// Holds the machine, its registry and the main window for the length of one command.
class CliSession {
 public:
  CliSession(const CliArguments& arguments, const fs::path& programFolder,
             const CliProgress& progress)
      : arguments_(arguments), programFolder_(programFolder), progress_(progress) {}
  ~CliSession() {
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
  void RunUntilDone(std::string_view cid, PageState runState, PageState resultsState);
  void Scan();
  void Erase();
  [[nodiscard]] CliPluginReport Report(Plugin& plugin) const;

  const CliArguments& arguments_;
  const fs::path programFolder_;
  const CliProgress& progress_;
  std::unique_ptr<Machine> machine_;
  NamedLock instanceLock_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<HeadlessHost> host_;
  std::unique_ptr<CEraseMainDlg> dialog_;
  std::unique_ptr<RunRecorder> recorder_;
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
  recorder_ = std::make_unique<RunRecorder>(dialog_->Controller(), progress_);
  dialog_->Controller().SetRunObserver(recorder_.get());
  return true;
}

bool CliSession::CheckIds(CliOutcome& outcome) const {
  for (const std::string& id : arguments_.only) {
    if (dialog_->Controller().FindPlugin(id) == nullptr) {
      outcome.status = kCliUsage;
      outcome.error = "no plug-in has the id \"" + id + "\" (corvane-cli list shows them)";
      return false;
    }
  }
  return true;
}

bool CliSession::Wanted(const PluginId& id) const {
  return arguments_.only.empty() ||
         std::find(arguments_.only.begin(), arguments_.only.end(), id) != arguments_.only.end();
}

void CliSession::RunUntilDone(std::string_view cid, PageState runState, PageState resultsState) {
  CMainController& controller = dialog_->Controller();
  bool running = false;
  bool cancelled = false;
  static_cast<void>(ClickByCid(*dialog_, cid));
  static_cast<void>(host_->Loop().RunUntil(
      [&] {
        if (interrupted && !cancelled) {
          controller.CancelEvent().Set();
          cancelled = true;
        }
        running = running || controller.State() == runState;
        // A list with nothing to run goes straight to the results; a cancelled run to Welcome.
        return controller.State() == resultsState || (running && controller.State() != runState);
      },
      kNoTimeLimit));
}

void CliSession::Scan() {
  RunUntilDone("btn_scan", PageState::Scan, PageState::ScanResults);
}

void CliSession::Erase() {
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
  RunUntilDone("btn_clean", PageState::Erase, PageState::EraseResults);
  for (const auto& [plugin, enabled] : selection) plugin->SetEnabled(enabled);
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
    report.found.assign(plugin.TracksLeft().begin(), plugin.TracksLeft().end());
  }
  if (arguments_.details) {
    dom::Element page = dialog_->Document()->CreateElement("div");
    if (plugin.ShowDetails(page) != kPageNotShown) report.details = HtmlToText(page.InnerHtml());
  }
  report.erased = plugin.CopyCounters().current;
  report.failed = plugin.FailedCounts();
  return report;
}

CliOutcome CliSession::Run() {
  CliOutcome outcome;
  if (arguments_.command == CliCommand::Erase && !arguments_.yes) {
    outcome.status = kCliRefused;
    outcome.error = "erasing cannot be undone: add --yes to erase (scan shows what would go)";
    return outcome;
  }
  if (!Open(outcome) || !CheckIds(outcome)) return outcome;

  const InterruptScope interrupt;
  std::map<PluginId, CliPluginResult> scanned;
  std::map<PluginId, CliPluginResult> erased;
  if (arguments_.command != CliCommand::List) {
    Scan();
    scanned = recorder_->TakeResults();
  }
  if (arguments_.command == CliCommand::Erase && !interrupted &&
      dialog_->Controller().State() == PageState::ScanResults) {
    Erase();
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
  if (interrupted) {
    outcome.status = kCliPluginFailed;
    outcome.error = "cancelled";
  } else if (std::any_of(outcome.plugins.begin(), outcome.plugins.end(), [](const auto& p) {
               return p.scan == CliPluginResult::Failed || p.erase == CliPluginResult::Failed;
             })) {
    outcome.status = kCliPluginFailed;
    outcome.error = "some plug-ins failed; the trace log CorvaneEraser.log in " +
                    programFolder_.string() + " says why";
  }
  if (!registry_->Flush()) {
    outcome.status = kCliPluginFailed;
    outcome.error = "the registry was not saved: " + registry_->LastSaveProblem();
  }
  return outcome;
}

}  // namespace

bool IsByteCounter(const std::string& name) {
  return name.ends_with("size") || name.ends_with("bytes");
}

CliOutcome RunCliCommand(const CliArguments& arguments, const fs::path& programFolder,
                         const CliProgress& progress) {
  CliSession session(arguments, programFolder, progress);
  return session.Run();
}

}  // namespace corvane
