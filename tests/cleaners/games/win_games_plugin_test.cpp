#include "cleaners/games/win_games_plugin.h"

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

// Scores as the games leave them, with a few values no game writes.
constexpr std::string_view kPlayedHive =
    "\n[Software\\\\Microsoft\\\\Plus!\\\\Pinball\\\\SpaceCadet] 0\n"
    "\"0.Name\"=\"Ann\"\n\"0.Score\"=\"125000\"\n"
    "\"1.Score\"=\"12abc\"\n"  // atoi reads 12
    "\"2.Name\"=\"\"\n\"2.Score\"=\"-999\"\n"
    "\"3.Score\"=hex:01,02\n"  // not text: the default
    "\"Verification\"=\"1\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Applets\\\\FreeCell] 0\n"
    "\"won\"=dword:00000003\n\"lost\"=\"7\"\n\"streak\"=dword:00000002\n"
    "\n[Software\\\\Microsoft\\\\WinMine] 0\n"  // Wine's spelling of the key
    "\"Name1\"=\"<b>Ann</b>\"\n\"Time1\"=dword:0000002a\n"
    "\"Time2\"=\"5\"\n"  // a time that is text: the default
    "\"Name3\"=\"Bob\"\n\"Time3\"=dword:000003e7\n\"Mines\"=dword:0000000a\n"
    "\n[Software\\\\Microsoft\\\\Spider] 0\n"
    "\"Wins_Easy\"=dword:00000002\n\"Losses_Difficult\"=dword:00000001\n"
    "\"Easy\"=dword:00000001\n\"OtherEasy\"=\"x\"\n\"Setting\"=\"keep\"\n";

class WinGamesPluginTest : public test::CleanerTest<WinGamesPlugin> {
 protected:
  std::string Page(bool details) {
    auto page = dom::Document::Parse("<div id=d>untouched</div>");
    const int answer = details ? plugin_->ShowDetails(page->GetElementById("d"))
                               : plugin_->ShowReport(page->GetElementById("d"));
    return answer == 0 ? page->GetElementById("d").InnerHtml() : "";
  }
  static std::optional<std::string> Value(std::string_view keyPath, std::string_view name) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return std::nullopt;
    std::string data(64, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG result =
        RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    data.resize(size);
    return data;
  }
  static std::string Utf16(std::u16string_view text) {
    std::string bytes;
    for (const char16_t c : text) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>(c >> 8);
    }
    return bytes + std::string(2, '\0');
  }
};

