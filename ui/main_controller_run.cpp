// Scan and erase runs: the plug-ins one after another, each on its worker thread. The run lives on
// the user-interface thread: a completion message marks the plug-in's row and starts the next one,
// and the cancel event is the only thing the threads share.

#include <algorithm>
#include <string>

#include "app/trace_log.h"
#include "engine/format_size.h"
#include "settings/statistics_store.h"
#include "ui/erase_main_dlg.h"
#include "ui/main_controller.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

std::string StepText(std::int32_t step) {
  return step == kNoStep ? std::string() : std::to_string(step);
}

// The share of the plug-in at work that its own steps say is done.
double StepFraction(const ProgressRecord& record) {
  if (record.step == kNoStep || record.stepCount <= 0) return 0.0;
  return std::clamp(static_cast<double>(record.step) / record.stepCount, 0.0, 1.0);
}

}  // namespace

void CMainController::StartScanRun() {
  // The cleaners read the options in memory; the registry gets them at the start of each scan.
  static_cast<void>(options_.Save());
  PublishCleaningOptions();
  cancelEvent_.Reset();
  somethingToShow_ = true;
  runIndex_ = 0;
  runCount_ = plugins_.Size();
  runDone_ = {};
  runTotal_ = {};
  for (Plugin& plugin : plugins_) plugin.SetInRun(true);
  if (StartNext({}) == 2) {
    resultsPlugin_ = FirstWizardPlugin();
    static_cast<void>(SetState(PageState::ScanResults));
  }
}

void CMainController::StartEraseRun() {
  somethingToShow_ = FirstEnabledPlugin() != nullptr;
  selectedPlugin_ = kNoPluginSelected;
  PutProcessTable();
  PublishCleaningOptions();
  cancelEvent_.Reset();
  erasedInRun_.clear();
  eraseStopped_ = false;
  runIndex_ = 0;
  runCount_ = 0;
  runDone_ = {};
  runTotal_ = {};
  for (const Plugin& plugin : plugins_) {
    if (!plugin.IsEnabled()) continue;
    ++runCount_;
    runTotal_.Add(plugin.FoundTotals());
  }
  for (Plugin& plugin : plugins_) plugin.ResetCurrent();
  runDate_ = OleDateNow();
  if (OnDifferentDays(runDate_, lastCleanupDate_) && IsCalendarDate(lastCleanupDate_)) {
    for (Plugin& plugin : plugins_) plugin.ResetErasedToday();
  }
  if (StartNext({}) == 2) {
    // Nothing was erased: the report names no cleaner (not the last page of the scan results).
    resultsPlugin_ = FirstWizardPlugin();
    static_cast<void>(SetState(PageState::EraseResults));
  }
}

int CMainController::StartNext(const PluginId& previous) {
  std::size_t next = 0;
  if (!previous.empty()) {
    while (next < plugins_.Size() && plugins_.At(next).GetId() != previous) ++next;
    ++next;
  }
  for (; next < plugins_.Size(); ++next) {
    Plugin& plugin = plugins_.At(next);
    if (state_ == PageState::Scan) {
      SetRowStatus(plugin.GetId(), LanguageText("state_processing.html"));
      MarkRow(plugin.GetId(), RowMark::Running);
      ++runIndex_;
      plugin.StartScan(&cancelEvent_);
      return 0;
    }
    if (state_ != PageState::Erase) return 0;
    if (!plugin.IsEnabled()) continue;  // only the selected cleaners erase
    SetRowStatus(plugin.GetId(), LanguageText("state_processing.html"));
    MarkRow(plugin.GetId(), RowMark::Running);
    erasedInRun_.insert(plugin.GetId());
    ++runIndex_;
    plugin.StartErase(&cancelEvent_);
    return 0;
  }
  return 2;
}

std::string CMainController::FinishedStatus(LPARAM result, RowMark& mark) const {
  const bool finished = result == 0 || result == 2;
  mark = finished ? RowMark::Done : RowMark::Failed;
  return LanguageText(finished ? "state_finished.html" : "state_failed.html");
}

void CMainController::OnPluginScanned(const PluginId& id, LPARAM result) {
  if (runObserver_) runObserver_->OnPluginDone(id, result);
  if (cancelEvent_.IsSet()) {
    static_cast<void>(SetState(PageState::Welcome));
    return;
  }
  if (const Plugin* plugin = FindPlugin(id)) runDone_.Add(plugin->FoundTotals());
  RowMark mark = RowMark::Done;
  SetRowStatus(id, FinishedStatus(result, mark));
  MarkRow(id, mark);
  if (StartNext(id) == 2) {
    resultsPlugin_ = FirstWizardPlugin();
    static_cast<void>(SetState(PageState::ScanResults));
  }
}

