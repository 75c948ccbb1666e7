#include "cleaners/recent/recent_documents_plugin.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/dom/document.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "tests/support/cleaner_fixture.h"
#include "tests/support/live_wine.h"
#include "tests/support/temp_machine.h"
#include "tests/support/wine_prefix.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using Source = RecentDocumentsPlugin::Source;

constexpr std::string_view kRecent = "C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Recent";

// Shell folders as Wine 8 keeps them.
constexpr std::string_view kShellFolders =
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 0\n"
    "\"AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\"\n"
    "\"Recent\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\\\\Microsoft\\\\Windows\\\\Recent\"\n";
// Office lists with entries in and out of their range, and of a type that holds no path.
constexpr std::string_view kOfficeLists =
    "\n[Software\\\\Microsoft\\\\Office\\\\11.0\\\\Access\\\\Settings] 0\n"
    "\"MRU1\"=\"C:\\\\db\\\\one.mdb\"\n\"MRU2\"=\"D:/two.mdb\"\n\"MRU3\"=\"three\"\n"
    "\"MRU4\"=\"C:\\\\db\\\\#name#.mdb\"\n\"MRU11\"=\"C:\\\\db\\\\eleven.mdb\"\n"
    "\"MRU5\"=dword:00000005\n\"Keep\"=\"setting\"\n"
    "\n[Software\\\\Microsoft\\\\Office\\\\10.0\\\\Excel\\\\Recent Files] 0\n"
    "\"File1\"=\"C:\\\\sheets\\\\a.xls\"\n\"Other\"=\"gone with the key\"\n";
constexpr std::string_view kSystemHive =
    "\n[Software\\\\Classes\\\\.txt] 0\n@=\"txtfile\"\n"
    "\n[Software\\\\Classes\\\\txtfile] 0\n@=\"Text Document\"\n";

class RecentDocumentsPluginTest : public test::CleanerTest<RecentDocumentsPlugin> {
 protected:
  std::unique_ptr<dom::Document> Page(bool details) {
    auto page = dom::Document::Parse("<table><tbody id=d></tbody></table>");
    const int answer = details ? plugin_->ShowDetails(page->GetElementById("d"))
                               : plugin_->ShowReport(page->GetElementById("d"));
    EXPECT_EQ(answer, 0);
    return page;
  }
  static bool KeyExists(std::string_view path) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  static bool ValueExists(std::string_view path, std::string_view name) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    const bool found = RegQueryValueExW(key, name, nullptr, nullptr, &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }
};

