// The page states of the main window: which layout each state shows and how its areas are filled,
// and the results wizard's moves from plug-in to plug-in.

#include "engine/format_size.h"
#include "engine/wine_restart.h"
#include "platform/machine.h"
#include "ui/erase_main_dlg.h"
#include "ui/html_escape.h"
#include "ui/main_controller.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

struct StateLayout {
  const char* layout;
  const char* header;  // into "HeaderTitle"; null: the header stays as it is
};

StateLayout LayoutOf(PageState state) {
  switch (state) {
    case PageState::Welcome:
      return {"html/Common/welcome.html", "html/Common/layout_logo.html"};
    case PageState::Normal:
      return {"html/Common/layout_normal.html", nullptr};
    case PageState::Scan:
      return {"html/Common/layout_scan.html", nullptr};
    case PageState::ScanResults:
    case PageState::EraseResults:
      return {"html/Common/layout_results_wizard.html", "html/Common/layout_title.html"};
    case PageState::Settings:
      return {"html/Common/settings.html", "html/Common/layout_logo.html"};
    case PageState::Erase:
      return {"html/Common/layout_erase.html", nullptr};
  }
  return {nullptr, nullptr};
}

bool IsResultsState(PageState state) {
  return state == PageState::ScanResults || state == PageState::EraseResults;
}

}  // namespace

dom::Element CMainController::Element(std::string_view id) const {
  return window_.GetElement(id);
}

void CMainController::SetHtml(std::string_view id, std::string_view html) {
  window_.SetElementHtml(id, html);
}

std::string CMainController::LanguageText(std::string_view fileName) const {
  return TemplateStore::Load("html/" + languageFolder_ + "/" + std::string(fileName));
}

void CMainController::OnDocumentComplete() {
  static_cast<void>(SetState(PageState::Welcome));
}

int CMainController::SetState(PageState state) {
  previousState_ = state_;
  state_ = state;
  if (!IsResultsState(state)) selectedPlugin_.clear();
  if (!Element("Layout")) return 1;
  // Rendering a results state highlights the row of the page it shows, and that stays: a fixed
  // first cleaner here would highlight a row whose page is not shown when the wizard is entered
  // from its far end (Back from the Settings page).
  Render();
  switch (state) {
    case PageState::Scan:
      StartScanRun();
      break;
    case PageState::Erase:
      StartEraseRun();
      break;
    default:
      break;
  }
  return 0;
}

void CMainController::Render() {
  const StateLayout layout = LayoutOf(state_);
  SetHtml("Layout", TemplateStore::Load(layout.layout));
  if (layout.header != nullptr) SetHtml("HeaderTitle", TemplateStore::Load(layout.header));
  switch (state_) {
    case PageState::Welcome:
      RenderWelcome();
      break;
    case PageState::ScanResults:
    case PageState::EraseResults:
      selectedPlugin_ = resultsPlugin_;
      RenderWizardHeader();
      break;
    case PageState::Settings:
      // The schedule block joins the Settings page here once the scheduler is built.
      break;
    default:
      break;
  }
  RenderPluginsArea();
  RenderSettingsArea();
  RenderTabsArea();
  RenderFixedButtons();
  RenderStateButtons();
  RenderProcessArea();
  RenderDetailsArea();
  RenderHint();
}

void CMainController::RenderWelcome() {
  static constexpr std::pair<const char*, const char*> kParts[] = {
      {"WelcomeMsg", "welcome_msg.html"},        {"ScanNowButton", "btn_scannow.html"},
      {"HelpButton", "btn_help.html"},           {"AboutButton", "btn_about.html"},
      {"LanguageButton", "btn_hslanguage.html"}, {"CheckVersionButton", "btn_checkversion.html"},
  };
  for (const auto& [id, file] : kParts) {
    if (Element(id)) SetHtml(id, LanguageText(file));
  }
}