void CMainController::OnPluginErased(const PluginId& id, LPARAM result) {
  if (runObserver_) runObserver_->OnPluginDone(id, result);
  const auto firstEnabledId = [this] {
    const Plugin* first = FirstEnabledPlugin();
    return first != nullptr ? first->GetId() : PluginId();
  };
  if (cancelEvent_.IsSet()) {
    // Stop ends the run, and the report says what is gone already: the user decides what comes
    // next (closing the window follows the schedule as always).
    eraseStopped_ = true;
    RecordCleanup(false);
    resultsPlugin_ = FirstWizardPlugin();
    selectedPlugin_ = resultsPlugin_;
    static_cast<void>(
        SetState(resultsPlugin_.empty() ? PageState::Welcome : PageState::EraseResults));
    return;
  }
  if (const Plugin* plugin = FindPlugin(id)) runDone_.Add(plugin->CopyCounters().current);
  RowMark mark = RowMark::Done;
  SetRowStatus(id, FinishedStatus(result, mark));
  MarkRow(id, mark);
  if (StartNext(id) != 2) return;
  resultsPlugin_ = FirstWizardPlugin();
  selectedPlugin_ = firstEnabledId();
  RecordCleanup(true);
  if (!resultsPlugin_.empty()) {
    static_cast<void>(SetState(PageState::EraseResults));
  } else if (state_ == PageState::Erase || state_ == PageState::EraseResults) {
    RunRebootCheck();
    static_cast<void>(SetState(PageState::Welcome));
  }
}

void CMainController::ShowProgress(const ProgressRecord& record) {
  if (runObserver_) runObserver_->OnProgress(record);
  const auto now = std::chrono::steady_clock::now();
  // Steps come as fast as files are looked at; a message of its own (no step) always shows.
  const bool frequent = record.step != kNoStep && record.step != record.stepCount;
  if (frequent && record.pluginId == progressPlugin_ && now - lastProgress_ < kProgressInterval) {
    return;
  }
  progressPlugin_ = record.pluginId;
  lastProgress_ = now;
  dom::Element area = Element("ResultsArea");
  if (!area) return;
  // The erase weighs each cleaner by what its scan found; the scan, not knowing, weighs them
  // alike.
  const Plugin* plugin = FindPlugin(record.pluginId);
  double fraction = 0.0;
  if (state_ == PageState::Erase && runTotal_.items != 0) {
    const double working =
        plugin != nullptr ? plugin->FoundTotals().items * StepFraction(record) : 0;
    fraction = (runDone_.items + working) / runTotal_.items;
  } else if (runCount_ != 0 && runIndex_ != 0) {
    fraction = (static_cast<double>(runIndex_ - 1) + StepFraction(record)) / runCount_;
  }
  const std::string separator = LanguageText("thousands_separator.txt");
  std::string line =
      LanguageText(state_ == PageState::Erase ? "progress_erase.html" : "progress_scan.html");
  TemplateStore::Fill(line, {{"#index#", std::to_string(runIndex_)},
                             {"#count#", std::to_string(runCount_)},
                             {"#items#", FormatCount(runDone_.items, separator)},
                             {"#size#", FormatSizeOrDash(runDone_.bytes)}});
  std::string html = TemplateStore::Load("html/Common/scanning_results_area.html");
  TemplateStore::Fill(
      html, {
                {"#runline#", line},
                {"#percent#", std::to_string(std::clamp(static_cast<int>(fraction * 100), 0, 100))},
                {"#scanmessage#", record.message},
                {"#step#", StepText(record.step)},
                {"#stepcount#", StepText(record.stepCount)},
            });
  area.SetInnerHtml(html);
}

void CMainController::SetRowStatus(const PluginId& id, std::string_view text) {
  const Plugin* plugin = FindPlugin(id);
  if (plugin == nullptr) return;
  // Both are HTML already: the name was escaped where it was made, the status is a language text.
  window_.SetElementHtml("ProcessTableRowName_" + id, plugin->GetFullNameHtml());
  window_.SetElementHtml("ProcessTableRowStatus_" + id, text);
}

void CMainController::MarkRow(const PluginId& id, RowMark mark) {
  dom::Element row = Element("ProcessTableRow_" + id);
  if (!row) return;
  switch (mark) {
    case RowMark::Running:
      row.SetAttribute("class", "running");
      break;
    case RowMark::Done:
      row.SetAttribute("class", "done");
      break;
    case RowMark::Failed:
      row.SetAttribute("class", "failed");
      break;
  }
}

void CMainController::RecordCleanup(bool finished) {
  lastCleanupDate_ = OleDateNow();
  // A run that crossed midnight starts the new day's count.
  if (OnDifferentDays(runDate_, lastCleanupDate_) && IsCalendarDate(lastCleanupDate_)) {
    for (Plugin& plugin : plugins_) plugin.ResetErasedToday();
  }
  if (statisticsEnabled_ && !SaveStatistics(plugins_, lastCleanupDate_)) {
    HalvikTrace("RecordCleanup: the statistics were not saved\n");
  }
  // An aborted run leaves the restart flag as it was; a finished one raises it, and only the
  // restart offer lowers it, so files left by an earlier run are not forgotten.
  if (!finished) return;
  for (const Plugin& plugin : plugins_) {
    if (plugin.IsEnabled() && plugin.IsRebootNeeded()) rebootNeeded_ = true;
  }
}

}  // namespace corvane
