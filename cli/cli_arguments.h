#pragma once
// The command line of corvane-cli: one command (list, scan, erase) and its options. Anything it
// does not know is an error the user is told about, never ignored.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

enum class CliCommand { List, Scan, Erase, Stats, Options, Help };

struct CliArguments {
  CliCommand command = CliCommand::Help;
  std::vector<std::string> only;  // plug-in ids from --only, in the order given; empty: all
  bool details = false;           // scan: add each plug-in's details page as text
  bool json = false;
  bool yes = false;                // erase: the user confirmed on the command line
  bool allowForeignOwner = false;  // root may work on a prefix another user owns
  bool restartWine = false;        // erase: restart Wine afterwards to finish what waits for it
  std::optional<std::filesystem::path> machine;
  // options: the option to set and its new state ("options set NAME on|off"); empty: list them.
  std::string optionName;
  std::optional<bool> optionValue;
};

struct CliParseResult {
  std::optional<CliArguments> arguments;
  std::string error;  // set when arguments is empty
};

[[nodiscard]] CliParseResult ParseCliArguments(const std::vector<std::string_view>& arguments);

// What `corvane-cli --help` prints.
[[nodiscard]] std::string CliUsage();

}  // namespace corvane
