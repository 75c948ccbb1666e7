#include "cleaners/custom/custom_plugin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/trace_log.h"
#include "engine/erase_fault.h"
#include "engine/progress_record.h"
#include "platform/dom/document.h"
#include "platform/file_find.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"
#include "tools/pld/pld_text.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kPatience{60};

class CompletionWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_PLUGIN_SCANNED || message == WM_APP_PLUGIN_ERASED) {
      static_cast<void>(TakeRecord<PluginId>(wParam));
      results.push_back(static_cast<PluginResult>(lParam));
    } else if (message == WM_APP_PROGRESS) {
      progress.push_back(TakeRecord<ProgressRecord>(wParam)->message);
    }
    return 0;
  }
  std::vector<PluginResult> results;
  std::vector<std::string> progress;
};

// The registry the definitions below clean.
constexpr std::string_view kUserHive =
    "\n[Software\\\\Test] 0\n\"One\"=\"1\"\n\"Two\"=\"2\"\n"
    "\n[Software\\\\Test\\\\Flat] 0\n\"File1\"=\"a\"\n\"File2\"=\"b\"\n\"Other\"=\"c\"\n"
    "\n[Software\\\\Test\\\\Tree] 0\n\"Url1\"=\"x\"\n\"Keep\"=\"y\"\n"
    "\n[Software\\\\Test\\\\Tree\\\\Sub] 0\n\"Url2\"=\"z\"\n\"UrlAlso\"=\"w\"\n";

// Every item kind, each with something to find and something to leave.
constexpr std::string_view kEveryKind = R"(name = Every <kind> & more
description = <b>Plain</b> text
enabled = 1

[file]
path = C:\data\one.txt

[file]
path = C:\data\missing.txt

[folder]
path = C:\data\flat
masks = *.tmp
exclude = keep.tmp

[tree]
path = C:\data\tree
masks = *.*

[file-item]
kind = 7
path = C:\data\one.txt

[tree]
path = C:\data\tree2|C:\data\flat

[registry-value]
root = HKEY_CURRENT_USER
key = Software\Test
value = One

[registry-value]
root = HKEY_CURRENT_USER
key = Software\Test
value = Missing

[registry-key]
root = HKCU
key = Software\Test\Flat
pattern = File*

[registry-tree]
root = HKCU
key = Software\Test\Tree
pattern = Url*

[registry-item]
kind = 9
root = HKCU
key = Software\Test
)";

class CustomPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(program_.Path().string());
    fs::copy(fs::path(CORVANE_SOURCE_DIR) / "data" / "html", program_.Path() / "html",
             fs::copy_options::recursive);
    fs::create_directories(program_.Path() / "CustomPlugins");
    owner_.window = window_.Handle();
  }
  void TearDown() override { SetProgramFolder(""); }

  static TempMachineOptions Options() {
    TempMachineOptions options;
    options.userHive = std::string(kUserHive);
    return options;
  }

  // Writes a definition given in its readable form; answers its path as the listing names it.
  std::string Define(std::string_view fileName, std::string_view text) {
    PldTextError error;
    const auto definition = ParsePldText(text, &error);
    EXPECT_TRUE(definition) << error.line << ": " << error.message;
    return DefineBytes(fileName, definition ? WriteCustomDefinition(*definition) : "");
  }
  std::string DefineBytes(std::string_view fileName, std::string_view bytes) {
    program_.Write("CustomPlugins/" + std::string(fileName), bytes);
    return "CustomPlugins\\" + std::string(fileName);
  }
  CustomPlugin& LoadPlugin(std::string_view fileName, std::string_view text) {
    loaded_ = CustomPlugin::Load(owner_, Define(fileName, text));
    EXPECT_TRUE(loaded_);
    return static_cast<CustomPlugin&>(*loaded_);
  }

  PluginResult Scan(Plugin& plugin) {
    plugin.StartScan(&cancel_);
    return Wait();
  }
  PluginResult Erase(Plugin& plugin) {
    plugin.StartErase(&cancel_);
    return Wait();
  }
  PluginResult Wait() {
    const std::size_t count = window_.results.size() + 1;
    EXPECT_TRUE(loop_.RunUntil([&] { return window_.results.size() >= count; }, kPatience));
    return window_.results.empty() ? PluginResult::Failed : window_.results.back();
  }

  // The page an operation renders, and the texts of its path cells.
  struct Page {
    int answer = 0;
    std::unique_ptr<dom::Document> document;
    std::vector<std::string> Paths() const {
      std::vector<std::string> paths;
      for (const auto& cell : document->ElementsWithAttribute("class", "path")) {
        paths.push_back(cell.InnerText());
      }
      return paths;
    }
    std::string Text() const { return document->Body().InnerText(); }
  };
  template <typename Show>
  Page Render(Show show) {
    Page page{0, dom::Document::Parse("<div id=DetailsArea>untouched</div>")};
    page.answer = show(page.document->GetElementById("DetailsArea"));
    return page;
  }

  static bool HasValue(std::string_view keyPath, std::string_view name) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    const bool found = RegQueryValueExW(key, name, nullptr, nullptr, &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }
  static std::uint32_t StoredFlag(std::string_view id) {
    RegistryDword flag(HKEY_LOCAL_MACHINE, kPluginsKey, id, 99);
    flag.SetReadOnly(true);
    return flag.value;
  }

  TempMachine machine_{Options()};
  test::ScratchFolder program_;
  QueueEventLoop loop_;
  CompletionWindow window_{loop_};
  test::TestOwner owner_;
  Event cancel_;
  PluginPtr loaded_;
};

