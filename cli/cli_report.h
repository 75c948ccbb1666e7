#pragma once
// What corvane-cli prints: a plain text report for people, or a JSON document for scripts. Both
// carry the same facts; sizes appear as the pages show them, and in JSON as numbers too.

#include <string>

#include "cli/cli_arguments.h"
#include "cli/cli_session.h"

namespace corvane {

[[nodiscard]] std::string FormatCliText(CliCommand command, const CliOutcome& outcome);
[[nodiscard]] std::string FormatCliJson(CliCommand command, const CliOutcome& outcome);

}  // namespace corvane
