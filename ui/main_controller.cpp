// The controller's construction and its click dispatcher.

#include "ui/main_controller.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "app/trace_log.h"
#include "cleaners/browser/browser_cache_cleaner.h"
#include "cleaners/browser/browser_cookies_cleaner.h"
#include "cleaners/browser/browser_forms_cleaner.h"
#include "cleaners/browser/browser_history_cleaner.h"
#include "cleaners/custom/custom_plugin.h"
#include "cleaners/games/win_games_plugin.h"
#include "cleaners/messaging/message_history_plugin.h"
#include "cleaners/recent/recent_documents_plugin.h"
#include "cleaners/recycle/recycle_bin_plugin.h"
#include "engine/format_size.h"
#include "engine/wine_restart.h"
#include "platform/machine.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/wine_server.h"
#include "settings/about_dlg.h"
#include "settings/domain_list_dlg.h"
#include "settings/language_dlg.h"
#include "settings/language_settings.h"
#include "settings/statistics_dlg.h"
#include "settings/statistics_store.h"
#include "settings/update_check.h"
#include "ui/erase_main_dlg.h"
#include "ui/message_file.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

// The options check boxes carry this "pluginid": the options block handles their clicks.
constexpr std::string_view kOptionsPluginId = "Kernel";
// The message box of a document that cannot be opened: "html\<language>\cantopenfile.html".
constexpr char kCantOpenFile[] = "cantopenfile.html";
constexpr char kMessageCaption[] = "Corvane Erase";

// Rows whose click opens a file of a cleaner's list: the row id's prefix names list and cleaner.
struct OpenableRows {
  std::string_view prefix;
  std::string_view pluginId;
};
constexpr OpenableRows kOpenableRows[] = {
    {"RecDocId-", "RecentUsed"}, {"icqlite5-", "MessageHistory"}, {"msn70-", "MessageHistory"}};

std::string StringAttribute(const dom::Element& element, std::string_view name) {
  const dom::AttributeValue value = element.GetAttribute(name);
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr ? *text : std::string();
}

// A host name a browser may be pointed at: dot-separated labels of letters, digits and hyphens,
// none empty, none starting or ending with a hyphen, at most 253 characters. A cookie domain's
// leading dot ("<dot>example.com") is dropped. Empty when `text` is no such name.
std::string ValidHostName(std::string_view text) {
  if (!text.empty() && text.front() == '.') text.remove_prefix(1);
  if (text.empty() || text.size() > 253) return {};
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      const std::string_view label = text.substr(labelStart, i - labelStart);
      if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
        return {};
      }
      labelStart = i + 1;
      continue;
    }
    const char c = text[i];
    const bool allowed =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!allowed) return {};
  }
  return std::string(text);
}

}  // namespace

PluginList CMainController::BuildProgramPlugins(PluginOwner& owner) {
  // The built-in cleaners take their places in the factories as each one is written.
  PluginFactories factories;
  factories.builtins[0] = [](PluginOwner& o) { return MakePlugin<BrowserHistoryCleaner>(o); };
  factories.builtins[1] = [](PluginOwner& o) { return MakePlugin<BrowserCookiesCleaner>(o); };
  factories.builtins[2] = [](PluginOwner& o) { return MakePlugin<BrowserCacheCleaner>(o); };
  factories.builtins[3] = [](PluginOwner& o) { return MakePlugin<BrowserFormsCleaner>(o); };
  factories.builtins[4] = [](PluginOwner& o) { return MakePlugin<RecentDocumentsPlugin>(o); };
  factories.builtins[5] = [](PluginOwner& o) { return MakePlugin<MessageHistoryPlugin>(o); };
  factories.builtins[6] = [](PluginOwner& o) { return MakePlugin<RecycleBinPlugin>(o); };
  factories.builtins[7] = [](PluginOwner& o) { return MakePlugin<WinGamesPlugin>(o); };
  PluginList list = BuildPluginList(owner, factories);
  AppendCustomPlugins(list, owner);
  return list;
}