TEST_F(CustomPluginTest, ADefinitionBecomesAPluginNamedAfterItsFile) {
  CustomPlugin& plugin = LoadPlugin("Every.pld", kEveryKind);
  EXPECT_EQ(plugin.GetId(), "CuPl_Every.pld");
  EXPECT_EQ(plugin.DefinitionPath(), "CustomPlugins\\Every.pld");
  EXPECT_EQ(plugin.GetNameHtml(), "Every &lt;kind&gt; &amp; more");  // a name is data
  EXPECT_EQ(plugin.GetFullNameHtml(), plugin.GetNameHtml());
  EXPECT_EQ(plugin.ResErasedHtml(), "<span class=\"badge erased\">Erased</span>");
  plugin.LoadNames("English");
  EXPECT_EQ(plugin.GetNameHtml(), "Every &lt;kind&gt; &amp; more");

  auto page = dom::Document::Parse("<div id=d>old</div>");
  EXPECT_EQ(plugin.ShowDescription(page->GetElementById("d")), 0);
  EXPECT_EQ(page->GetElementById("d").InnerText(), "<b>Plain</b> text");  // text, not markup
  EXPECT_TRUE(page->GetElementById("d").Children().empty());
}

TEST_F(CustomPluginTest, TheSelectionComesFromTheDefinitionUntilTheUserChooses) {
  const std::string off = Define("Off.pld", "name = off\nenabled = 0\n");
  const std::string on = Define("On.pld", "name = on\nenabled = 1\n");
  {
    PluginPtr plugin = CustomPlugin::Load(owner_, off);
    EXPECT_FALSE(plugin->IsEnabled());
    EXPECT_EQ(StoredFlag("CuPl_Off.pld"), kCustomEnabledUnset);
    PluginPtr other = CustomPlugin::Load(owner_, on);
    EXPECT_TRUE(other->IsEnabled());
    other->SetEnabled(false);
  }
  EXPECT_EQ(StoredFlag("CuPl_Off.pld"), kCustomEnabledUnset);
  EXPECT_EQ(StoredFlag("CuPl_On.pld"), 0u);
  EXPECT_FALSE(CustomPlugin::Load(owner_, on)->IsEnabled());  // the choice wins over the default
  {
    RegistryDword flag(HKEY_LOCAL_MACHINE, kPluginsKey, "CuPl_Off.pld", 0);
    flag.value = 5;
  }
  EXPECT_TRUE(CustomPlugin::Load(owner_, off)->IsEnabled());
}

