#include "cli/cli_arguments.h"

namespace corvane {

namespace {

std::optional<CliCommand> CommandNamed(std::string_view name) {
  if (name == "list") return CliCommand::List;
  if (name == "scan") return CliCommand::Scan;
  if (name == "erase") return CliCommand::Erase;
  if (name == "stats") return CliCommand::Stats;
  if (name == "options") return CliCommand::Options;
  if (name == "help") return CliCommand::Help;
  return std::nullopt;
}

// "--only A,B" may be given more than once; empty items (",," or a trailing ",") are mistakes.
bool AddIds(std::string_view list, std::vector<std::string>& ids) {
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string_view id = list.substr(start, comma - start);
    if (id.empty()) return false;
    ids.emplace_back(id);
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

CliParseResult Fail(std::string error) {
  return CliParseResult{std::nullopt, std::move(error)};
}

}  // namespace

CliParseResult ParseCliArguments(const std::vector<std::string_view>& arguments) {
  CliArguments parsed;
  bool haveCommand = false;
  std::vector<std::string_view> operands;  // what follows "options"
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    // Options that take a value accept it as the next argument or after "=".
    const auto value = [&](std::string_view option) -> std::optional<std::string_view> {
      if (argument.starts_with(option) && argument.size() > option.size() &&
          argument[option.size()] == '=')
        return argument.substr(option.size() + 1);
      if (argument == option && i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    if (argument == "--help" || argument == "-h") {
      parsed.command = CliCommand::Help;
      return CliParseResult{parsed, {}};
    }
    if (argument == "--details") {
      parsed.details = true;
    } else if (argument == "--json") {
      parsed.json = true;
    } else if (argument == "--yes") {
      parsed.yes = true;
    } else if (argument == "--restart-wine") {
      parsed.restartWine = true;
    } else if (argument == "--allow-foreign-owner") {
      parsed.allowForeignOwner = true;
    } else if (argument.starts_with("--only")) {
      const std::optional<std::string_view> ids = value("--only");
      if (!ids) return Fail("--only needs a list of cleaner ids, such as --only CuPl_Temp.pld");
      if (!AddIds(*ids, parsed.only))
        return Fail("--only: an empty cleaner id in \"" + std::string(*ids) + "\"");
    } else if (argument.starts_with("--machine")) {
      const std::optional<std::string_view> folder = value("--machine");
      if (!folder || folder->empty()) return Fail("--machine needs the folder of a Wine prefix");
      parsed.machine = std::filesystem::path(*folder);
    } else if (argument.starts_with("-")) {
      return Fail("unknown option \"" + std::string(argument) + "\"");
    } else if (haveCommand && parsed.command == CliCommand::Options) {
      operands.push_back(argument);
    } else if (haveCommand) {
      return Fail("unexpected argument \"" + std::string(argument) + "\"");
    } else if (std::optional<CliCommand> command = CommandNamed(argument)) {
      parsed.command = *command;
      haveCommand = true;
    } else {
      return Fail("unknown command \"" + std::string(argument) + "\"");
    }
  }
  if (!haveCommand) return Fail("no command given");
  if (parsed.command == CliCommand::Options && !operands.empty()) {
    if (operands.size() != 3 || operands[0] != "set")
      return Fail("options takes nothing, or: set NAME on|off");
    if (operands[2] != "on" && operands[2] != "off")
      return Fail("options set: the state is on or off, not \"" + std::string(operands[2]) + "\"");
    parsed.optionName = operands[1];
    parsed.optionValue = operands[2] == "on";
  }
  if (parsed.details && parsed.command != CliCommand::Scan) return Fail("--details goes with scan");
  if (parsed.yes && parsed.command != CliCommand::Erase) return Fail("--yes goes with erase");
  if (!parsed.only.empty() &&
      (parsed.command == CliCommand::List || parsed.command == CliCommand::Stats ||
       parsed.command == CliCommand::Options))
    return Fail("--only goes with scan and erase");
  if (parsed.restartWine && parsed.command != CliCommand::Erase)
    return Fail("--restart-wine goes with erase");
  return CliParseResult{parsed, {}};
}

std::string CliUsage() {
  return "usage: corvane-cli COMMAND [OPTIONS]\n"
         "\n"
         "Cleans the traces everyday use leaves in a Wine prefix, as the desktop program does.\n"
         "\n"
         "Commands:\n"
         "  list                 the cleaners in list order: id, name, selected or not\n"
         "  scan [--details]     scan and tell what each cleaner found\n"
         "  erase --yes          scan, then erase with the selected cleaners\n"
         "  stats                what each cleaner has erased: in all runs, today, last run\n"
         "  options              the options of the erase settings page, on or off\n"
         "  options set NAME on|off\n"
         "                       change one (stored where the desktop program keeps it)\n"
         "\n"
         "Options:\n"
         "  --only ID,...        scan or erase with these cleaners only\n"
         "  --details            add each cleaner's details page as text\n"
         "  --json               print a JSON document instead of text\n"
         "  --machine DIR        the Wine prefix (default: $WINEPREFIX, else ~/.wine)\n"
         "  --yes                confirm an erase; without it nothing is erased\n"
         "  --restart-wine       after an erase, restart Wine on the prefix (wineboot\n"
         "                       --restart) so that it deletes the files left for its start\n"
         "  --allow-foreign-owner\n"
         "                       as root, work on a prefix another user owns (refused\n"
         "                       otherwise, as Wine refuses it); files keep their owner\n";
}

}  // namespace corvane