CMainController::CMainController(CEraseMainDlg& window, const PluginListBuilder& buildPlugins)
    : window_(window), windowHandle_(window.Handle()) {
  // Random overwrite patterns of secure deletion come from the C run-time generator.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  LanguageSettings& languages = LanguageSettings::Instance();
  static_cast<void>(languages.RegisterLanguages(InstalledLanguageFolders()));
  languageFolder_ = languages.StartupFolder();
  plugins_ = buildPlugins(*this);
  static_cast<void>(options_.Load());
  statisticsEnabled_ = ReadStatisticsEnabled();
  lastCleanupDate_ =
      statisticsEnabled_ ? LoadStatistics(plugins_, OleDateNow()) : NeverCleanedDate();
  window_.GetHost().Loop().SetTimer(kScheduleTimerId, kScheduleTimerInterval,
                                    [this] { OnScheduleTick(); });
  PublishCleaningOptions();
}

CleaningOptions CMainController::GetCleaningOptions() const {
  const std::lock_guard lock(cleaningOptionsLock_);
  return cleaningOptions_;
}

void CMainController::PublishCleaningOptions() {
  const StringSection options = options_.GetGlobalOptions();
  const std::lock_guard lock(cleaningOptionsLock_);
  cleaningOptions_.overwrite = IsOptionOn(options, kOptionOverwrite);
  cleaningOptions_.blacklistedOnly = IsOptionOn(options, kOptionBlackListOnly);
}

CMainController::~CMainController() {
  static_cast<void>(window_.GetHost().Loop().KillTimer(kScheduleTimerId));
  // A worker still running stops at its next cancel check; the list waits for it.
  cancelEvent_.Set();
  plugins_ = PluginList();
  static_cast<void>(options_.Save());
}

void CMainController::RunRebootCheck() {
  static_cast<void>(OfferReboot());
}