TEST_F(RecentDocumentsPluginTest, ShortcutsAndOfficeListsAreFoundShownAndErased) {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders) + std::string(kOfficeLists);
  options.systemHive = std::string(kSystemHive);
  TempMachine machine(options);
  const fs::path recent = machine.MakeFolder(kRecent);
  // The shortcuts Wine made, and the documents they lead to but one (deleted since).
  for (const auto& entry :
       fs::directory_iterator(fs::path(CORVANE_FIXTURES_DIR) / "shell" / "recent")) {
    fs::copy_file(entry.path(), recent / entry.path().filename());
  }
  machine.WriteFile("C:\\docs\\report.txt", "report");
  machine.WriteFile("C:\\docs\\Budget 2024.xls", "x");
  machine.WriteFile("C:\\docs\\Ünïcödé.doc", "u");
  machine.WriteFile("C:\\docs\\noextension", "n");
  machine.MakeFolder("C:\\docs\\Project Folder");
  // Not shortcuts: a file that only says so, a link to a file outside, a folder.
  WriteHostFile(recent / "junk.lnk", "not a link");
  const fs::path outside = machine.HostRoot() / "home" / "ann" / "mine.lnk";
  fs::create_directories(outside.parent_path());
  fs::copy_file(recent / "report.txt.lnk", outside);
  fs::create_symlink(outside, recent / "evil.lnk");
  machine.WriteFile(std::string(kRecent) + "\\sub\\x.lnk", "old");
  const fs::path officeRecent =
      machine.WriteFile("C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Office\\Recent\\a.LNK", "o");

  plugin_ = MakePlugin<RecentDocumentsPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  std::map<std::string, std::string> windows;  // name -> path and type
  for (const auto& document : Plugin().Documents(Source::Windows)) {
    windows[document.name] = document.path + " | " + document.typeName;
    EXPECT_EQ(document.shortcutPath, std::string(kRecent) + "\\" + document.name + ".lnk");
  }
  const std::map<std::string, std::string> expected = {
      {"report.txt", "C:\\docs\\report.txt | Text Document"},
      {"Budget 2024.xls", "C:\\docs\\Budget 2024.xls | XLS File"},
      {"Ünïcödé.doc", "C:\\docs\\Ünïcödé.doc | DOC File"},
      {"noextension", "C:\\docs\\noextension | File"},
      {"Project Folder", "C:\\docs\\Project Folder | File folder"},
  };
  EXPECT_EQ(windows, expected);
  std::vector<std::string> office;
  for (const auto& document : Plugin().Documents(Source::Office)) {
    office.push_back(document.name + " | " + document.path + " | " + document.typeName);
  }
  EXPECT_EQ(office, (std::vector<std::string>{
                        "one.mdb | C:\\db\\one.mdb | MDB File", "two.mdb | D:/two.mdb | MDB File",
                        "three | three | File", "#name#.mdb | C:\\db\\#name#.mdb | MDB File",
                        "a.xls | C:\\sheets\\a.xls | XLS File"}));
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 10u);

  // Rows in page order, numbered from 0; a "#" of the machine's text stays text.
  const auto details = Page(true);
  ASSERT_EQ(details->ElementsWithAttribute("cid", "RecDocId-9").size(), 1u);
  EXPECT_EQ(details->ElementsWithAttribute("cid", "RecDocId-10").size(), 0u);
  EXPECT_NE(details->Body().InnerText().find("#name#.mdb"), std::string::npos);
  EXPECT_NE(details->Body().InnerText().find("Recent documents found: 10"), std::string::npos);
  EXPECT_EQ(plugin_->ItemToOpen("RecDocId-", 5), "C:\\db\\one.mdb");
  EXPECT_EQ(plugin_->ItemToOpen("RecDocId-", 9), "C:\\sheets\\a.xls");
  EXPECT_FALSE(plugin_->ItemToOpen("RecDocId-", 10));
  EXPECT_FALSE(plugin_->ItemToOpen("msn70-", 0));

  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_TRUE(fs::is_empty(recent));
  EXPECT_TRUE(fs::exists(outside));  // the link went, not what it led to
  EXPECT_EQ(ReadHostFile(outside),
            ReadHostFile(fs::path(CORVANE_FIXTURES_DIR) / "shell" / "recent" / "report.txt.lnk"));
  EXPECT_FALSE(fs::exists(officeRecent));
  EXPECT_TRUE(fs::exists(machine.Host("C:\\docs\\report.txt")));  // documents stay
  const std::string access = "Software\\Microsoft\\Office\\11.0\\Access\\Settings";
  EXPECT_FALSE(ValueExists(access, "MRU1"));
  EXPECT_FALSE(ValueExists(access, "MRU4"));
  EXPECT_TRUE(ValueExists(access, "MRU11"));
  EXPECT_TRUE(ValueExists(access, "Keep"));
  EXPECT_FALSE(KeyExists("Software\\Microsoft\\Office\\10.0\\Excel\\Recent Files"));
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
  // Five shortcuts and five Office entries; the folder pass adds what else it removed.
  EXPECT_GE(plugin_->CopyCounters().current.items, 10u);
  const auto report = Page(false);
  EXPECT_EQ(report->ElementsWithAttribute("class", "badge erased").size(), 10u);

  ASSERT_EQ(Run(true), PluginResult::Finished);
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);  // MRU11 is not Office's: never listed
}

TEST_F(RecentDocumentsPluginTest, NothingFoundShowsTheEmptyPage) {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders);
  TempMachine machine(options);
  plugin_ = MakePlugin<RecentDocumentsPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  const auto details = Page(true);
  EXPECT_NE(details->Body().InnerText().find("Nothing was found"), std::string::npos);
  EXPECT_NE(details->Body().InnerHtml().find("#1b7a3a"), std::string::npos);  // the ok icon
  ASSERT_EQ(Run(false), PluginResult::Finished);
}