TEST_F(WinGamesPluginTest, PlayedGamesAreFoundShownAndReset) {
  TempMachineOptions options;
  options.userHive = std::string(kPlayedHive);
  TempMachine machine(options);
  plugin_ = MakePlugin<WinGamesPlugin>(owner_);
  EXPECT_EQ(Page(true), "");  // nothing before a scan
  ASSERT_EQ(Run(true), PluginResult::Finished);

  EXPECT_EQ(Plugin().Pinball()[0].score, 125000);
  EXPECT_EQ(Plugin().Pinball()[1].score, 12);
  EXPECT_EQ(Plugin().Pinball()[3].score, -999);
  EXPECT_EQ(Plugin().FreeCellWon(), 3u);
  EXPECT_EQ(Plugin().FreeCellLost(), 0u);  // text where a number belongs counts nothing
  EXPECT_EQ(Plugin().Mines()[0].time, 42u);
  EXPECT_EQ(Plugin().Mines()[1].time, 999u);
  const std::map<std::string, std::uint32_t> records = {
      {"freecell", 1}, {"mine", 2}, {"pinball", 2}, {"spider", 2}};
  EXPECT_EQ(Plugin().Records(), records);
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 7u);

  const std::string details = Page(true);
  EXPECT_NE(details.find("&lt;b&gt;Ann&lt;/b&gt;"), std::string::npos);  // a name is data
  EXPECT_NE(details.find("125000"), std::string::npos);
  EXPECT_NE(details.find(">Bob<"), std::string::npos);  // time 999, a name: one record
  EXPECT_NE(details.find("Score records found: 7"), std::string::npos);
  EXPECT_EQ(details.find("#Mines"), std::string::npos) << details;  // every placeholder filled
  EXPECT_EQ(details.find("#Spider"), std::string::npos) << details;
  EXPECT_EQ(details.find("#Pin"), std::string::npos) << details;

  ASSERT_EQ(Run(false), PluginResult::Finished);
  const std::string pinball = "Software\\Microsoft\\Plus!\\Pinball\\SpaceCadet";
  EXPECT_EQ(Value(pinball, "Verification"), Utf16(u"-4995"));
  for (const char* score : {"0.Score", "1.Score", "4.Score"}) {
    EXPECT_EQ(Value(pinball, score), Utf16(u"-999"));
  }
  EXPECT_EQ(Value(pinball, "0.Name"), Utf16(u""));
  const std::string freeCell = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\FreeCell";
  EXPECT_FALSE(Value(freeCell, "won"));
  EXPECT_FALSE(Value(freeCell, "streak"));
  EXPECT_EQ(Value("Software\\Microsoft\\winmine", "Name1"), Utf16(u"Anonymous"));
  EXPECT_EQ(Value("Software\\Microsoft\\winmine", "Time1"), std::string("\xe7\x03\0\0", 4));
  EXPECT_EQ(Value("Software\\Microsoft\\WinMine", "Mines"), std::string("\x0a\0\0\0", 4));
  EXPECT_FALSE(Value("Software\\Microsoft\\Spider", "Wins_Easy"));
  EXPECT_FALSE(Value("Software\\Microsoft\\Spider", "OtherEasy"));
  EXPECT_FALSE(Value("Software\\Microsoft\\Spider", "Losses_Difficult"));
  EXPECT_TRUE(Value("Software\\Microsoft\\Spider", "Easy"));  // "*" needs one character
  EXPECT_TRUE(Value("Software\\Microsoft\\Spider", "Setting"));
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
  EXPECT_EQ(plugin_->CopyCounters().current.items, 7u);

  const std::string report = Page(false);
  EXPECT_NE(report.find("Games reset: 4"), std::string::npos) << report;
  EXPECT_EQ(report.find("Not erased"), std::string::npos);

  ASSERT_EQ(Run(true), PluginResult::Finished);  // the reset values are the empty defaults
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
}

// A machine where no game was ever played: nothing found, and the reset of a game whose key does
// not exist is no failure that would keep the later games from being reset.
TEST_F(WinGamesPluginTest, AMachineWithoutGamesScansEmptyAndErasesCleanly) {
  TempMachine machine;
  plugin_ = MakePlugin<WinGamesPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
  const std::string details = Page(true);
  EXPECT_NE(details.find("#1b7a3a"), std::string::npos);  // the ok icon
  EXPECT_NE(details.find("No record"), std::string::npos);
  ASSERT_EQ(Run(false), PluginResult::Finished);
  for (const auto& [game, reset] : Plugin().Reset()) EXPECT_TRUE(reset) << game;
  EXPECT_FALSE(Value("Software\\Microsoft\\Spider", "Wins_Easy"));
  EXPECT_EQ(Value("Software\\Microsoft\\winmine", "Time3"), std::string("\xe7\x03\0\0", 4));
}

