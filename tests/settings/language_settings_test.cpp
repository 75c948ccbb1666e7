// Languages on a real registry and the installed templates: the list and current language in the
// registry, the language dialog, the main window switching every text, and a walk over every
// template of both languages.

#include "settings/language_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "app/registry_key.h"
#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "settings/about_dlg.h"
#include "settings/language_dlg.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "ui/erase_main_dlg.h"
#include "ui/message_file.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kKey[] = "Software\\Corvane\\Erase\\Internationalization";

std::optional<std::string> StoredString(std::string_view name) {
  RegistryString value(HKEY_LOCAL_MACHINE, kKey, name, "<none>");
  value.SetReadOnly(true);
  if (value.Status() != RegistryStatus::Ok) return std::nullopt;
  return value.value;
}

void PutString(std::string_view name, std::string_view text) {
  RegistryString value(HKEY_LOCAL_MACHINE, kKey, name, text);
  value.value = std::string(text);
}

void PutDword(std::string_view name, std::uint32_t number) {
  RegistryDword value(HKEY_LOCAL_MACHINE, kKey, name, number);
  value.value = number;
}

class LanguageTest : public ::testing::Test {
 protected:
  LanguageTest() {
    SetProgramFolder(CORVANE_PROGRAM_DIR);
    previousDirectory_ = fs::current_path();
    fs::current_path(work_.Path());
    ::setenv("LANG", "C.UTF-8", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
  }
  ~LanguageTest() override {
    fs::current_path(previousDirectory_);
    SetProgramFolder("");
  }

  TempMachine machine_;
  ScopedRuntimeFolder runtime_;
  test::ScratchFolder work_;
  fs::path previousDirectory_;
  HeadlessHost host_;
};

TEST_F(LanguageTest, StartsInEnglishAndListsTheInstalledFolders) {
  EXPECT_EQ(InstalledLanguageFolders(), (std::vector<std::string>{"English", "German"}));
  LanguageSettings settings;
  EXPECT_EQ(settings.GetCurrent(), "x_x");
  EXPECT_EQ(StoredString("CurrentLanguage"), "x_x");  // created with its default
  EXPECT_TRUE(settings.GetLanguages().empty());
  EXPECT_EQ(settings.StartupFolder(), "English");

  EXPECT_TRUE(settings.RegisterLanguages(InstalledLanguageFolders()));
  EXPECT_EQ(StoredString("Item1"), "English");
  EXPECT_EQ(StoredString("Item2"), "German");
  EXPECT_EQ(settings.GetLanguages(), (std::vector<std::string>{"English", "German"}));
  // An installed list is the installer's: never rewritten.
  EXPECT_FALSE(settings.RegisterLanguages({"French"}));

  ::setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(settings.StartupFolder(), "German");
  ::setenv("LC_MESSAGES", "en_GB.UTF-8", 1);
  EXPECT_EQ(settings.StartupFolder(), "English");

  EXPECT_FALSE(settings.SetCurrent("Klingon"));  // not installed: nothing changes
  EXPECT_EQ(StoredString("CurrentLanguage"), "x_x");
  EXPECT_TRUE(settings.SetCurrent("German"));
  EXPECT_EQ(StoredString("CurrentLanguage"), "German");
  EXPECT_EQ(LanguageSettings().StartupFolder(), "German");
}

TEST_F(LanguageTest, IncompleteOrMistypedListsAreNotLanguages) {
  PutDword("LanguageNumber", 3);
  PutString("Item1", "English");
  PutString("Item3", "German");
  LanguageSettings settings;
  EXPECT_TRUE(settings.GetLanguages().empty());
  EXPECT_EQ(StoredString("Item2"), "x_x");  // read, so created with its default

  // Values of the wrong type are left as they are and count as missing.
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, kKey, &key), ERROR_SUCCESS);
  const std::uint32_t seven = 7;
  ASSERT_EQ(
      RegSetValueExW(key, "CurrentLanguage", REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4),
      ERROR_SUCCESS);
  const std::string two = std::string("2\0\0\0", 4);
  ASSERT_EQ(
      RegSetValueExW(key, "LanguageNumber", REG_SZ, reinterpret_cast<const BYTE*>(two.data()), 4),
      ERROR_SUCCESS);
  LanguageSettings mistyped;
  EXPECT_EQ(mistyped.GetCurrent(), "x_x");
  EXPECT_TRUE(mistyped.GetLanguages().empty());
  EXPECT_FALSE(mistyped.RegisterLanguages({"English"}));
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(key, "CurrentLanguage", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  ASSERT_EQ(RegQueryValueExW(key, "LanguageNumber", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  RegCloseKey(key);
}

// Runs the language dialog; `steps` act on it once it is up.
int RunLanguageDialog(HeadlessHost& host, const std::string& folder, LanguageSettings& settings,
                      std::function<void(CLanguageDlg&)> steps, std::string* shownRows = nullptr) {
  host.AddModalStep([&, steps](HeadlessWindow& window) {
    auto& dialog = dynamic_cast<CLanguageDlg&>(window.Events());
    if (shownRows != nullptr) *shownRows = dialog.GetElement("LanguagesArea").InnerText();
    steps(dialog);
  });
  CLanguageDlg dialog(host, folder, settings, nullptr);
  return dialog.DoModal();
}

TEST_F(LanguageTest, TheDialogChoosesAppliesAndCancels) {
  LanguageSettings settings;
  std::string rows;
  // No list: the error text, and Apply changes nothing.
  EXPECT_EQ(
      RunLanguageDialog(
          host_, "English", settings, [](CLanguageDlg& d) { ClickByCid(d, "btn_apply"); }, &rows),
      IDOK);
  EXPECT_NE(rows.find("Error no lang found"), std::string::npos);
  EXPECT_EQ(StoredString("CurrentLanguage"), "x_x");

  ASSERT_TRUE(settings.RegisterLanguages(InstalledLanguageFolders()));
  EXPECT_EQ(RunLanguageDialog(
                host_, "English", settings,
                [](CLanguageDlg& d) {
                  ClickByCid(d, "rbLang1");
                  ClickByCid(d, "rbLang9");  // outside the list: ignored
                  ClickByCid(d, "btn_close");
                },
                &rows),
            IDCANCEL);
  EXPECT_NE(rows.find("Deutsch (German)"), std::string::npos);
  EXPECT_EQ(StoredString("CurrentLanguage"), "x_x");

  std::string selection;
  EXPECT_EQ(RunLanguageDialog(host_, "English", settings,
                              [&](CLanguageDlg& d) {
                                ClickByCid(d, "rbLang1");
                                d.GetHost().Loop().Post([&] {
                                  selection = d.Selection();
                                  ClickByCid(d, "btn_apply");
                                });
                              }),
            IDOK);
  EXPECT_EQ(selection, "German");
  EXPECT_EQ(StoredString("CurrentLanguage"), "German");

  // A language folder without the dialog's templates: empty texts, and it still closes.
  fs::create_directories(work_.Path() / "html" / "Empty");
  SetProgramFolder(work_.Path().string());
  fs::copy(fs::path(CORVANE_PROGRAM_DIR) / "html" / "Common", work_.Path() / "html" / "Common");
  EXPECT_EQ(RunLanguageDialog(
                host_, "Empty", settings, [](CLanguageDlg& d) { d.EndDialog(IDCANCEL); }, &rows),
            IDCANCEL);
  EXPECT_EQ(rows, "");
}

// Visible words of a page: its text without tags, placeholders and the product's name.
std::string VisibleText(std::string html) {
  html = std::regex_replace(html, std::regex("<style[\\s\\S]*?</style>|<svg[\\s\\S]*?</svg>"), " ");
  html = std::regex_replace(html,
                            std::regex("<[^>]*>|#[a-z_]+#|Corvane Erase|CorvaneEraser\\.log|"
                                       "Updates\\.ini|Wine|Internet Explorer|Mozilla|"
                                       "Firefox|Netscape|MSN Messenger|ICQ|Microsoft Office|"
                                       "FreeCell|Minesweeper|Pinball"),
                            " ");
  return html;
}

TEST_F(LanguageTest, EveryEnglishTemplateHasAGermanOneWithoutEnglishWords) {
  // Words that only English pages use: a German page holding one was left untranslated.
  const std::set<std::string> english = {
      "the",   "and",    "with",  "your",    "you",     "not",      "found", "erased", "scan",
      "next",  "back",   "close", "apply",   "cancel",  "about",    "help",  "finish", "language",
      "files", "folder", "could", "cleaner", "nothing", "selected", "erase", "what",   "this"};
  const fs::path html = fs::path(CORVANE_PROGRAM_DIR) / "html";
  int pages = 0;
  for (const auto& entry : fs::recursive_directory_iterator(html / "English")) {
    if (!entry.is_regular_file() || entry.path().filename() == ".keep") continue;
    const fs::path relative = fs::relative(entry.path(), html / "English");
    const fs::path german = html / "German" / relative;
    ASSERT_TRUE(fs::is_regular_file(german)) << "no German " << relative;
    std::ifstream in(german);
    const std::string text = VisibleText({std::istreambuf_iterator<char>(in), {}});
    static const std::regex kWord("[A-Za-z]+");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kWord);
         it != std::sregex_iterator(); ++it) {
      std::string lower = it->str();
      std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
      EXPECT_FALSE(english.contains(lower)) << "English \"" << it->str() << "\" in " << german;
    }
    ++pages;
  }
  EXPECT_GT(pages, 60);
  // Common templates carry markup only: their words come from the language folders.
  for (const auto& entry : fs::directory_iterator(html / "Common")) {
    if (entry.path().extension() != ".html") continue;
    std::ifstream in(entry.path());
    const std::string text = VisibleText({std::istreambuf_iterator<char>(in), {}});
    EXPECT_FALSE(std::regex_search(text, std::regex("[A-Za-z]{2,}"))) << entry.path();
  }
}