TEST_F(CustomPluginTest, EveryKindIsScannedAndErased) {
  machine_.WriteFile("C:\\data\\one.txt", "12345");
  machine_.WriteFile("C:\\data\\flat\\a.tmp", "abc");
  machine_.WriteFile("C:\\data\\flat\\keep.tmp", "kept");
  machine_.WriteFile("C:\\data\\flat\\b.log", "log");
  machine_.WriteFile("C:\\data\\flat\\sub\\c.tmp", "deeper");
  machine_.WriteFile("C:\\data\\tree\\x", std::string(10, 'x'));
  machine_.WriteFile("C:\\data\\tree\\sub\\y", std::string(20, 'y'));
  machine_.WriteFile("C:\\data\\tree\\sub\\deeper\\z", std::string(30, 'z'));
  const fs::path outside = machine_.WriteFile("C:\\outside\\precious", "keep me");
  fs::create_directory_symlink(outside.parent_path(), machine_.Host("C:\\data\\tree\\link"));

  CustomPlugin& plugin = LoadPlugin("Every.pld", kEveryKind);
  EXPECT_EQ(Render([&](dom::Element e) { return plugin.ShowDetails(e); }).answer, 1);
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  // one.txt; a.tmp; x, y, z and the link (a file to the walk, of no size). The item without
  // masks lists nothing.
  EXPECT_EQ(plugin.FilesFound(), 1u + 1u + 4u);
  EXPECT_EQ(plugin.RegistryFound(), 1u + 2u + 3u);
  EXPECT_EQ(plugin.BytesFound(), 5u + 3u + 60u);

  const Page details = Render([&](dom::Element e) { return plugin.ShowDetails(e); });
  EXPECT_EQ(details.answer, 0);
  const std::vector<std::string> rows = {
      "C:\\data\\one.txt",
      "C:\\data\\missing.txt",
      "C:\\data\\flat\\*.tmp",
      "C:\\data\\tree\\*.*",
      "C:\\data\\tree2|C:\\data\\flat\\",  // a tree item without masks
      "HKEY_CURRENT_USER\\Software\\Test\\One",
      "HKEY_CURRENT_USER\\Software\\Test\\Missing",
      "HKEY_CURRENT_USER\\Software\\Test\\Flat\\File*",
      "HKEY_CURRENT_USER\\Software\\Test\\Tree\\Url*",
  };
  EXPECT_EQ(details.Paths(), rows);
  EXPECT_NE(details.Text().find("68.00 B"), std::string::npos);

  // Progress: the shared scan page followed by one more dot per file item.
  ASSERT_GE(window_.progress.size(), 6u);
  EXPECT_EQ(window_.progress[0], "Scanning.");
  EXPECT_EQ(window_.progress[5], "Scanning......");

  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.GetScanState(), ScanState::Erased);
  EXPECT_EQ(window_.progress.back(), "Erasing......");
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\data\\one.txt")));
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\data\\flat\\a.tmp")));
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\data\\flat\\keep.tmp")));    // excluded
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\data\\flat\\b.log")));       // no mask matches
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\data\\flat\\sub\\c.tmp")));  // flat: not below
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\data\\tree")));  // emptied, then removed itself
  EXPECT_EQ(ReadHostFile(outside), "keep me");                // the link went, not its target

  const auto& files = plugin.Definition().files;
  EXPECT_EQ(files[0].status, kCustomItemErased);
  EXPECT_EQ(files[1].status, kCustomItemFailed);  // missing: EraseFile gives 0
  EXPECT_EQ(files[2].status, kCustomItemErased);
  EXPECT_EQ(files[3].status, kCustomItemErased);
  EXPECT_EQ(files[4].status, kCustomItemNothing);  // an ignored kind has nothing to do
  EXPECT_EQ(files[5].status, kCustomItemFailed);   // several folders are no directory
  // Files one.txt, a.tmp, x, y, z, the link, and the folders sub and sub\deeper.
  EXPECT_EQ(plugin.FilesErased(), 8u);
  EXPECT_EQ(plugin.BytesErased(), 5u + 3u + 60u);

  EXPECT_FALSE(HasValue("Software\\Test", "One"));
  EXPECT_TRUE(HasValue("Software\\Test", "Two"));
  EXPECT_FALSE(HasValue("Software\\Test\\Flat", "File1"));
  EXPECT_FALSE(HasValue("Software\\Test\\Flat", "File2"));
  EXPECT_TRUE(HasValue("Software\\Test\\Flat", "Other"));
  EXPECT_FALSE(HasValue("Software\\Test\\Tree", "Url1"));
  EXPECT_TRUE(HasValue("Software\\Test\\Tree", "Keep"));
  EXPECT_FALSE(HasValue("Software\\Test\\Tree\\Sub", "Url2"));
  EXPECT_EQ(plugin.RegistryErased(), 1u + 2u + 3u);
  const auto& registry = plugin.Definition().registry;
  EXPECT_EQ(registry[0].status, kCustomItemErased);
  EXPECT_EQ(registry[1].status, kCustomItemFailed);
  EXPECT_EQ(registry[2].status, kCustomItemErased);
  EXPECT_EQ(registry[3].status, kCustomItemErased);
  EXPECT_EQ(registry[4].status, kCustomItemNothing);  // an ignored kind
  // The plug-in's counters hold files and registry values together.
  EXPECT_EQ(plugin.CopyCounters().erasedTotal.items, 8u + 6u);
  EXPECT_EQ(plugin.CopyCounters().erasedTotal.bytes, 68u);

  const Page report = Render([&](dom::Element e) { return plugin.ShowReport(e); });
  EXPECT_EQ(report.answer, 0);
  EXPECT_EQ(report.Paths(), rows);  // every item that names something has an outcome
  const auto cells = report.document->ElementsWithAttribute("class", "num");
  std::vector<std::string> outcomes;
  for (const auto& cell : cells) {
    if (cell.TagName() == "TD" && !cell.Children().empty()) outcomes.push_back(cell.InnerText());
  }
  EXPECT_EQ(outcomes,
            (std::vector<std::string>{"Erased", "Not erased", "Erased", "Erased", "Not erased",
                                      "Erased", "Not erased", "Erased", "Erased"}));
  EXPECT_NE(report.Text().find("68.00 B"), std::string::npos);
}

