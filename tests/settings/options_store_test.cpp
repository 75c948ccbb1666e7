#include "settings/options_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {
namespace {

struct StoredValue {
  DWORD type = 0;
  std::string text;  // REG_SZ data as text
  DWORD size = 0;
};

// What the registry holds under the options key, read back through the registry calls.
std::optional<StoredValue> Stored(std::string_view name, std::string_view subKey = "") {
  HKEY key = 0;
  std::string path = kOptionsKeyPath;
  if (!subKey.empty()) path += "\\" + std::string(subKey);
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) return std::nullopt;
  StoredValue value;
  std::vector<BYTE> data(4096);
  value.size = static_cast<DWORD>(data.size());
  const LONG result = RegQueryValueExW(key, name, &value.type, data.data(), &value.size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  value.text =
      Utf16LeBytesToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), value.size));
  return value;
}

void Put(std::string_view name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, kOptionsKeyPath, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::vector<BYTE> Utf16Z(std::string_view text) {
  std::vector<BYTE> data;
  for (const char16_t unit : Utf8ToUtf16(text)) {
    data.push_back(static_cast<BYTE>(unit & 0xFF));
    data.push_back(static_cast<BYTE>(unit >> 8));
  }
  data.insert(data.end(), {0, 0});
  return data;
}

void PutString(std::string_view name, std::string_view text) {
  Put(name, REG_SZ, Utf16Z(text));
}

// The checked state of the options' check boxes on a page.
std::pair<bool, bool> CheckBoxes(dom::Document& page) {
  const auto state = [&](std::string_view id) {
    const dom::AttributeValue checked = page.GetElementById(id).GetAttribute("checked");
    EXPECT_TRUE(std::holds_alternative<bool>(checked)) << id;
    return std::holds_alternative<bool>(checked) && std::get<bool>(checked);
  };
  return {state(kOverwriteCheckBoxId), state(kBlackListOnlyCheckBoxId)};
}

constexpr char kSettingsPage[] =
    R"(<body id="DlgBody"><div id="SettingsArea"><p id="plugins">plug-ins</p></div>)"
    R"(<input type="checkbox" id="cbOther"></body>)";

// A prefix of its own and a program folder holding the shipped options template.
class OptionsStoreTest : public ::testing::Test {
 protected:
  OptionsStoreTest() {
    std::filesystem::create_directories(folder_.Path() / "html/English");
    std::filesystem::copy_file(
        std::filesystem::path(CORVANE_SOURCE_DIR) / "data/html/English/options.html",
        folder_.Path() / "html/English/options.html");
    folder_.Write("html/Common/settings_page.html", kSettingsPage);
    SetProgramFolder(folder_.Path().string());
  }
  ~OptionsStoreTest() override { SetProgramFolder(""); }

  // A fresh store loaded from the registry, as the main window makes it; rendered into a page.
  std::pair<bool, bool> Rendered() {
    OptionsStore store;
    (void)store.Load();
    const auto page = dom::Document::Parse(kSettingsPage);
    EXPECT_TRUE(store.RenderOptionsBlock(*page, page->GetElementById("SettingsArea"), "English"));
    return CheckBoxes(*page);
  }

  TempMachine machine_;
  test::ScratchFolder folder_;
};

TEST_F(OptionsStoreTest, NothingStoredRendersBothOffAndTheFirstSaveStoresEmptyStrings) {
  OptionsStore store;
  EXPECT_FALSE(store.Load());
  EXPECT_TRUE(store.GetGlobalOptions().empty());
  const auto page = dom::Document::Parse(kSettingsPage);
  ASSERT_TRUE(store.RenderOptionsBlock(*page, page->GetElementById("SettingsArea"), "English"));
  EXPECT_EQ(CheckBoxes(*page), std::make_pair(false, false));

  EXPECT_FALSE(Stored(kOptionOverwrite));  // rendering writes nothing
  EXPECT_TRUE(store.Save());
  for (const std::string_view name : {kOptionOverwrite, kOptionBlackListOnly}) {
    const auto value = Stored(name);
    ASSERT_TRUE(value) << name;
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->size, 2u);  // just the NUL
    EXPECT_EQ(value->text, "");
  }
}

TEST_F(OptionsStoreTest, SavedSectionsLoadBackAndOnlyTheEmptyStringIsOff) {
  {
    OptionsStore store;
    store.Section("")[std::string(kOptionOverwrite)] = "0";
    store.Section("")[std::string(kOptionBlackListOnly)] = "";
    store.Section("")["Note"] = "grüße";
    store.Section("Extra")["Path"] = "C:\\Users\\ann";
    ASSERT_TRUE(store.Save());
  }
  EXPECT_EQ(Stored(kOptionOverwrite)->size, 4u);
  EXPECT_EQ(Stored("Path", "Extra")->text, "C:\\Users\\ann");

  OptionsStore loaded;
  ASSERT_TRUE(loaded.Load());
  const StringSection options = loaded.GetGlobalOptions();
  EXPECT_EQ(options,
            (StringSection{{"DeleteBlListOnly", ""}, {"Note", "grüße"}, {"Owerwrite", "0"}}));
  EXPECT_TRUE(IsOptionOn(options, kOptionOverwrite));
  EXPECT_FALSE(IsOptionOn(options, kOptionBlackListOnly));
  EXPECT_FALSE(IsOptionOn(options, "Missing"));
  EXPECT_EQ(loaded.Section("Extra"), (StringSection{{"Path", "C:\\Users\\ann"}}));
  EXPECT_EQ(Rendered(), std::make_pair(true, false));
}