TEST_F(LanguageTest, SwitchingTheMainWindowTurnsEveryPageAndDialogGermanAndBack) {
  CEraseMainDlg dialog(
      host_, CommandLine{}, [] { return std::string("manually"); },
      [](PluginOwner&) { return PluginList(); });
  dialog.CreateModeless();
  ASSERT_TRUE(host_.Loop().RunUntil([&] { return dialog.Document() != nullptr; }, 60s));
  CMainController& controller = dialog.Controller();
  EXPECT_EQ(controller.LanguageFolder(), "English");
  auto page = [&] { return dialog.GetElement("Layout").InnerText(); };
  EXPECT_NE(page().find("Scan now"), std::string::npos);

  auto choose = [&](std::string_view cid) {
    host_.AddModalStep([cid](HeadlessWindow& window) {
      auto& language = dynamic_cast<CLanguageDlg&>(window.Events());
      ClickByCid(language, cid);
      ClickByCid(language, "btn_apply");
    });
    ASSERT_TRUE(ClickByCid(dialog, "btn_hslanguage"));
    host_.Loop().RunPending();
  };
  choose("rbLang1");
  EXPECT_EQ(controller.LanguageFolder(), "German");
  EXPECT_NE(page().find("Jetzt durchsuchen"), std::string::npos);
  EXPECT_EQ(page().find("Scan now"), std::string::npos);

  // Every state's page in German.
  for (PageState state :
       {PageState::Normal, PageState::ScanResults, PageState::Settings, PageState::EraseResults}) {
    ASSERT_EQ(controller.SetState(state), 0);
    const std::string text = VisibleText(dialog.GetElement("Layout").InnerHtml());
    for (const char* word : {"Next", "Back", "Erase selected", "Scan", "Help", "About"}) {
      EXPECT_EQ(text.find(std::string(">") + word), std::string::npos) << word;
    }
  }
  // The About box and a message in German.
  host_.AddModalStep([](HeadlessWindow& window) {
    auto& about = dynamic_cast<CAboutDlg&>(window.Events());
    EXPECT_NE(about.GetElement("PlaceForOk").InnerText().find("Schließen"), std::string::npos);
    ClickByCid(about, "btn_close");
  });
  EXPECT_EQ(
      controller.OnClick(dialog.Document()->ElementsWithAttribute("cid", "btn_about").front()), 0);
  EXPECT_NE(MessageFileText(controller.LanguageFolder(), "Update_version_newest.html")
                .find("neueste Version"),
            std::string::npos);

  ASSERT_EQ(controller.SetState(PageState::Normal), 0);
  choose("rbLang0");
  EXPECT_EQ(controller.LanguageFolder(), "English");
  EXPECT_EQ(StoredString("CurrentLanguage"), "English");
}