// The Office lists' values are listed on the details page; a list whose key cannot go (it has a
// sub-key, which stays as on Windows) keeps its values, and those rows are not marked erased.
TEST_F(RecentDocumentsPluginTest, OfficeValuesAreListedAndValuesThatStayAreNotMarkedErased) {
  TempMachineOptions options;
  options.userHive =
      std::string(kShellFolders) +
      "\n[Software\\\\Microsoft\\\\Office\\\\11.0\\\\Access\\\\Settings] 0\n"
      "\"MRU1\"=\"C:\\\\db\\\\one.mdb\"\n"
      "\n[Software\\\\Microsoft\\\\Office\\\\11.0\\\\Excel\\\\Recent Files] 0\n"
      "\"File1\"=\"C:\\\\sheets\\\\a.xls\"\n"
      "\n[Software\\\\Microsoft\\\\Office\\\\11.0\\\\Excel\\\\Recent Files\\\\Sub] 0\n"
      "\"x\"=\"y\"\n";
  TempMachine machine(options);
  plugin_ = MakePlugin<RecentDocumentsPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  std::vector<std::string> values;
  for (const FoundItem& item : Plugin().FoundValues().Shown()) values.push_back(item.name);
  EXPECT_EQ(values,
            (std::vector<std::string>{
                "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Access\\Settings\\MRU1",
                "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Excel\\Recent "
                "Files\\File1"}));
  const auto details = Page(true);
  const auto lists = details->ElementsWithAttribute("class", "found-items");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(lists[0].GetAttribute("open")));  // collapsed
  const std::string html = details->Body().InnerHtml();
  EXPECT_NE(html.find("Settings\\<wbr"), std::string::npos) << html;
  EXPECT_NE(html.find(">MRU1</td>"), std::string::npos) << html;

  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_FALSE(ValueExists("Software\\Microsoft\\Office\\11.0\\Access\\Settings", "MRU1"));
  EXPECT_TRUE(ValueExists("Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files", "File1"));
  using Status = RecentDocumentsPlugin::Status;
  ASSERT_EQ(Plugin().Documents(Source::Office).size(), 2u);
  EXPECT_EQ(Plugin().Documents(Source::Office)[0].status, Status::Erased);
  EXPECT_EQ(Plugin().Documents(Source::Office)[1].status, Status::Failed);
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 1u);
  EXPECT_EQ(plugin_->CopyCounters().current.items, 1u);
  const auto report = Page(false);
  EXPECT_EQ(report->ElementsWithAttribute("class", "badge erased").size(), 1u);
  EXPECT_EQ(report->ElementsWithAttribute("class", "badge failed").size(), 1u);
}

// What Wine's own shell adds to the Recent folder is found, and erased.
TEST_F(RecentDocumentsPluginTest, WinesRecentDocumentsAreFound) {
  if (!test::HasPrograms({"x86_64-w64-mingw32-gcc"})) {
    CORVANE_SKIP_LIVE_WINE("mingw-w64 is not installed");
  }
  test::WinePrefix wine;
  if (!wine.Ready()) CORVANE_SKIP_LIVE_WINE(wine.Why());
  const fs::path exe = wine.Home() / "shell_traces.exe";
  ASSERT_EQ(wine.Run({"x86_64-w64-mingw32-gcc", "-municode", "-o", exe.string(),
                      (fs::path(CORVANE_FIXTURES_DIR) / "shell" / "shell_traces.c").string(),
                      "-lshell32"}),
            0);
  WriteHostFile(wine.Prefix() / "drive_c" / "work" / "notes.txt", "notes");
  ASSERT_EQ(wine.Run({"wine", exe.string(), "recent", "C:\\work\\notes.txt"}), 0);

  std::unique_ptr<Machine> machine = Machine::Open(wine.Prefix(), nullptr);
  ASSERT_TRUE(machine);
  Machine::SetCurrent(machine.get());
  RegistryStore registry(wine.Prefix());
  RegistryStore::SetCurrent(&registry);
  plugin_ = MakePlugin<RecentDocumentsPlugin>(owner_);
  EXPECT_EQ(Run(true), PluginResult::Finished);
  ASSERT_EQ(Plugin().Documents(Source::Windows).size(), 1u);
  const auto& document = Plugin().Documents(Source::Windows)[0];
  EXPECT_EQ(document.path, "C:\\work\\notes.txt");
  EXPECT_EQ(document.name, "notes.txt");
  EXPECT_EQ(Run(false), PluginResult::Finished);
  EXPECT_FALSE(fs::exists(HostPath(document.shortcutPath).value()));
  plugin_.reset();
  RegistryStore::SetCurrent(nullptr);
  Machine::SetCurrent(nullptr);
}

}  // namespace
}  // namespace corvane