// Items whose erase found nothing to remove (an empty folder, a pattern no value matches) are
// done, but their report rows must not claim that something was erased.
TEST_F(CustomPluginTest, ItemsThatRemovedNothingAreNotMarkedErased) {
  machine_.WriteFile("C:\\full\\a.tmp", "abc");
  machine_.MakeFolder("C:\\empty");
  CustomPlugin& plugin = LoadPlugin("N.pld", R"(name = n
[folder]
path = C:\full
masks = *.tmp

[folder]
path = C:\empty
masks = *.tmp

[registry-key]
root = HKCU
key = Software\Test\Flat
pattern = File*

[registry-key]
root = HKCU
key = Software\Test\Flat
pattern = Nothing*
)");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.Definition().files[0].status, kCustomItemErased);
  EXPECT_EQ(plugin.Definition().files[1].status, kCustomItemNothing);
  EXPECT_EQ(plugin.Definition().registry[0].status, kCustomItemErased);
  EXPECT_EQ(plugin.Definition().registry[1].status, kCustomItemNothing);
  const Page report = Render([&](dom::Element e) { return plugin.ShowReport(e); });
  std::vector<std::string> outcomes;
  for (const auto& cell : report.document->ElementsWithAttribute("class", "num")) {
    if (cell.TagName() == "TD" && !cell.Children().empty()) outcomes.push_back(cell.InnerText());
  }
  EXPECT_EQ(outcomes,
            (std::vector<std::string>{"Erased", "Nothing to erase", "Erased", "Nothing to erase"}));
}

TEST_F(CustomPluginTest, TheReportWaitsForAnEraseAndTheDetailsForAScan) {
  CustomPlugin& plugin = LoadPlugin("E.pld", "name = e\n[file]\npath = C:\\nothing\n");
  EXPECT_EQ(Render([&](dom::Element e) { return plugin.ShowReport(e); }).answer, 1);
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  const Page before = Render([&](dom::Element e) { return plugin.ShowReport(e); });
  EXPECT_EQ(before.answer, 1);
  EXPECT_EQ(before.Text(), "untouched");
}