TEST_F(LanguageTest, ApplyingWithoutAChoiceKeepsTheLocalesLanguage) {
  ::setenv("LANG", "de_AT.UTF-8", 1);
  // The program's own plug-ins: the shipped custom definitions are translated too.
  CEraseMainDlg dialog(host_, CommandLine{}, [] { return std::string("manually"); });
  dialog.CreateModeless();
  ASSERT_TRUE(host_.Loop().RunUntil([&] { return dialog.Document() != nullptr; }, 60s));
  EXPECT_EQ(dialog.Controller().LanguageFolder(), "German");
  EXPECT_EQ(StoredString("CurrentLanguage"), "x_x");
  host_.AddModalStep([](HeadlessWindow& window) {
    ClickByCid(dynamic_cast<CLanguageDlg&>(window.Events()), "btn_apply");
  });
  ASSERT_TRUE(ClickByCid(dialog, "btn_hslanguage"));
  host_.Loop().RunPending();
  EXPECT_EQ(dialog.Controller().LanguageFolder(), "German");
  EXPECT_EQ(StoredString("CurrentLanguage"), "German");
  ASSERT_EQ(dialog.Controller().SetState(PageState::Normal), 0);
  const std::string plugins = dialog.GetElement("PluginsArea").InnerText();
  EXPECT_NE(plugins.find("Temporäre Dateien des Benutzers"), std::string::npos) << plugins;
  EXPECT_EQ(plugins.find("Temporary files"), std::string::npos) << plugins;
}

}  // namespace
}  // namespace corvane