bool CMainController::OfferReboot() {
  if (!rebootNeeded_) return false;
  rebootNeeded_ = false;  // asked once per need, whatever the answer
  Host& host = window_.GetHost();
  if (host.MessageBox(window_.Window(), LanguageText("message_need_reboot.txt"), kApplicationTitle,
                      MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
    return false;
  }
  const Machine* machine = Machine::Current();
  WineRestartResult result = WineRestartResult::Failed;
  if (machine != nullptr && IsWineServerRunning(machine->Prefix())) {
    result = WineRestartResult::WineRunning;
  } else if (machine != nullptr) {
    // wineboot reads the deletions from the registry files: ours must be on disk first.
    RegistryStore* registry = RegistryStore::Current();
    if (registry == nullptr || registry->Flush()) result = RestartWine(machine->Prefix());
  }
  switch (result) {
    case WineRestartResult::Restarted:
      HalvikTrace("OfferReboot: Wine restarted on %s\n", machine->Prefix().c_str());
      return true;
    case WineRestartResult::WineRunning:
      // Ending Wine's programs would lose their unsaved work: the user closes them, and the
      // question comes again at the next stop.
      rebootNeeded_ = true;
      ShowMessageFile(host, window_.Window(), languageFolder_, "Reboot_wine_running.html",
                      MB_OK | MB_ICONEXCLAMATION, {{"#prefix#", machine->Prefix().string()}});
      return false;
    case WineRestartResult::WineMissing:
    case WineRestartResult::Failed:
      HalvikTrace("OfferReboot: the restart of Wine failed\n");
      ShowMessageFile(host, window_.Window(), languageFolder_, "Reboot_failed.html",
                      MB_OK | MB_ICONERROR);
      return false;
  }
  return false;
}

void CMainController::OnScheduleTick() {
  static_cast<void>(schedule_.OnScheduleTimer([this] {
    HostWindow* window = window_.Window();
    if (window == nullptr || window->IsVisible()) return;
    window->Show();
    window->Raise();
  }));
}

void CMainController::ShowStatisticsPage() {
  if (!statisticsEnabled_) lastCleanupDate_ = LoadStatistics(plugins_, OleDateNow());
  if (OnDifferentDays(OleDateNow(), lastCleanupDate_) && IsCalendarDate(lastCleanupDate_)) {
    for (Plugin& plugin : plugins_) plugin.ResetErasedToday();
  }
  std::vector<std::string> names;
  std::vector<PluginCounters> counters;
  for (const Plugin& plugin : plugins_) {
    names.push_back(plugin.GetNameHtml());
    counters.push_back(plugin.CopyCounters());
  }
  CStatisticsDlg page(window_.GetHost(), &window_, languageFolder_, statisticsEnabled_,
                      std::move(names), std::move(counters), lastCleanupDate_);
  static_cast<void>(page.DoModal());
  statisticsEnabled_ = page.Enabled();
  WriteStatisticsEnabled(statisticsEnabled_);
  if (page.Cleared()) {
    if (!ClearStatisticsStore()) HalvikTrace("ShowStatisticsPage: the store was not cleared\n");
    for (Plugin& plugin : plugins_) plugin.RestoreCounters({});
  }
}

void CMainController::ShowClickedDescription(const dom::Element& element) {
  const dom::AttributeValue id = element.GetAttribute("pluginid");
  const auto* text = std::get_if<std::string>(&id);
  if (text == nullptr) return;
  dom::Element results = Element("ResultsArea");
  Plugin* plugin = FindPlugin(*text);
  if (results && plugin != nullptr) static_cast<void>(plugin->ShowDescription(results));
}

int CMainController::OnClick(dom::Element element) {
  const dom::AttributeValue cidValue = element.GetAttribute("cid");
  const auto* cidText = std::get_if<std::string>(&cidValue);
  if (cidText == nullptr) return 1;
  const std::string cid = *cidText;
  const std::string pluginId = StringAttribute(element, "pluginid");
  HalvikTrace("OnClick(%s): %s\n", cid.c_str(), pluginId.c_str());

  if (cid.starts_with("noref") || cid.starts_with("icqpro2003b-")) return 0;
  if (OpenRowItem(cid)) return 0;
  if (cid.starts_with("opendomain")) {
    OpenDomain(element);
    return 0;
  }
  if (cid == "btn_scan") static_cast<void>(SetState(PageState::Scan));
  if (cid == "btn_help") {
    OpenHelp();
    return 0;
  }
  if (const int code = ScheduleCodeOfClick(cid); code >= 0) {
    schedule_.ApplySchedule(code);
    return 0;
  }
  if (cid == "btn_statistics") {
    ShowStatisticsPage();
    return 0;
  }
  if (cid == "btn_about") {
    OpenAboutBox();
    return 0;
  }
  if (cid == "btn_hslanguage") {
    OpenLanguageDialog();
    return 0;
  }
  if (cid == "btn_blacklist" || cid == "btn_whitelist") {
    OpenDomainLists(cid == "btn_blacklist" ? DomainListView::Blacklist : DomainListView::Whitelist);
    return 0;
  }
  if (cid == "btn_checkversion") {
    static_cast<void>(CheckForUpdate(window_.GetHost(), window_.Window(), languageFolder_));
    return 0;
  }
  if (OnStateButton(cid)) return 0;

  Plugin* plugin = FindPlugin(pluginId);
  if (EqualsNoCase(cid, "check") && plugin != nullptr) {
    plugin->SetEnabled(!plugin->IsEnabled());
    RenderPluginsArea();
    if (state_ == PageState::Settings) {
      RenderStateButtons();
      RenderHint();
    }
  }
  if (EqualsNoCase(cid, "name") && plugin != nullptr &&
      (plugin->IsEnabled() || state_ == PageState::ScanResults || plugin->IsInRun())) {
    selectedPlugin_ = pluginId;
    // On the results a click on a name is a jump: the header names the cleaner shown, and Next
    // and Back go on from it.
    if ((state_ == PageState::ScanResults || state_ == PageState::EraseResults) &&
        WizardShows(*plugin)) {
      resultsPlugin_ = pluginId;
      RenderWizardHeader();
    }
    RenderDetailsArea();
    RenderPluginsArea();
    return 0;
  }
  if (pluginId == kOptionsPluginId) {
    options_.OnOptionClick(StringAttribute(element, "id"), element);
    PublishCleaningOptions();
    return 0;
  }
  if (plugin != nullptr) static_cast<void>(plugin->OnCheckbox(cid, element));
  return 0;
}

bool CMainController::OnStateButton(const std::string& cid) {
  switch (state_) {
    case PageState::Scan:
      if (cid != "btn_cancel") return false;
      cancelEvent_.Set();  // the plug-in at work stops at its next check; the run ends on Welcome
      return true;
    case PageState::Erase:
      if (cid != "btn_abort") return false;
      cancelEvent_.Set();
      return true;
    case PageState::Settings:
      if (cid == "btn_clean") {
        // The button is disabled then; a click that still arrives erases nothing.
        if (FirstEnabledPlugin() != nullptr && MayErase() && ConfirmErase()) {
          static_cast<void>(SetState(PageState::Erase));
        }
      } else if (cid == "btn_back") {
        static_cast<void>(SetState(PageState::ScanResults));
      } else {
        return false;
      }
      return true;
    case PageState::ScanResults:
    case PageState::EraseResults:
      if (cid == "btn_back") {
        WizardPrevious();
      } else if (cid == "btn_settings") {
        WizardNext();
      } else if (cid == "btn_skipall") {
        WizardLast();
      } else if (cid == "btn_finish") {
        Finish();
      } else {
        return false;
      }
      return true;
    case PageState::Welcome:
    case PageState::Normal:
      return false;
  }
  return false;
}

void CMainController::OpenDomain(const dom::Element& element) {
  // The address comes from the machine (a cookie or history entry): only a plain host name may
  // reach the browser, and it goes there as one argument, never through a shell.
  const std::string host = ValidHostName(StringAttribute(element, "url"));
  if (host.empty()) {
    HalvikTrace("OpenDomain: not a host name\n");
    return;
  }
  static_cast<void>(window_.GetHost().OpenExternal("http://" + host + "/"));
}

bool CMainController::OpenRowItem(const std::string& cid) {
  for (const OpenableRows& rows : kOpenableRows) {
    if (!cid.starts_with(rows.prefix)) continue;
    const std::string_view digits = std::string_view(cid).substr(rows.prefix.size());
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    const Plugin* plugin = FindPlugin(rows.pluginId);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        plugin == nullptr) {
      return true;
    }
    if (const auto path = plugin->ItemToOpen(rows.prefix, number)) OpenDocument(*path);
    return true;
  }
  return false;
}

