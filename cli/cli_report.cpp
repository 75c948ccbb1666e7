#include "cli/cli_report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "engine/format_size.h"
#include "engine/plugin.h"
#include "settings/statistics_store.h"

namespace corvane {

namespace {

const char* ResultName(CliPluginResult result) {
  switch (result) {
    case CliPluginResult::NotRun:
      break;
    case CliPluginResult::Finished:
      return "finished";
    case CliPluginResult::Failed:
      return "failed";
    case CliPluginResult::Cancelled:
      return "cancelled";
  }
  return "not run";
}

std::string Counter(const std::string& name, std::uint64_t value) {
  return name + " " + (IsByteCounter(name) ? FormatSize(value) : FormatCount(value));
}

std::string Indented(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    out += "    " + text.substr(start, end - start) + "\n";
    start = end + 1;
  }
  return out;
}

// "1,234 items (3.40 MB)", or "1,234 items" when nothing of it has a size.
std::string ItemsAndSize(std::uint64_t items, std::uint64_t bytes) {
  std::string text = FormatCount(items) + " items";
  if (bytes != 0) text += " (" + FormatSize(bytes) + ")";
  return text;
}

std::string TextOfPlugin(CliCommand command, const CliPluginReport& plugin) {
  std::string text =
      plugin.id + "  " + plugin.name + (plugin.selected ? "  [selected]" : "") + "\n";
  if (command == CliCommand::List) return text;
  text += std::string("  scan: ") + ResultName(plugin.scan);
  std::string found;
  for (const auto& [name, value] : plugin.found)
    found += (found.empty() ? "" : ", ") + Counter(name, value);
  text += found.empty() ? ", nothing found\n" : ", found " + found + "\n";
  if (command == CliCommand::Erase) {
    text += std::string("  erase: ") + ResultName(plugin.erase);
    if (plugin.erase != CliPluginResult::NotRun) {
      text += ", erased " + ItemsAndSize(plugin.erased.items, plugin.erased.bytes);
      if (plugin.failed.items != 0)
        text += ", could not erase " + ItemsAndSize(plugin.failed.items, plugin.failed.bytes);
      if (plugin.leftForRestart != 0)
        text += ", " + std::to_string(plugin.leftForRestart) + " left for the next Wine start";
    } else {
      text += plugin.inErase ? " (the run was cancelled before its turn)" : " (not selected)";
    }
    text += "\n";
  }
  if (!plugin.details.empty()) text += Indented(plugin.details);
  return text;
}

nlohmann::ordered_json CountersJson(const CounterPair& pair) {
  return {{"items", pair.items}, {"bytes", pair.bytes}, {"size", FormatSize(pair.bytes)}};
}

nlohmann::ordered_json SumJson(std::uint64_t items, std::uint64_t bytes) {
  return {{"items", items}, {"bytes", bytes}, {"size", FormatSize(bytes)}};
}

std::string Figures(std::uint64_t items, std::uint64_t bytes) {
  return std::to_string(items) + " items (" + FormatSize(bytes) + ")";
}

std::string StatisticsText(const CliOutcome& outcome) {
  std::string text =
      std::string("statistics ") + (outcome.statisticsEnabled ? "on" : "off") + ", last cleanup " +
      (outcome.lastCleanup.empty() ? std::string("never") : outcome.lastCleanup) + "\n";
  StatisticsTotals totals;
  const auto line = [](std::uint64_t ai, std::uint64_t ab, std::uint64_t ti, std::uint64_t tb,
                       std::uint64_t li, std::uint64_t lb) {
    return "  all runs " + Figures(ai, ab) + ", today " + Figures(ti, tb) + ", last run " +
           Figures(li, lb) + "\n";
  };
  for (const CliPluginReport& plugin : outcome.plugins) {
    const PluginCounters& c = plugin.statistics;
    text += plugin.id + "  " + plugin.name + "\n" +
            line(c.erasedTotal.items, c.erasedTotal.bytes, c.erasedToday.items, c.erasedToday.bytes,
                 c.current.items, c.current.bytes);
    totals.Add(c);
  }
  text += "Total\n" + line(totals.allItems, totals.allBytes, totals.todayItems, totals.todayBytes,
                           totals.lastItems, totals.lastBytes);
  return text;
}

std::string StatisticsJson(const CliOutcome& outcome) {
  nlohmann::ordered_json plugins = nlohmann::ordered_json::array();
  StatisticsTotals totals;
  for (const CliPluginReport& plugin : outcome.plugins) {
    const PluginCounters& c = plugin.statistics;
    plugins.push_back({{"id", plugin.id},
                       {"name", plugin.name},
                       {"all", CountersJson(c.erasedTotal)},
                       {"today", CountersJson(c.erasedToday)},
                       {"last", CountersJson(c.current)}});
    totals.Add(c);
  }
  nlohmann::ordered_json document = {
      {"machine", outcome.machine.string()},
      {"statistics_enabled", outcome.statisticsEnabled},
      {"last_cleanup", outcome.lastCleanup.empty() ? nlohmann::ordered_json(nullptr)
                                                   : nlohmann::ordered_json(outcome.lastCleanup)},
      {"plugins", plugins},
      {"total",
       {{"all", SumJson(totals.allItems, totals.allBytes)},
        {"today", SumJson(totals.todayItems, totals.todayBytes)},
        {"last", SumJson(totals.lastItems, totals.lastBytes)}}},
      {"status", outcome.status}};
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// A page's tables as data: rows as objects keyed by the column headers where the table has them.
nlohmann::ordered_json TablesJson(const std::vector<HtmlTable>& tables) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const HtmlTable& table : tables) {
    // Objects need one name per column; a table repeating a header keeps its rows as lists.
    std::vector<std::string> names = table.header;
    std::sort(names.begin(), names.end());
    const bool keyed = std::adjacent_find(names.begin(), names.end()) == names.end();
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& row : table.rows) {
      if (!keyed || table.header.size() != row.size()) {
        rows.push_back(row);
        continue;
      }
      nlohmann::ordered_json fields = nlohmann::ordered_json::object();
      for (std::size_t i = 0; i < row.size(); ++i) fields[table.header[i]] = row[i];
      rows.push_back(std::move(fields));
    }
    list.push_back({{"columns", table.header}, {"rows", std::move(rows)}});
  }
  return list;
}