void CMainController::RenderWizardHeader() {
  Plugin* plugin = FindPlugin(resultsPlugin_);
  window_.SetElementHtml("TitleText", plugin != nullptr ? plugin->GetFullNameHtml() : "");
  if (dom::Element results = Element("ResultsArea"); results && plugin != nullptr) {
    static_cast<void>(plugin->ShowDescription(results));
  }
}

void CMainController::RenderPluginsArea() {
  dom::Element area = Element("PluginsArea");
  if (!area) return;
  const std::string row =
      TemplateStore::Load(state_ == PageState::Settings ? "html/Common/pluginsgroup_nc_item.html"
                                                        : "html/Common/pluginsgroup_item.html");
  std::vector<TemplateStore::Replacements> rows;
  const std::string separator = LanguageText("thousands_separator.txt");
  for (const Plugin& plugin : plugins_) {
    TemplateStore::Replacements fill = {
        {"#pluginid#", HtmlEscape(plugin.GetId())},
        {"#pluginname#", plugin.GetNameHtml()},
        {"#pluginenabled#", plugin.IsEnabled() ? "checked" : ""},
    };
    // The Settings page: what each cleaner's erase would remove, "—" when nothing.
    if (state_ == PageState::Settings) {
      const CounterPair found = plugin.FoundTotals();
      fill.emplace_back("#found#", found.items == 0 && found.bytes == 0
                                       ? std::string("—")
                                       : FormatCount(found.items, separator) +
                                             (found.bytes != 0 ? " · " + FormatSize(found.bytes)
                                                               : std::string()));
    }
    if (state_ == PageState::EraseResults && !plugin.IsEnabled()) {
      fill.emplace_back("#selected#", "disabled");
    }
    fill.emplace_back("#selected#", plugin.GetId() == selectedPlugin_ ? R"(class="selected")" : "");
    rows.push_back(std::move(fill));
  }
  area.SetInnerHtml(TemplateStore::BuildList(TemplateStore::Load("html/Common/plugins_area.html"),
                                             row, "#plugins#", rows));
}

void CMainController::RenderSettingsArea() {
  dom::Element area = Element("SettingsArea");
  if (!area || window_.Document() == nullptr) return;
  static_cast<void>(options_.RenderOptionsBlock(*window_.Document(), area, languageFolder_));
  schedule_.RenderScheduleChoice(*window_.Document(), languageFolder_);
}

void CMainController::RenderTabsArea() {
  if (!Element("TabsArea")) return;
  const auto tab = [this](const char* name, bool active) {
    return LanguageText(std::string(name) + (active ? "_active.html" : ".html"));
  };
  std::string html = TemplateStore::Load("html/Common/tabs_area.html");
  TemplateStore::Fill(
      html, {
                {"#tab_report#", tab("tab_report", state_ == PageState::EraseResults)},
                {"#tab_cleanup#", tab("tab_cleanup", state_ == PageState::ScanResults ||
                                                         state_ == PageState::Erase)},
                {"#tab_settings#",
                 tab("tab_settings", state_ == PageState::Normal || state_ == PageState::Scan)},
            });
  SetHtml("TabsArea", html);
}

void CMainController::RenderFixedButtons() {
  if (!Element("ButtonsFixedArea")) return;
  std::string html = TemplateStore::Load("html/Common/buttons_fixed.html");
  TemplateStore::Fill(
      html, {
                {"#btn_help#", LanguageText("btn_help.html")},
                {"#btn_scheduler#", ""},
                {"#btn_about#", LanguageText("btn_about.html")},
                {"#btn_statistics#", LanguageText("btn_statistics.html")},
                {"#btn_hslanguage#",
                 state_ == PageState::Normal ? LanguageText("btn_hslanguage.html") : ""},
                {"#btn_skipall#",
                 state_ == PageState::ScanResults ? LanguageText("btn_skipall.html") : ""},
            });
  SetHtml("ButtonsFixedArea", html);
}