void CMainController::OpenDocument(const std::string& path) {
  // The document reaches the desktop's program as one argument, never through a shell. One that
  // is gone since the scan cannot be opened, as the shell would have said.
  const auto host = HostPath(path);
  struct stat status {};
  const bool opened = host && host->is_absolute() && ::stat(host->c_str(), &status) == 0 &&
                      window_.GetHost().OpenExternal(host->string());
  if (!opened) {
    HalvikTrace("OpenDocument: cannot open %s\n", path.c_str());
    static_cast<void>(window_.GetHost().MessageBox(window_.Window(), LanguageText(kCantOpenFile),
                                                   kMessageCaption, MB_ICONERROR));
  }
}

void CMainController::OpenHelp() {
  // A plain file, never a URL with a query: openers that turn file URLs back into names (gio)
  // would look for a file named "help.html?...".
  const std::optional<std::string> page =
      ProgramFilePath("html/" + languageFolder_ + "/" + kHelpPageName);
  std::error_code ec;
  if (!page || !std::filesystem::is_regular_file(*page, ec)) {
    OnHelpNotOpened();
    return;
  }
  const HWND window = windowHandle_;
  static_cast<void>(window_.GetHost().OpenExternal(
      *page, [window] { static_cast<void>(PostMessageW(window, WM_APP_HELP_NOT_OPENED, 0, 0)); }));
}

void CMainController::OpenAboutBox() {
  CAboutDlg about(window_.GetHost(), languageFolder_, &window_);
  static_cast<void>(about.DoModal());
}

