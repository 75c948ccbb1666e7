#pragma once
// What every plug-in has erased (in all runs, today, in the last run), kept per plug-in under
// HKEY_LOCAL_MACHINE "Software\Corvane\Erase\Statistics": one sub-key per plug-in id with the
// counts as REG_DWORD and the sizes as 8-byte REG_BINARY, and "LastCleanupDT" on the key itself.
// The figures live in the plug-ins while the program runs; this moves them in and out.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/plugin_counters.h"
#include "engine/plugin_list.h"
#include "platform/ole_date.h"
#include "settings/registry_section_store.h"

namespace corvane {

inline constexpr char kEraseKeyPath[] = "Software\\Corvane\\Erase";
inline constexpr char kStatisticsKeyPath[] = "Software\\Corvane\\Erase\\Statistics";
inline constexpr char kStatisticsEnabledValue[] = "StatisticsEnabled";
inline constexpr char kLastCleanupValue[] = "LastCleanupDT";

// A section is a plug-in's counters; the failed pair is never stored.
class StatisticsStore final : public RegistrySectionStore<PluginCounters> {
 public:
  StatisticsStore();

  // As the base's Load, without the unnamed section: values on the store's key itself are not a
  // plug-in's figures, and a later Save must not write counters there.
  [[nodiscard]] bool LoadSections();

 protected:
  [[nodiscard]] bool WriteSection(const PluginCounters& section, HKEY key) override;
  // A value of another type or size than its own leaves its field zero.
  void ReadSection(PluginCounters& section, HKEY key) override;
};

// "StatisticsEnabled": on only when exactly 1; a missing value is created as 1.
[[nodiscard]] bool ReadStatisticsEnabled();
void WriteStatisticsEnabled(bool enabled);

// "LastCleanupDT" is local time as "%Y-%m-%d %H:%M:%S". Text that is not such a date gives an
// invalid date; empty text gives "never" (NeverCleanedDate).
[[nodiscard]] OleDate ParseCleanupDate(const std::string& text);
[[nodiscard]] std::string FormatCleanupDate(const OleDate& date);
// 1000-01-01 00:00:00: no cleanup yet.
[[nodiscard]] OleDate NeverCleanedDate();
// A date from which "today" can be told: valid and not before 1900.
[[nodiscard]] bool IsCalendarDate(const OleDate& date);

// Hands every plug-in its stored figures (zeros for one without) and answers the last cleanup
// date. Today's figures start again when `now` is on another day than the last cleanup.
[[nodiscard]] OleDate LoadStatistics(const PluginList& plugins, const OleDate& now);
// Stores every plug-in's figures and the last cleanup date. False when a key could not be
// written.
[[nodiscard]] bool SaveStatistics(const PluginList& plugins, const OleDate& lastCleanup);
// Deletes every plug-in's sub-key; "LastCleanupDT" stays. False when one could not be deleted.
[[nodiscard]] bool ClearStatisticsStore();

// The sums shown on the totals row: counts in 64 bits, so many plug-ins' counts cannot wrap.
struct StatisticsTotals {
  std::uint64_t allItems = 0, allBytes = 0;
  std::uint64_t todayItems = 0, todayBytes = 0;
  std::uint64_t lastItems = 0, lastBytes = 0;
  void Add(const PluginCounters& counters);
};

}  // namespace corvane
