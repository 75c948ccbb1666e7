#include "settings/statistics_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/registry_key.h"
#include "platform/registry.h"
#include "tests/support/fake_plugin.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

using testing::FakePlugin;

class StatisticsStoreTest : public ::testing::Test {
 protected:
  PluginList Plugins(std::initializer_list<const char*> ids) {
    PluginList list;
    for (const char* id : ids) list.PushBack(MakePlugin<FakePlugin>(owner_, id, machine_.Prefix()));
    return list;
  }
  static void Put(std::string_view subKey, std::string_view name, DWORD type,
                  std::vector<BYTE> data) {
    HKEY key = 0;
    std::string path = kStatisticsKeyPath;
    if (!subKey.empty()) path += "\\" + std::string(subKey);
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, path, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static bool KeyExists(std::string_view path) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  TempMachine machine_;
  test::TestOwner owner_;
};

PluginCounters Figures(std::uint32_t base) {
  PluginCounters c;
  c.erasedTotal = {base * 10, 0x1'0000'0000ULL + base};  // sizes past 32 bits survive
  c.erasedToday = {base * 2, 2000};
  c.current = {base, 1000};
  c.failed = {7, 7};
  return c;
}

TEST_F(StatisticsStoreTest, FiguresAndTheCleanupDateComeBackAfterARestartOfTheProgram) {
  const OleDate now = OleDateNow();
  {
    PluginList plugins = Plugins({"BrowserCache", "CuPl_Temp.pld"});
    plugins.At(0).RestoreCounters(Figures(3));
    plugins.At(1).RestoreCounters(Figures(5));
    ASSERT_TRUE(SaveStatistics(plugins, now));
  }
  ASSERT_TRUE(machine_.Registry().Flush());

  PluginList again = Plugins({"CuPl_Temp.pld", "BrowserCache", "WinGames"});
  const OleDate loaded = LoadStatistics(again, now);
  EXPECT_FALSE(OnDifferentDays(loaded, now));
  EXPECT_EQ(FormatCleanupDate(loaded), FormatCleanupDate(now));
  PluginCounters expected = Figures(5);
  expected.failed = {};  // never stored
  EXPECT_EQ(again.At(0).CopyCounters(), expected);
  EXPECT_EQ(again.At(1).CopyCounters().erasedTotal.bytes, 0x1'0000'0003ULL);
  EXPECT_EQ(again.At(2).CopyCounters(), PluginCounters{});  // no section: zeros

  // The next day, today's figures start from zero and the rest stay.
  OleDate tomorrow = now;
  tomorrow.value += 1.0;
  PluginList nextDay = Plugins({"BrowserCache"});
  static_cast<void>(LoadStatistics(nextDay, tomorrow));
  EXPECT_EQ(nextDay.At(0).CopyCounters().erasedToday, CounterPair{});
  EXPECT_EQ(nextDay.At(0).CopyCounters().erasedTotal.items, 30U);

  // Values directly under the store's key are no plug-in's; nothing is written there.
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, kStatisticsKeyPath, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_NE(RegQueryValueExW(key, "AllNum", nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(StatisticsStoreTest, ValuesOfTheWrongShapeAndBadDatesGiveZerosAndKeepTheRest) {
  Put("BrowserCache", "AllNum", REG_DWORD, {5, 0, 0, 0});
  Put("BrowserCache", "AllSize", REG_BINARY, {1, 2, 3});                      // too short
  Put("BrowserCache", "TodayNum", REG_SZ, {'9', 0});                          // wrong type
  Put("BrowserCache", "TodaySize", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0, 0});  // too long
  Put("BrowserCache", "LastNum", REG_BINARY, {4, 0, 0, 0});                   // 4 bytes, wrong type
  Put("BrowserCache", "LastSize", REG_BINARY, {0, 1, 0, 0, 0, 0, 0, 0});
  Put("", kLastCleanupValue, REG_SZ, {'x', 0, 0, 0});
  PluginList plugins = Plugins({"BrowserCache"});
  const OleDate loaded = LoadStatistics(plugins, OleDateNow());
  EXPECT_FALSE(loaded.valid);
  const PluginCounters c = plugins.At(0).CopyCounters();
  EXPECT_EQ(c.erasedTotal, (CounterPair{5, 0}));
  EXPECT_EQ(c.erasedToday, CounterPair{});
  EXPECT_EQ(c.current, (CounterPair{0, 256}));

  // Dates: only the stored form reads; out-of-range fields do not.
  EXPECT_FALSE(ParseCleanupDate("2024-13-01 00:00:00").valid);
  EXPECT_FALSE(ParseCleanupDate("2024-02-30 10:00:00").valid);
  EXPECT_FALSE(ParseCleanupDate("2024-01-01 24:00:00").valid);
  EXPECT_FALSE(ParseCleanupDate("2024-01-01 10:00:00 trailing").valid);
  EXPECT_FALSE(ParseCleanupDate("99999-01-01 10:00:00").valid);
  EXPECT_EQ(FormatCleanupDate(ParseCleanupDate("2024-01-31 23:59:58")), "2024-01-31 23:59:58");
  EXPECT_EQ(FormatCleanupDate(ParseCleanupDate("")), "1000-01-01 00:00:00");
  // A far-past last cleanup does not reset today's figures; a far-future clock does.
  EXPECT_FALSE(IsCalendarDate(ParseCleanupDate("")));
  EXPECT_TRUE(IsCalendarDate(ParseCleanupDate("9999-12-31 23:59:59")));
}

TEST_F(StatisticsStoreTest, ClearingRemovesEveryPluginsFiguresButKeepsTheLastCleanup) {
  PluginList plugins = Plugins({"BrowserCache", "WinGames"});
  plugins.At(0).RestoreCounters(Figures(1));
  const OleDate when = ParseCleanupDate("2024-05-06 07:08:09");
  ASSERT_TRUE(SaveStatistics(plugins, when));
  EXPECT_TRUE(KeyExists(std::string(kStatisticsKeyPath) + "\\WinGames"));
  ASSERT_TRUE(ClearStatisticsStore());
  EXPECT_FALSE(KeyExists(std::string(kStatisticsKeyPath) + "\\BrowserCache"));
  EXPECT_FALSE(KeyExists(std::string(kStatisticsKeyPath) + "\\WinGames"));
  RegistryString last(HKEY_LOCAL_MACHINE, kStatisticsKeyPath, kLastCleanupValue, "");
  last.SetReadOnly(true);
  EXPECT_EQ(last.value, "2024-05-06 07:08:09");
  PluginList again = Plugins({"BrowserCache"});
  EXPECT_EQ(FormatCleanupDate(LoadStatistics(again, OleDateNow())), "2024-05-06 07:08:09");
  EXPECT_EQ(again.At(0).CopyCounters(), PluginCounters{});
}

TEST_F(StatisticsStoreTest, TheEnabledFlagIsCreatedOnAndOnlyExactlyOneIsOn) {
  EXPECT_TRUE(ReadStatisticsEnabled());
  RegistryDword created(HKEY_LOCAL_MACHINE, kEraseKeyPath, kStatisticsEnabledValue, 99);
  created.SetReadOnly(true);
  EXPECT_EQ(created.value, 1U);
  EXPECT_EQ(created.Status(), RegistryStatus::Ok);
  {
    RegistryDword two(HKEY_LOCAL_MACHINE, kEraseKeyPath, kStatisticsEnabledValue, 1);
    two.value = 2;
  }
  EXPECT_FALSE(ReadStatisticsEnabled());
}

TEST(StatisticsTotals, CountsAreSummedWithoutWrapping) {
  StatisticsTotals totals;
  PluginCounters big;
  big.erasedTotal = {0xFFFF'FFFFU, 1};
  totals.Add(big);
  totals.Add(big);
  EXPECT_EQ(totals.allItems, 0x1'FFFF'FFFEULL);
  EXPECT_EQ(totals.allBytes, 2U);
}

}  // namespace
}  // namespace corvane