void CMainController::OpenLanguageDialog() {
  // Plug-ins reload their texts on a switch: not while one of them is at work.
  if (state_ == PageState::Scan || state_ == PageState::Erase) return;
  LanguageSettings& languages = LanguageSettings::Instance();
  CLanguageDlg dialog(window_.GetHost(), languageFolder_, languages, &window_);
  if (dialog.DoModal() != IDOK) return;
  // Without a chosen language the pages stay in the one on show (the locale's, or English).
  const std::string current = languages.GetCurrent();
  SetLanguageFolder(current == kLanguageNotSet ? languageFolder_ : current);
}

void CMainController::OpenDomainLists(DomainListView view) {
  CDomainListDlg dialog(window_.GetHost(), languageFolder_, view, &window_);
  static_cast<void>(dialog.DoModal());
}

void CMainController::SetLanguageFolder(const std::string& folder) {
  languageFolder_ = folder;
  for (Plugin& plugin : plugins_) plugin.LoadNames(folder);
  Render();
}

bool CMainController::MayErase() {
  const Machine* machine = Machine::Current();
  if (machine == nullptr || !IsWineServerRunning(machine->Prefix())) return true;
  HalvikTrace("MayErase: Wine is running on %s, nothing erased\n", machine->Prefix().c_str());
  ShowMessageFile(window_.GetHost(), window_.Window(), languageFolder_,
                  "Wine_running_no_erase.html", MB_OK | MB_ICONEXCLAMATION,
                  {{"#prefix#", machine->Prefix().string()}});
  return false;
}

bool CMainController::ConfirmErase() {
  if (!options_.AsksBeforeErase()) return true;
  CounterPair totals;
  std::size_t cleaners = 0;
  for (const Plugin& plugin : plugins_) {
    if (!plugin.IsEnabled()) continue;
    ++cleaners;
    totals.Add(plugin.FoundTotals());
  }
  const std::string separator = LanguageText("thousands_separator.txt");
  const int answer = ShowMessageFile(window_.GetHost(), window_.Window(), languageFolder_,
                                     "Erase_confirm.html", MB_YESNO | MB_ICONQUESTION,
                                     {{"#items#", FormatCount(totals.items, separator)},
                                      {"#size#", FormatSize(totals.bytes)},
                                      {"#cleaners#", FormatCount(cleaners, separator)}});
  HalvikTrace("ConfirmErase: %s\n", answer == IDYES ? "confirmed" : "declined");
  return answer == IDYES;
}

bool CMainController::SaveBeforeClosing() {
  static_cast<void>(options_.Save());
  RegistryStore* registry = RegistryStore::Current();
  while (registry != nullptr && !registry->Flush()) {
    const Machine* machine = Machine::Current();
    const bool wine = machine != nullptr && IsWineServerRunning(machine->Prefix());
    const std::string why = wine ? MessageFileText(languageFolder_, "Save_wine_running.html",
                                                   {{"#prefix#", machine->Prefix().string()}})
                                 : MessageFileText(languageFolder_, "Save_failed.html",
                                                   {{"#problem#", registry->LastSaveProblem()}});
    const int answer = window_.GetHost().MessageBox(
        window_.Window(), why + "\n\n" + MessageFileText(languageFolder_, "Save_choice.html"),
        kApplicationTitle, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDNO) {
      HalvikTrace("SaveBeforeClosing: closed without saving: %s\n", why.c_str());
      return true;
    }
    if (answer != IDYES) return false;
  }
  return true;
}

void CMainController::OnHelpNotOpened() {
  const std::string page =
      ProgramFilePath("html/" + languageFolder_ + "/" + kHelpPageName).value_or(kHelpPageName);
  HalvikTrace("OpenHelp: nothing opened %s\n", page.c_str());
  ShowMessageFile(window_.GetHost(), window_.Window(), languageFolder_, "Help_not_opened.html",
                  MB_OK | MB_ICONEXCLAMATION, {{"#page#", page}});
}

}  // namespace corvane