TEST_F(OptionsStoreTest, AValueThatIsNotAStringIsOffAndReplacedByAStringOnSave) {
  Put(kOptionOverwrite, REG_DWORD, {1, 0, 0, 0});
  Put(kOptionBlackListOnly, REG_EXPAND_SZ, Utf16Z("1"));
  OptionsStore store;
  ASSERT_TRUE(store.Load());
  EXPECT_TRUE(store.GetGlobalOptions().empty());
  EXPECT_EQ(Rendered(), std::make_pair(false, false));

  const auto page = dom::Document::Parse(kSettingsPage);
  ASSERT_TRUE(store.RenderOptionsBlock(*page, page->GetElementById("SettingsArea"), "English"));
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(Stored(kOptionOverwrite)->type, REG_SZ);
  EXPECT_EQ(Stored(kOptionOverwrite)->text, "");
  EXPECT_EQ(Stored(kOptionBlackListOnly)->type, REG_SZ);
}

TEST_F(OptionsStoreTest, ValuesTooLargeForTheBuffersAreSkippedWithoutHidingTheOthers) {
  // In the registry's order these come before the options, so they must not end the reading.
  PutString(std::string(512, 'A'), "1");  // 512 characters: no room for the NUL
  PutString(std::string(511, 'B'), "1");  // the longest name that fits
  PutString("C", std::string(256, 'x'));  // 514 bytes of data
  PutString("D", std::string(255, 'y'));  // 512 bytes: fits exactly
  Put("E", REG_SZ, {'1', 0, '2'});        // no NUL and an odd length
  PutString(kOptionOverwrite, "1");
  PutString(kOptionBlackListOnly, "1");

  OptionsStore store;
  ASSERT_TRUE(store.Load());
  const StringSection options = store.GetGlobalOptions();
  EXPECT_EQ(options.count(std::string(512, 'A')), 0u);
  EXPECT_EQ(options.count(std::string(511, 'B')), 1u);
  EXPECT_EQ(options.count("C"), 0u);
  EXPECT_EQ(options.at("D"), std::string(255, 'y'));
  EXPECT_EQ(options.at("E"), "1");
  EXPECT_TRUE(IsOptionOn(options, kOptionOverwrite));
  EXPECT_TRUE(IsOptionOn(options, kOptionBlackListOnly));

  ASSERT_TRUE(store.Save());  // what could not be read is left as it is
  EXPECT_EQ(Stored("C")->text, std::string(256, 'x'));
  EXPECT_EQ(Stored(kOptionOverwrite)->text, "1");
}

TEST_F(OptionsStoreTest, NamesMatchWithoutRegardToCaseAsTheRegistryDoes) {
  PutString("owerwrite", "1");
  PutString("DELETEBLLISTONLY", "");
  EXPECT_EQ(Rendered(), std::make_pair(true, false));

  OptionsStore store;
  ASSERT_TRUE(store.Load());
  EXPECT_TRUE(IsOptionOn(store.GetGlobalOptions(), kOptionOverwrite));
  EXPECT_EQ(&store.Section("Sub"), &store.Section("SUB"));
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(Stored(kOptionOverwrite)->text, "1");
}

TEST_F(OptionsStoreTest, TheBlockGoesAtTheEndOfTheTargetWithTheRightBoxesChecked) {
  const std::pair<std::string, std::string> cases[] = {{"1", ""}, {"", "yes"}, {"1", "1"}};
  for (const auto& [overwrite, blackListOnly] : cases) {
    OptionsStore store;
    store.Section("")[std::string(kOptionOverwrite)] = overwrite;
    store.Section("")[std::string(kOptionBlackListOnly)] = blackListOnly;
    const auto page = dom::Document::Parse(kSettingsPage);
    dom::Element area = page->GetElementById("SettingsArea");
    ASSERT_TRUE(store.RenderOptionsBlock(*page, area, "English"));
    EXPECT_EQ(CheckBoxes(*page), std::make_pair(!overwrite.empty(), !blackListOnly.empty()));
    const std::vector<dom::Element> children = area.Children();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0], page->GetElementById("plugins"));
    EXPECT_EQ(children[1].TagName(), "DIV");
    EXPECT_EQ(page->GetElementById(kOverwriteCheckBoxId).Parent().Parent().Parent(), children[1]);
    EXPECT_EQ(children[1].InnerHtml().find('#'), std::string::npos);  // no placeholder left
  }

  OptionsStore store;
  const auto page = dom::Document::Parse(kSettingsPage);
  EXPECT_FALSE(store.RenderOptionsBlock(*page, page->GetElementById("Missing"), "English"));
  // A language without the template shows an empty block rather than failing.
  ASSERT_TRUE(store.RenderOptionsBlock(*page, page->GetElementById("SettingsArea"), "Klingon"));
  EXPECT_EQ(page->GetElementById("SettingsArea").Children().back().InnerHtml(), "");
}