TEST_F(CustomPluginTest, TheDetailsListTheFoundFilesAndValuesCollapsedAndCapped) {
  for (int i = 0; i < 1000; ++i) {
    machine_.WriteFile("C:\\many\\sub\\f" + std::to_string(i) + ".tmp", "12345");
  }
  CustomPlugin& plugin =
      LoadPlugin("M.pld",
                 "name = m\n[tree]\npath = C:\\many\nmasks = *.tmp\n"
                 "[registry-value]\nroot = HKCU\nkey = Software\\Test\nvalue = One\n"
                 "[registry-tree]\nroot = HKCU\nkey = Software\\Test\\Tree\n"
                 "pattern = Url*\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.FoundFiles().Count(), 1000u);
  EXPECT_EQ(plugin.FoundFiles().Shown().size(), FoundItems::kShownRows);
  EXPECT_EQ(plugin.FoundTotals(), (CounterPair{1004, 5000}));
  const Page page = Render([&](dom::Element e) { return plugin.ShowDetails(e); });
  const auto lists = page.document->ElementsWithAttribute("class", "found-items");
  ASSERT_EQ(lists.size(), 2u);
  // Collapsed until the summary is clicked.
  EXPECT_EQ(lists[0].OuterHtml().find("<details class=\"found-items\" open"), std::string::npos);
  EXPECT_NE(page.Text().find("Show the 1,000 files it found"), std::string::npos);
  EXPECT_EQ(page.document->ElementsWithAttribute("class", "item-path").size(),
            FoundItems::kShownRows + 4);
  EXPECT_NE(page.Text().find("and 700 more"), std::string::npos);
  EXPECT_NE(page.Text().find("C:\\many\\sub\\f"), std::string::npos);
  EXPECT_NE(page.Text().find("HKEY_CURRENT_USER\\Software\\Test\\One"), std::string::npos);
  // Values a pattern matched, with the key they are in, however deep.
  EXPECT_NE(page.Text().find("Show the 4 registry values it found"), std::string::npos);
  EXPECT_NE(page.Text().find("HKEY_CURRENT_USER\\Software\\Test\\Tree\\Url1"), std::string::npos);
  EXPECT_NE(page.Text().find("HKEY_CURRENT_USER\\Software\\Test\\Tree\\Sub\\UrlAlso"),
            std::string::npos)
      << page.Text();
  // A new scan starts a new list.
  fs::remove_all(machine_.Host("C:\\many"));
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.FoundFiles().Count(), 0u);
}

TEST_F(CustomPluginTest, ADefinitionWithoutItemsShowsTheNoIconAndZeros) {
  CustomPlugin& empty = LoadPlugin("Empty.pld", "name = empty\n");
  ASSERT_EQ(Scan(empty), PluginResult::Finished);
  const Page page = Render([&](dom::Element e) { return empty.ShowDetails(e); });
  EXPECT_TRUE(page.Paths().empty());
  EXPECT_NE(page.Text().find("0.00 B"), std::string::npos);
  const std::string html = page.document->GetElementById("DetailsArea").InnerHtml();
  EXPECT_NE(html.find("#b57600"), std::string::npos);  // the no-icon's colour
  EXPECT_EQ(html.find("#1b7a3a"), std::string::npos);
  EXPECT_EQ(html.find('#' + std::string("fnum#")), std::string::npos);
}

