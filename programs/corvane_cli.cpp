// corvane-cli: the cleaner from the command line, for cron jobs, scripts and machines without a
// desktop. It runs the same plug-ins, settings and runs as the desktop program.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/cli_report.h"
#include "cli/cli_session.h"
#include "platform/program_folder.h"

namespace {

// One line of progress, rewritten in place; only for a terminal, never into a log file.
void ShowProgress(const std::string& plugin, const std::string& text) {
  std::string line = plugin + ": " + text;
  if (line.size() > 100) line = line.substr(0, 97) + "...";
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const corvane::CliParseResult parsed = corvane::ParseCliArguments(arguments);
  if (!parsed.arguments) {
    std::fprintf(stderr, "corvane-cli: %s\nTry \"corvane-cli --help\".\n", parsed.error.c_str());
    return corvane::kCliUsage;
  }
  const corvane::CliArguments& options = *parsed.arguments;
  if (options.command == corvane::CliCommand::Help) {
    std::fputs(corvane::CliUsage().c_str(), stdout);
    return corvane::kCliOk;
  }

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  const corvane::CliOutcome outcome = corvane::RunCliCommand(
      options, corvane::ProgramFolder(),
      terminal ? corvane::CliProgress(ShowProgress) : corvane::CliProgress());
  if (terminal) std::fputs("\r\033[K", stderr);

  const bool ran = outcome.status == corvane::kCliOk || outcome.status == corvane::kCliPluginFailed;
  if (ran) {
    const std::string report = options.json ? corvane::FormatCliJson(options.command, outcome)
                                            : corvane::FormatCliText(options.command, outcome);
    std::fputs(report.c_str(), stdout);
  }
  if (outcome.status != corvane::kCliOk)
    std::fprintf(stderr, "corvane-cli: %s\n", outcome.error.c_str());
  return outcome.status;
}
