#include "engine/wine_restart.h"

namespace corvane {

std::string WineRestartCommand(const std::filesystem::path& prefix) {
  // Inside single quotes only the quote itself needs care: it ends the quoted part, is given
  // escaped, and a new quoted part begins.
  std::string quoted = "'";
  for (const char c : prefix.string()) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += "'";
  return "WINEPREFIX=" + quoted + " wineboot --restart";
}

}  // namespace corvane