// A page that hands every click to the options, as the main window's command dispatch does.
class SettingsDialog : public CNoScrollHtmlDlg {
 public:
  SettingsDialog(Host& host, OptionsStore& store)
      : CNoScrollHtmlDlg(host, "Common\\settings_page.html", 200, nullptr), store_(store) {}

 protected:
  void OnClickElement(dom::Element element) override {
    const dom::AttributeValue id = element.GetAttribute("id");
    if (const auto* text = std::get_if<std::string>(&id)) store_.OnOptionClick(*text, element);
    CNoScrollHtmlDlg::OnClickElement(element);
  }

 private:
  OptionsStore& store_;
};

TEST_F(OptionsStoreTest, ClicksChangeTheOptionsAtOnceAndTheRegistryAtTheNextSave) {
  PutString(kOptionOverwrite, "1");
  OptionsStore store;
  ASSERT_TRUE(store.Load());
  HeadlessHost host;
  SettingsDialog dialog(host, store);
  dialog.CreateModeless();
  host.Loop().RunPending();
  ASSERT_NE(dialog.Document(), nullptr);
  ASSERT_TRUE(
      store.RenderOptionsBlock(*dialog.Document(), dialog.GetElement("SettingsArea"), "English"));
  dialog.FlushChanges();
  const StringSection before = store.GetGlobalOptions();

  ASSERT_TRUE(ClickById(dialog, kBlackListOnlyCheckBoxId));
  ASSERT_TRUE(ClickById(dialog, kOverwriteCheckBoxId));
  ASSERT_TRUE(ClickById(dialog, "cbOther"));
  host.Loop().RunPending();
  StringSection options = store.GetGlobalOptions();
  EXPECT_EQ(options[std::string(kOptionBlackListOnly)], "1");
  EXPECT_EQ(options[std::string(kOptionOverwrite)], "");
  EXPECT_EQ(options.size(), 3u);  // the other check box is none of ours
  EXPECT_TRUE(store.AsksBeforeErase());
  // The question's box shows the question, so the option stores its absence.
  EXPECT_NE(dialog.GetElement(std::string(kAskBeforeEraseCheckBoxId)).OuterHtml().find("checked"),
            std::string::npos);
  ASSERT_TRUE(ClickById(dialog, kAskBeforeEraseCheckBoxId));
  host.Loop().RunPending();
  EXPECT_EQ(store.GetGlobalOptions()[std::string(kOptionNoEraseQuestion)], "1");
  EXPECT_FALSE(store.AsksBeforeErase());
  EXPECT_TRUE(IsOptionOn(before, kOptionOverwrite));  // a copy already taken keeps its values

  EXPECT_FALSE(Stored(kOptionBlackListOnly));
  EXPECT_EQ(Stored(kOptionOverwrite)->text, "1");
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(Stored(kOptionBlackListOnly)->text, "1");
  EXPECT_EQ(Stored(kOptionOverwrite)->text, "");
  EXPECT_EQ(Stored(kOptionNoEraseQuestion)->text, "1");

  ASSERT_TRUE(ClickById(dialog, kBlackListOnlyCheckBoxId));
  host.Loop().RunPending();
  EXPECT_FALSE(IsOptionOn(store.GetGlobalOptions(), kOptionBlackListOnly));
  EXPECT_EQ(Stored(kOptionBlackListOnly)->text, "1");
}

TEST_F(OptionsStoreTest, AnOptionIdWithoutACheckedStateChangesNothing) {
  OptionsStore store;
  store.Section("")[std::string(kOptionOverwrite)] = "1";
  const auto page =
      dom::Document::Parse(R"(<div id="cbOptOw">not a box</div><input type="text" id="cbOptBl">)");
  store.OnOptionClick(kOverwriteCheckBoxId, page->GetElementById(kOverwriteCheckBoxId));
  store.OnOptionClick(kBlackListOnlyCheckBoxId, page->GetElementById(kBlackListOnlyCheckBoxId));
  store.OnOptionClick(kOverwriteCheckBoxId, dom::Element());
  EXPECT_EQ(store.GetGlobalOptions(), (StringSection{{"Owerwrite", "1"}}));
}

}  // namespace
}  // namespace corvane
