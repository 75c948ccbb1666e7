#include "settings/statistics_store.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "app/registry_key.h"

namespace corvane {

namespace {

// Reads a value only when it has exactly the type and size it is written with: a value of
// another shape (hand-edited, or from another program) must not turn into a random figure.
template <typename Number>
Number ReadNumber(HKEY key, std::string_view name, DWORD expectedType) {
  std::array<BYTE, sizeof(Number)> data{};
  DWORD type = 0;
  DWORD size = data.size();
  if (RegQueryValueExW(key, name, &type, data.data(), &size) != ERROR_SUCCESS) return 0;
  if (type != expectedType || size != data.size()) return 0;
  Number value = 0;
  for (std::size_t i = 0; i < data.size(); ++i) value |= static_cast<Number>(data[i]) << (8 * i);
  return value;
}

template <typename Number>
bool WriteNumber(HKEY key, std::string_view name, DWORD type, Number value) {
  std::array<BYTE, sizeof(Number)> data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
  return RegSetValueExW(key, name, type, data.data(), data.size()) == ERROR_SUCCESS;
}

bool WritePair(HKEY key, const char* num, const char* size, const CounterPair& pair) {
  const bool items = WriteNumber<std::uint32_t>(key, num, REG_DWORD, pair.items);
  return WriteNumber<std::uint64_t>(key, size, REG_BINARY, pair.bytes) && items;
}

void ReadPair(HKEY key, const char* num, const char* size, CounterPair& pair) {
  pair.items = ReadNumber<std::uint32_t>(key, num, REG_DWORD);
  pair.bytes = ReadNumber<std::uint64_t>(key, size, REG_BINARY);
}

}  // namespace

StatisticsStore::StatisticsStore() : RegistrySectionStore(HKEY_LOCAL_MACHINE, kStatisticsKeyPath) {}

bool StatisticsStore::LoadSections() {
  const bool loaded = Load();
  RemoveSection("");
  return loaded;
}

bool StatisticsStore::WriteSection(const PluginCounters& section, HKEY key) {
  const bool all = WritePair(key, "AllNum", "AllSize", section.erasedTotal);
  const bool today = WritePair(key, "TodayNum", "TodaySize", section.erasedToday);
  const bool last = WritePair(key, "LastNum", "LastSize", section.current);
  return all && today && last;
}

void StatisticsStore::ReadSection(PluginCounters& section, HKEY key) {
  section = {};
  ReadPair(key, "AllNum", "AllSize", section.erasedTotal);
  ReadPair(key, "TodayNum", "TodaySize", section.erasedToday);
  ReadPair(key, "LastNum", "LastSize", section.current);
}

bool ReadStatisticsEnabled() {
  // Writable: a missing value is created with its default when the object goes.
  RegistryDword enabled(HKEY_LOCAL_MACHINE, kEraseKeyPath, kStatisticsEnabledValue, 1);
  const bool on = enabled.value == 1;
  if (enabled.Status() == RegistryStatus::Ok) enabled.SetReadOnly(true);
  return on;
}

void WriteStatisticsEnabled(bool enabled) {
  RegistryDword value(HKEY_LOCAL_MACHINE, kEraseKeyPath, kStatisticsEnabledValue, 1);
  value.value = enabled ? 1 : 0;
}

OleDate NeverCleanedDate() {
  return OleDateFromLocal({1000, 1, 1, 0, 0, 0});
}

bool IsCalendarDate(const OleDate& date) {
  const std::optional<LocalDateTime> local = LocalFromOleDate(date);
  return local && local->year >= 1900;
}

OleDate ParseCleanupDate(const std::string& text) {
  if (text.empty()) return NeverCleanedDate();
  LocalDateTime local;
  int consumed = 0;
  const int fields =
      std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &local.year, &local.month, &local.day,
                  &local.hour, &local.minute, &local.second, &consumed);
  if (fields != 6 || static_cast<std::size_t>(consumed) != text.size()) return {};
  if (local.hour > 23 || local.minute > 59 || local.second > 59 || local.hour < 0 ||
      local.minute < 0 || local.second < 0) {
    return {};
  }
  return OleDateFromLocal(local);
}

std::string FormatCleanupDate(const OleDate& date) {
  const std::optional<LocalDateTime> local = LocalFromOleDate(date);
  if (!local) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local->year, local->month,
                local->day, local->hour, local->minute, local->second);
  return text;
}

OleDate LoadStatistics(const PluginList& plugins, const OleDate& now) {
  StatisticsStore store;
  if (!store.LoadSections()) {
    for (Plugin& plugin : plugins) plugin.RestoreCounters({});
    return NeverCleanedDate();
  }
  RegistryString stored(HKEY_LOCAL_MACHINE, kStatisticsKeyPath, kLastCleanupValue, "");
  stored.SetReadOnly(true);
  const OleDate lastCleanup = ParseCleanupDate(stored.type == REG_SZ ? stored.value : "");
  const bool newDay = OnDifferentDays(now, lastCleanup) && IsCalendarDate(lastCleanup);
  for (Plugin& plugin : plugins) {
    // Only the sections of plug-ins in the list are touched: a removed custom plug-in's figures
    // stay stored as they were.
    PluginCounters counters;
    if (const auto it = store.AllSections().find(plugin.GetId()); it != store.AllSections().end()) {
      counters = it->second;
    }
    if (newDay) counters.erasedToday = {};
    plugin.RestoreCounters(counters);
  }
  return lastCleanup;
}

bool SaveStatistics(const PluginList& plugins, const OleDate& lastCleanup) {
  StatisticsStore store;
  for (const Plugin& plugin : plugins) store.Section(plugin.GetId()) = plugin.CopyCounters();
  const bool saved = store.Save();
  RegistryString stored(HKEY_LOCAL_MACHINE, kStatisticsKeyPath, kLastCleanupValue, "");
  stored.value = FormatCleanupDate(lastCleanup);
  stored.type = REG_SZ;
  return saved;
}

bool ClearStatisticsStore() {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, kStatisticsKeyPath, &key) != ERROR_SUCCESS) return true;
  bool cleared = true;
  for (;;) {
    std::string name;
    if (RegEnumKeyW(key, 0, &name, 1024) != ERROR_SUCCESS) break;
    if (RegDeleteKeyW(key, name) != ERROR_SUCCESS) {
      cleared = false;
      break;
    }
  }
  RegCloseKey(key);
  return cleared;
}

void StatisticsTotals::Add(const PluginCounters& counters) {
  allItems += counters.erasedTotal.items;
  allBytes += counters.erasedTotal.bytes;
  todayItems += counters.erasedToday.items;
  todayBytes += counters.erasedToday.bytes;
  lastItems += counters.current.items;
  lastBytes += counters.current.bytes;
}

}  // namespace corvane