void CMainController::RenderStateButtons() {
  const char* bar = nullptr;
  switch (state_) {
    case PageState::Normal:
      bar = "html/Common/buttons_normal.html";
      break;
    case PageState::Scan:
      bar = "html/Common/buttons_scan.html";
      break;
    case PageState::ScanResults:
      bar = "html/Common/buttons_scan_results.html";
      break;
    case PageState::Erase:
      bar = "html/Common/buttons_erase.html";
      break;
    case PageState::EraseResults:
      bar = "html/Common/buttons_erase_results.html";
      break;
    case PageState::Settings:
      bar = "html/Common/buttons_settings.html";
      break;
    case PageState::Welcome:
      break;
  }
  // A state without a bar leaves the area as its layout has it.
  if (bar == nullptr || !Element("ButtonsControlArea")) return;
  std::string html = TemplateStore::Load(bar);
  for (const char* button :
       {"btn_scan", "btn_cancel", "btn_back", "btn_next", "btn_clean", "btn_abort", "btn_finish"}) {
    TemplateStore::Replace(html, "#" + std::string(button) + "#",
                           LanguageText(std::string(button) + ".html"));
  }
  if (state_ == PageState::Settings && FirstEnabledPlugin() == nullptr) {
    TemplateStore::Replace(html, R"(cid="btn_clean")",
                           R"(cid="btn_clean" disabled aria-describedby="NothingTicked")");
  }
  SetHtml("ButtonsControlArea", html);
}

void CMainController::RenderProcessArea() {
  if (Element("ProcessArea")) PutProcessTable();
}

void CMainController::PutProcessTable() {
  dom::Element area = Element("ProcessArea");
  if (!area) return;
  const std::string row = TemplateStore::Load("html/Common/process_table_item.html");
  std::vector<TemplateStore::Replacements> rows;
  std::vector<const Plugin*> shown;
  for (const Plugin& plugin : plugins_) {
    if (state_ != PageState::Scan && !plugin.IsEnabled()) continue;
    rows.push_back({{"#pluginid#", HtmlEscape(plugin.GetId())}});
    shown.push_back(&plugin);
  }
  area.SetInnerHtml(TemplateStore::BuildList(TemplateStore::Load("html/Common/process_table.html"),
                                             row, "#rows#", rows));
  // Rows waiting for their turn name their plug-in too, so the table reads as the run's plan.
  for (const Plugin* plugin : shown) {
    window_.SetElementHtml("ProcessTableRowName_" + plugin->GetId(), plugin->GetFullNameHtml());
  }
}

void CMainController::RenderDetailsArea() {
  dom::Element details = Element("DetailsArea");
  if (!details) return;
  if (!somethingToShow_) {
    details.SetInnerHtml(LanguageText("plugins_not_selected.html"));
    return;
  }
  Plugin* plugin = FindPlugin(selectedPlugin_);
  if (plugin == nullptr) {
    details.SetInnerHtml("");
    return;
  }
  if (state_ == PageState::ScanResults) {
    static_cast<void>(plugin->ShowDetails(details));
  } else if (state_ == PageState::EraseResults) {
    static_cast<void>(plugin->ShowReport(details));
  }
}