std::string OptionsText(const CliOutcome& outcome) {
  std::string text;
  for (const auto& [name, on] : outcome.options) {
    text += name + std::string(18 - std::min<std::size_t>(name.size(), 17), ' ') +
            (on ? "on" : "off") + "\n";
  }
  return text;
}

// What the scan found in all, by the counters' own names: bytes where they say so, items else.
CounterPair FoundTotal(const CliPluginReport& plugin) {
  CounterPair total;
  for (const auto& [name, value] : plugin.found) {
    if (IsByteCounter(name)) {
      total.bytes += value;
    } else {
      total.items += static_cast<std::uint32_t>(value);
    }
  }
  return total;
}

}  // namespace

std::string FormatCliText(CliCommand command, const CliOutcome& outcome) {
  if (command == CliCommand::Stats) return StatisticsText(outcome);
  if (command == CliCommand::Options) return OptionsText(outcome);
  std::string text;
  CounterPair erased;
  CounterPair found;
  std::size_t erasing = 0;
  std::uint32_t leftForRestart = 0;
  for (const CliPluginReport& plugin : outcome.plugins) {
    text += TextOfPlugin(command, plugin);
    erased.Add(plugin.erased.items, plugin.erased.bytes);
    found.Add(FoundTotal(plugin));
    if (plugin.erase != CliPluginResult::NotRun) ++erasing;
    leftForRestart += plugin.leftForRestart;
  }
  if (command == CliCommand::Scan) {
    text += "total: found " + ItemsAndSize(found.items, found.bytes) + " in " +
            std::to_string(outcome.plugins.size()) + " cleaners\n";
  } else if (command == CliCommand::Erase) {
    text += "total: erased " + ItemsAndSize(erased.items, erased.bytes) + " with " +
            std::to_string(erasing) + " cleaners\n";
  }
  if (outcome.cancelled) {
    text +=
        command == CliCommand::Erase
            ? "cancelled: erased " + ItemsAndSize(erased.items, erased.bytes) + " before the stop\n"
            : std::string("cancelled: the scan stopped before every cleaner had finished\n");
  }
  if (leftForRestart != 0 && outcome.wineRestarted) {
    text += std::to_string(leftForRestart) +
            " files waited for the next start of Wine; Wine was restarted and deleted them.\n";
  } else if (leftForRestart != 0) {
    text += std::to_string(leftForRestart) +
            " files could not be deleted now and wait for the next start of Wine, which deletes "
            "them. To finish now, close the Wine programs of this prefix and run:\n  " +
            outcome.restartCommand + "\n";
  }
  return text;
}

std::string FormatCliJson(CliCommand command, const CliOutcome& outcome) {
  if (command == CliCommand::Stats) return StatisticsJson(outcome);
  if (command == CliCommand::Options) {
    nlohmann::ordered_json options = nlohmann::ordered_json::object();
    for (const auto& [name, on] : outcome.options) options[name] = on;
    nlohmann::ordered_json document = {{"machine", outcome.machine.string()}, {"options", options}};
    if (outcome.status != kCliOk) document["error"] = outcome.error;
    document["status"] = outcome.status;
    return document.dump(2) + "\n";
  }
  nlohmann::ordered_json plugins = nlohmann::ordered_json::array();
  for (const CliPluginReport& plugin : outcome.plugins) {
    nlohmann::ordered_json entry = {
        {"id", plugin.id}, {"name", plugin.name}, {"selected", plugin.selected}};
    if (command != CliCommand::List) {
      nlohmann::ordered_json found = nlohmann::ordered_json::object();
      for (const auto& [name, value] : plugin.found) {
        found[name] = value;
        if (IsByteCounter(name)) found[name + "_text"] = FormatSize(value);
      }
      entry["scan"] = {{"result", ResultName(plugin.scan)}, {"found", found}};
      if (!plugin.details.empty()) entry["details"] = plugin.details;
      if (!plugin.detailTables.empty()) entry["details_tables"] = TablesJson(plugin.detailTables);
    }
    if (command == CliCommand::Erase) {
      entry["erase"] = {{"result", ResultName(plugin.erase)},
                        {"erased", CountersJson(plugin.erased)},
                        {"failed", CountersJson(plugin.failed)},
                        {"left_for_restart", plugin.leftForRestart}};
    }
    plugins.push_back(std::move(entry));
  }
  nlohmann::ordered_json document = {{"machine", outcome.machine.string()}, {"plugins", plugins}};
  if (outcome.cancelled) document["cancelled"] = true;
  if (!outcome.restartCommand.empty()) document["restart_command"] = outcome.restartCommand;
  if (outcome.wineRestarted) document["wine_restarted"] = true;
  if (outcome.status != kCliOk) document["error"] = outcome.error;
  document["status"] = outcome.status;
  // Names and paths from the machine need not be valid UTF-8: replace, never throw.
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace corvane
