#pragma once
// One corvane-cli command, run the way the desktop program runs it: the same main window and
// controller on the headless host, the same plug-ins, registry and run. A scan clicks "Scan now"
// and waits for the results; an erase then goes on to the erase settings and clicks "Erase".
// What each plug-in found, erased and failed to erase is read off the plug-ins afterwards.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/html_text.h"
#include "engine/plugin_counters.h"
#include "engine/plugin_id.h"

namespace corvane {

// Exit statuses of corvane-cli.
inline constexpr int kCliOk = 0;
inline constexpr int kCliPluginFailed = 1;  // some plug-in's scan or erase failed
inline constexpr int kCliUsage = 2;         // bad arguments, unknown ids, no machine
inline constexpr int kCliRefused = 3;       // no --yes, the desktop program or Wine is running

enum class CliPluginResult { NotRun, Finished, Failed, Cancelled };

struct CliPluginReport {
  PluginId id;
  std::string name;  // as text
  bool selected = false;
  CliPluginResult scan = CliPluginResult::NotRun;
  CliPluginResult erase = CliPluginResult::NotRun;
  // What the scan found, by the plug-in's own counter names ("items", "size", "domains", …;
  // "files", "bytes", "registry" for custom plug-ins). Names ending in "size" or "bytes" are
  // byte counts.
  std::vector<std::pair<std::string, std::uint64_t>> found;
  std::string details;                  // the details page as text, with --details
  std::vector<HtmlTable> detailTables;  // its tables, for --json
  CounterPair erased;
  CounterPair failed;
  bool inErase = false;              // it was one of the run's cleaners, whether it got its turn
  std::uint32_t leftForRestart = 0;  // files left for the next start of Wine, which deletes them
  PluginCounters statistics;         // stats: what it has erased in all runs, today, last run
};

struct CliOutcome {
  int status = kCliOk;
  std::string error;  // what went wrong, for stderr, when status is not kCliOk
  std::filesystem::path machine;
  std::vector<CliPluginReport> plugins;  // in list order; only those asked for
  bool cancelled = false;                // Ctrl-C stopped the run; the reports tell how far it got
  std::string restartCommand;            // how to finish deletions left for the next start of Wine
  bool wineRestarted = false;            // --restart-wine: Wine ran and finished them
  bool statisticsEnabled = true;         // stats: whether runs are counted
  std::string lastCleanup;               // stats: "%Y-%m-%d %H:%M:%S", empty when never
  std::vector<std::pair<std::string, bool>> options;  // options: every option and its state
};

// Told of progress while a scan or erase runs: the plug-in's name and a line of text.
using CliProgress = std::function<void(const std::string& plugin, const std::string& text)>;

// Runs a list, scan or erase command (not Help). `programFolder` holds html/ and CustomPlugins.
[[nodiscard]] CliOutcome RunCliCommand(const CliArguments& arguments,
                                       const std::filesystem::path& programFolder,
                                       const CliProgress& progress);

}  // namespace corvane