void CMainController::RenderHint() {
  const char* hint = nullptr;
  switch (state_) {
    case PageState::Normal:
      hint = "hint_normal.html";
      break;
    case PageState::Scan:
      hint = "hint_scan.html";
      break;
    case PageState::ScanResults:
      hint = "hint_scan_results.html";
      break;
    case PageState::Settings:
      hint = "hint_settings.html";
      break;
    case PageState::Erase:
      hint = "hint_erase.html";
      break;
    case PageState::EraseResults:
      hint = "hint_erase_results.html";
      break;
    case PageState::Welcome:
      break;
  }
  if (hint == nullptr) return;
  if (state_ == PageState::EraseResults && eraseStopped_) hint = "hint_erase_stopped.html";
  std::string text = LanguageText(hint);
  if (state_ == PageState::Settings && FirstEnabledPlugin() == nullptr) {
    text += LanguageText("hint_nothing_ticked.html");
  } else if (state_ == PageState::Settings) {
    CounterPair totals;
    for (const Plugin& plugin : plugins_) {
      if (plugin.IsEnabled()) totals.Add(plugin.FoundTotals());
    }
    const std::string separator = LanguageText("thousands_separator.txt");
    std::string total = LanguageText("hint_settings_total.html");
    TemplateStore::Fill(total, {{"#items#", FormatCount(totals.items, separator)},
                                {"#size#", FormatSize(totals.bytes)}});
    text += total;
  }
  SetHtml("hint", text);
  if (state_ == PageState::ScanResults) {
    SetHtml("hint_sybtitle", LanguageText("hint_scan_results_subtitle.html"));
  } else if (state_ == PageState::EraseResults) {
    RenderRestartPending();
  }
}

void CMainController::RenderRestartPending() {
  std::uint32_t files = 0;
  for (const Plugin& plugin : plugins_) {
    if (plugin.IsEnabled()) files += plugin.FilesLeftForRestart();
  }
  const Machine* machine = Machine::Current();
  if (files == 0 || machine == nullptr) return;
  std::string html = LanguageText("hint_restart_pending.html");
  TemplateStore::Fill(html, {{"#count#", std::to_string(files)},
                             {"#command#", HtmlEscape(WineRestartCommand(machine->Prefix()))}});
  SetHtml("hint_sybtitle", html);
}

bool CMainController::WizardShows(const Plugin& plugin) const {
  if (!plugin.HasItems()) return false;
  if (state_ == PageState::Scan || state_ == PageState::ScanResults) return true;
  // The report shows the cleaners the erase reached (all selected ones unless it was stopped).
  return plugin.IsEnabled() && (!eraseStopped_ || erasedInRun_.contains(plugin.GetId()));
}

PluginId CMainController::FirstWizardPlugin() const {
  for (const Plugin& plugin : plugins_) {
    if (WizardShows(plugin)) return plugin.GetId();
  }
  return {};
}

PluginId CMainController::LastWizardPlugin() const {
  PluginId last;
  for (const Plugin& plugin : plugins_) {
    if (WizardShows(plugin)) last = plugin.GetId();
  }
  return last;
}

void CMainController::WizardNext() {
  bool passed = false;
  for (const Plugin& plugin : plugins_) {
    if (passed && WizardShows(plugin)) {
      resultsPlugin_ = plugin.GetId();
      Render();
      return;
    }
    if (plugin.GetId() == resultsPlugin_) passed = true;
  }
  if (state_ == PageState::ScanResults) {
    static_cast<void>(SetState(PageState::Settings));
  } else if (state_ == PageState::EraseResults) {
    Finish();
  }
}

void CMainController::WizardPrevious() {
  const Plugin* before = nullptr;
  for (const Plugin& plugin : plugins_) {
    if (plugin.GetId() == resultsPlugin_) break;
    if (WizardShows(plugin)) before = &plugin;
  }
  // A page no longer in the list (or none at all) has nothing before it.
  if (before != nullptr && FindPlugin(resultsPlugin_) != nullptr) {
    resultsPlugin_ = before->GetId();
    Render();
    return;
  }
  if (state_ == PageState::ScanResults) {
    static_cast<void>(SetState(PageState::Welcome));
  } else if (state_ == PageState::EraseResults) {
    static_cast<void>(SetState(PageState::Settings));
  }
}

void CMainController::WizardLast() {
  resultsPlugin_ = LastWizardPlugin();
  if (state_ == PageState::ScanResults) static_cast<void>(SetState(PageState::Settings));
}

void CMainController::Finish() {
  RunRebootCheck();
  static_cast<void>(SetState(PageState::Welcome));
}

}  // namespace corvane