// The details page lists the values holding the records, collapsed; the report marks only the
// games whose reset removed a record, and counts only those.
TEST_F(WinGamesPluginTest, ValuesAreListedAndOnlyGamesWithRecordsAreMarkedErased) {
  TempMachineOptions options;
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Applets\\\\FreeCell] 0\n"
      "\"won\"=dword:00000003\n\"lost\"=dword:00000000\n"
      "\n[Software\\\\Microsoft\\\\Spider] 0\n\"Losses_Medium\"=dword:00000004\n";
  TempMachine machine(options);
  plugin_ = MakePlugin<WinGamesPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  std::vector<std::string> values;
  for (const FoundItem& item : Plugin().FoundValues().Shown()) values.push_back(item.name);
  EXPECT_EQ(
      values,
      (std::vector<std::string>{
          "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\FreeCell\\won",
          "HKEY_CURRENT_USER\\Software\\Microsoft\\Spider\\Losses_Medium"}));
  const std::string details = Page(true);
  EXPECT_NE(details.find("class=\"found-items\""), std::string::npos) << details;
  EXPECT_EQ(details.find("<details open"), std::string::npos);  // collapsed until clicked
  EXPECT_NE(details.find("Show the 2 registry values"), std::string::npos) << details;
  EXPECT_NE(details.find(">Losses_Medium</td>"), std::string::npos) << details;

  ASSERT_EQ(Run(false), PluginResult::Finished);
  const std::string report = Page(false);
  EXPECT_NE(report.find("Games reset: 2"), std::string::npos) << report;
  const auto count = [&report](std::string_view text) {
    std::size_t n = 0;
    for (auto at = report.find(text); at != std::string::npos; at = report.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("badge erased"), 2u) << report;      // FreeCell, Spider
  EXPECT_EQ(count("Nothing to erase"), 2u) << report;  // Pinball, Minesweeper: nothing was there
  EXPECT_EQ(count("Not erased"), 0u) << report;
}

// Wine's own Minesweeper keeps its best times in the same key; what Wine wrote is found, and
// what we reset is what Wine reads back.
TEST_F(WinGamesPluginTest, WinesMinesweeperTimesAreFoundAndReset) {
  test::WinePrefix wine;
  if (!wine.Ready()) CORVANE_SKIP_LIVE_WINE(wine.Why());
  const std::string key = "HKCU\\Software\\Microsoft\\WinMine";
  ASSERT_EQ(
      wine.Run({"wine", "reg", "add", key, "/v", "Time1", "/t", "REG_DWORD", "/d", "17", "/f"}), 0);
  ASSERT_EQ(wine.Run({"wine", "reg", "add", key, "/v", "Name1", "/d", "Zoe", "/f"}), 0);
  {
    std::unique_ptr<Machine> machine = Machine::Open(wine.Prefix(), nullptr);
    ASSERT_TRUE(machine);
    Machine::SetCurrent(machine.get());
    RegistryStore registry(wine.Prefix());
    RegistryStore::SetCurrent(&registry);
    plugin_ = MakePlugin<WinGamesPlugin>(owner_);
    ASSERT_EQ(Run(true), PluginResult::Finished);
    EXPECT_EQ(Plugin().Mines()[0].time, 17u);
    EXPECT_EQ(Plugin().Mines()[0].name, "Zoe");
    EXPECT_EQ(Plugin().Records().at("mine"), 1u);
    ASSERT_EQ(Run(false), PluginResult::Finished);
    plugin_.reset();
    EXPECT_TRUE(registry.Flush());
    RegistryStore::SetCurrent(nullptr);
    Machine::SetCurrent(nullptr);
  }
  // Wine reads the reset values back.
  const fs::path out = wine.Home() / "winmine.reg";
  ASSERT_EQ(wine.Run({"wine", "reg", "export", key, "Z:" + out.string(), "/y"}), 0);
  const std::string exported = ReadHostFile(out);
  std::string text;
  for (std::size_t i = 0; i < exported.size(); ++i) {
    if (exported[i] != '\0' && static_cast<unsigned char>(exported[i]) < 0x80) text += exported[i];
  }
  EXPECT_NE(text.find("\"Time1\"=dword:000003e7"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Name1\"=\"Anonymous\""), std::string::npos) << text;
}

}  // namespace
}  // namespace corvane