TEST_F(CustomPluginTest, AFolderItemWithOverwriteWritesOverTheFilesBeforeDeletingThem) {
  const fs::path file = machine_.WriteFile("C:\\wipe\\secret.txt", std::string(5000, 'S'));
  // What the overwrite left is read just before the file is deleted.
  std::string left;
  const ScopedEraseFault peek([&](EraseStep step, std::string_view) -> DWORD {
    if (step == EraseStep::Delete) left = ReadHostFile(file);
    return ERROR_SUCCESS;
  });
  CustomPlugin& plugin =
      LoadPlugin("W.pld", "name = w\n[folder]\npath = C:\\wipe\nmasks = *.txt\noverwrite = 1\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(left.size(), 5000u);
  // The random pattern: a pseudo-random byte, then a zero byte.
  for (std::size_t i = 1; i < left.size(); i += 2) ASSERT_EQ(left[i], '\0') << i;
}

TEST_F(CustomPluginTest, ACancelledEraseStopsBeforeTheRegistryAndAnswersCancelled) {
  machine_.WriteFile("C:\\data\\flat\\a.tmp", "abc");
  CustomPlugin& plugin = LoadPlugin("C.pld",
                                    "name = c\n[folder]\npath = C:\\data\\flat\nmasks = *\n"
                                    "[registry-value]\nroot = HKCU\nkey = Software\\Test\n"
                                    "value = One\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  cancel_.Set();
  EXPECT_EQ(Erase(plugin), PluginResult::Cancelled);
  EXPECT_EQ(plugin.GetScanState(), ScanState::Scanned);
  EXPECT_TRUE(fs::exists(machine_.Host("C:\\data\\flat\\a.tmp")));
  EXPECT_TRUE(HasValue("Software\\Test", "One"));
}

TEST_F(CustomPluginTest, PathsThatAreNotTheMachinesAreNeverTouched) {
  // This machine has no shell folders in its registry, so the cache macro expands to nothing and
  // its path would read as a Linux path.
  machine_.WriteFile("C:\\users\\ann\\Temp\\t.tmp", "t");
  CustomPlugin& plugin = LoadPlugin("P.pld",
                                    "name = p\n"
                                    "[tree]\npath = [PATH_SYS_SHELL_CACHE]\\..\\..\nmasks = *\n"
                                    "[tree]\npath = C:\\\nmasks = *\n"
                                    "[file]\npath = /etc/hostname\n"
                                    "[tree]\npath = %UserProfile%\\Temp\nmasks = *\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.FilesFound(), 1u);  // only the temporary folder's file
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  const auto& files = plugin.Definition().files;
  EXPECT_EQ(files[0].status, kCustomItemFailed);  // the cache macro is missing: "\..\.."
  EXPECT_EQ(files[1].status, kCustomItemFailed);  // a whole drive
  EXPECT_EQ(files[2].status, kCustomItemFailed);  // a Linux path
  EXPECT_EQ(files[3].status, kCustomItemErased);
  EXPECT_FALSE(fs::exists(machine_.Host("C:\\users\\ann\\Temp\\t.tmp")));
  // The profile's Temp folder is emptied but stays: programs write there.
  EXPECT_TRUE(fs::is_directory(machine_.Host("C:\\users\\ann\\Temp")));
}

TEST_F(CustomPluginTest, TreeItemsOnAWholeHiveAreRefusedAtLoad) {
  // The trace log is written in the current folder: the program folder here.
  const fs::path previous = fs::current_path();
  fs::current_path(program_.Path());
  CustomPlugin& plugin = LoadPlugin("Roots.pld",
                                    "name = roots\n"
                                    "[registry-tree]\nroot = HKCU\nkey =\npattern = *\n"
                                    "[registry-tree]\nroot = HKLM\nkey = \\\npattern = *\n"
                                    "[registry-tree]\nroot = HKU\nkey = .Default\npattern = *\n"
                                    "[registry-tree]\nroot = HKU\nkey = \\S-1-5-21-0-0-0-1000\\\n"
                                    "pattern = *\n"
                                    "[registry-tree]\nroot = HKCR\nkey =\npattern = *\n"
                                    "[registry-key]\nroot = HKCU\nkey =\npattern = Nothing*\n"
                                    "[registry-tree]\nroot = HKCU\nkey = Software\\Test\\Tree\n"
                                    "pattern = Url*\n");
  fs::current_path(previous);
  const std::string trace = ReadHostFile(program_.Path() / kTraceLogFileName);
  for (const char* key : {"HKEY_CURRENT_USER (", "HKEY_LOCAL_MACHINE\\\\ (",
                          "HKEY_USERS\\.Default (", "HKEY_CLASSES_ROOT ("}) {
    EXPECT_NE(trace.find(std::string("refused the registry tree item on ") + key),
              std::string::npos)
        << trace;
  }
  // What stays: a single key's values (the root's own) and a tree below a root.
  const auto& registry = plugin.Definition().registry;
  ASSERT_EQ(registry.size(), 2u);
  EXPECT_EQ(registry[0].kind, kCustomItemFolderFiles);
  EXPECT_EQ(registry[1].keyPath, "Software\\Test\\Tree");

  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.RegistryFound(), 3u);
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.RegistryErased(), 3u);
  for (const auto& [key, name] : {std::pair{"Software\\Test", "One"},
                                  {"Software\\Test", "Two"},
                                  {"Software\\Test\\Flat", "File1"},
                                  {"Software\\Test\\Flat", "Other"},
                                  {"Software\\Test\\Tree", "Keep"}}) {
    EXPECT_TRUE(HasValue(key, name)) << key << "\\" << name;
  }
  EXPECT_NE(StoredFlag("CuPl_Roots.pld"), 99u);  // the machine hive keeps its values too
}

TEST_F(CustomPluginTest, ValuesOfAReadOnlyHiveThatStayAreCountedAsFailures) {
  // A line the parser does not understand: the hive is used read-only and never saved.
  machine_.AppendHive(TempMachine::Hive::User, "\n[Software\\\\Broken\n");
  CustomPlugin& plugin = LoadPlugin("RO.pld",
                                    "name = ro\n"
                                    "[registry-value]\nroot = HKCU\nkey = Software\\Test\n"
                                    "value = One\n"
                                    "[registry-value]\nroot = HKCU\nkey = Software\\Test\n"
                                    "value = Missing\n"
                                    "[registry-key]\nroot = HKCU\nkey = Software\\Test\\Flat\n"
                                    "pattern = File*\n"
                                    "[registry-tree]\nroot = HKCU\nkey = Software\\Test\\Tree\n"
                                    "pattern = Url*\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.RegistryFound(), 1u + 2u + 3u);
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.RegistryErased(), 0u);
  // Each value found and left is a failure; the missing one was never there to erase.
  EXPECT_EQ(plugin.FailedCounts().items, 1u + 2u + 3u);
  EXPECT_EQ(plugin.CopyCounters().current.items, 0u);
  for (const CustomRegistryItem& item : plugin.Definition().registry) {
    EXPECT_EQ(item.status, kCustomItemFailed) << item.keyPath << " " << item.valueName;
  }
  EXPECT_TRUE(HasValue("Software\\Test", "One"));
  EXPECT_TRUE(HasValue("Software\\Test\\Tree\\Sub", "Url2"));
}

// Wine links the profile's Desktop, Music and Pictures to the Linux home; items below them, and
// a profile whose AppData is a link, name nothing on the machine.
TEST_F(CustomPluginTest, ItemsBelowALinkedProfileFolderNeverReachTheHome) {
  TempMachineOptions options = Options();
  options.profileFolders = ProfileFolders::LinkedToHome;
  TempMachine linked(options);
  const fs::path home = linked.HostRoot() / "home" / "ann";
  WriteHostFile(home / "Desktop" / "sub" / "a.txt", "desk");
  WriteHostFile(home / "Music" / "deep" / "b" / "c.txt", "song");
  WriteHostFile(home / "Pictures" / "x.txt", "photo");
  // AppData itself moved into the home and linked back.
  const fs::path appData = linked.Host("C:\\users\\ann\\AppData");
  WriteHostFile(appData / "Local" / "Temp" / "t.tmp", "temp");
  fs::rename(appData, home / "AppData");
  fs::create_directory_symlink(home / "AppData", appData);

  CustomPlugin& plugin =
      LoadPlugin("L.pld",
                 "name = l\n"
                 "[folder]\npath = %UserProfile%\\Desktop\\sub\nmasks = *\n"
                 "[tree]\npath = %UserProfile%\\Music\\deep\nmasks = *\n"
                 "[file]\npath = %UserProfile%\\Pictures\\x.txt\n"
                 "[tree]\npath = %UserProfile%\\AppData\\Local\\Temp\nmasks = *\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.FilesFound(), 0u);
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_EQ(plugin.FilesErased(), 0u);
  EXPECT_EQ(ReadHostFile(home / "Desktop" / "sub" / "a.txt"), "desk");
  EXPECT_EQ(ReadHostFile(home / "Music" / "deep" / "b" / "c.txt"), "song");
  EXPECT_EQ(ReadHostFile(home / "Pictures" / "x.txt"), "photo");
  EXPECT_EQ(ReadHostFile(home / "AppData" / "Local" / "Temp" / "t.tmp"), "temp");
}

TEST_F(CustomPluginTest, AFileThatCannotBeDeletedNowAsksForARestart) {
  // A folder named as a file: it cannot be deleted as one, so it is left for the next start.
  machine_.MakeFolder("C:\\data\\stubborn");
  CustomPlugin& plugin = LoadPlugin("R.pld", "name = r\n[file]\npath = C:\\data\\stubborn\n");
  ASSERT_EQ(Scan(plugin), PluginResult::Finished);
  EXPECT_FALSE(plugin.IsRebootNeeded());
  ASSERT_EQ(Erase(plugin), PluginResult::Finished);
  EXPECT_TRUE(plugin.IsRebootNeeded());
  EXPECT_EQ(plugin.Definition().files[0].status, kCustomItemFailed);
  EXPECT_EQ(plugin.FilesErased(), 0u);
}

TEST_F(CustomPluginTest, AShortOrHostileFileAddsNoPlugin) {
  const std::string good = WriteCustomDefinition(*ParsePldText(kEveryKind, nullptr));
  std::string wrongMarker = good;
  wrongMarker[5] = 'x';
  std::string hugeCount = good;
  hugeCount.replace(4 + kCustomDefinitionMarker.size(), 4, "\xff\xff\xff\x7f");
  const std::pair<std::string, std::string> bad[] = {
      {"empty.pld", ""},
      {"marker.pld", wrongMarker},
      {"short.pld", good.substr(0, good.size() - 3)},
      {"huge.pld", hugeCount},
      {"text.pld", "name = not compiled\n"},
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(CustomPlugin::Load(owner_, DefineBytes(name, bytes)));
    EXPECT_EQ(StoredFlag("CuPl_" + name), 99u);  // nothing written for it
  }
  fs::create_directories(program_.Path() / "CustomPlugins" / "folder.pld");
  EXPECT_FALSE(CustomPlugin::Load(owner_, "CustomPlugins\\folder.pld"));
  EXPECT_FALSE(CustomPlugin::Load(owner_, "CustomPlugins\\missing.pld"));
}

TEST_F(CustomPluginTest, TheDefinitionsOfTheFolderAreAppendedInListingOrder) {
  Define("b.pld", "name = b\n");
  Define("a.pld", "name = a\n");
  DefineBytes("bad.pld", "junk");
  Define("c.PLD", "name = c\n");
  Define("ignored.txt", "name = not a definition file\n");
  DefineBytes("back\\slash.pld", WriteCustomDefinition(CustomDefinition{}));

  std::vector<std::string> listed;
  FindData found;
  FindHandlePtr search = FindFirstFileW((program_.Path() / "CustomPlugins/*.pld").string(), &found);
  ASSERT_TRUE(search);
  do {
    if (found.name != "bad.pld" && found.name != "back\\slash.pld") {
      listed.push_back("CuPl_" + found.name);
    }
  } while (FindNextFileW(*search, &found));

  PluginList list;
  AppendCustomPlugins(list, owner_);
  std::vector<std::string> ids;
  for (Plugin& plugin : list) ids.push_back(plugin.GetId());
  EXPECT_EQ(ids, listed);
  EXPECT_EQ(ids.size(), 3u);
}

// In every language, no two shipped cleaners (built-in or custom) show the same name: the list
// would give the user no way to tell them apart.
TEST_F(CustomPluginTest, EveryShippedCleanerHasANameOfItsOwn) {
  for (const std::string language : {"English", "German"}) {
    SCOPED_TRACE(language);
    std::map<std::string, std::string> owners;  // name -> cleaner
    const auto add = [&owners](const std::string& name, const std::string& cleaner) {
      const auto [at, added] = owners.emplace(name, cleaner);
      EXPECT_TRUE(added) << "\"" << name << "\" names " << at->second << " and " << cleaner;
    };
    const fs::path plugins = fs::path(CORVANE_SOURCE_DIR) / "data" / "html" / language / "Plugins";
    for (const auto& entry : fs::directory_iterator(plugins)) {
      if (entry.is_directory() && fs::exists(entry.path() / "name.html") &&
          entry.path().filename() != "PlgCustom") {
        add(ReadHostFile(entry.path() / "name.html"), entry.path().filename().string());
      }
    }
    for (const auto& entry :
         fs::directory_iterator(fs::path(CORVANE_SOURCE_DIR) / "data" / "CustomPlugins")) {
      if (entry.path().extension() != ".pld") continue;
      const std::string file = entry.path().filename().string();
      DefineBytes(file, ReadHostFile(entry.path()));
      PluginPtr plugin = CustomPlugin::Load(owner_, "CustomPlugins\\" + file);
      ASSERT_TRUE(plugin);
      plugin->LoadNames(language);
      add(plugin->GetNameHtml(), file);
    }
  }
}

TEST_F(CustomPluginTest, TheShippedDefinitionsLoad) {
  for (const auto& entry :
       fs::directory_iterator(fs::path(CORVANE_SOURCE_DIR) / "data" / "CustomPlugins")) {
    if (entry.path().extension() != ".pld") continue;
    SCOPED_TRACE(entry.path().string());
    const std::string name = entry.path().filename().string();
    DefineBytes(name, ReadHostFile(entry.path()));
    PluginPtr plugin = CustomPlugin::Load(owner_, "CustomPlugins\\" + name);
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin->IsEnabled());  // shipped switched off: the user opts in
    EXPECT_EQ(Scan(*plugin), PluginResult::Finished);
  }
}

}  // namespace
}  // namespace corvane
