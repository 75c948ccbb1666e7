// Scan and erase runs: the plug-ins one after another, each on its worker thread. The run lives on
// the user-interface thread: a completion message marks the plug-in's row and starts the next one,
// and the cancel event is the only thing the threads share.

#include <string>

#include "app/trace_log.h"
#include "settings/statistics_store.h"
#include "ui/erase_main_dlg.h"
#include "ui/main_controller.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

std::string StepText(std::int32_t step) {
  return step == kNoStep ? std::string() : std::to_string(step);
}

}  // namespace

void CMainController::StartScanRun() {
  // The cleaners read the options in memory; the registry gets them at the start of each scan.
  static_cast<void>(options_.Save());
  PublishCleaningOptions();
  cancelEvent_.Reset();
  somethingToShow_ = true;
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
      plugin.StartScan(&cancelEvent_);
      return 0;
    }
    if (state_ != PageState::Erase) return 0;
    if (!plugin.IsEnabled()) continue;  // only the selected cleaners erase
    SetRowStatus(plugin.GetId(), LanguageText("state_processing.html"));
    MarkRow(plugin.GetId(), RowMark::Running);
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
    selectedPlugin_ = firstEnabledId();
    RecordCleanup(false);
    static_cast<void>(SetState(PageState::Welcome));
    window_.RunCancelHandling();
    return;
  }
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
  dom::Element area = Element("ResultsArea");
  if (!area) return;
  std::string html = TemplateStore::Load("html/Common/scanning_results_area.html");
  TemplateStore::Fill(html, {
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
