#pragma once
// The program folder: the folder of our own executable, which holds the data installed beside it
// (html/, files/, CustomPlugins/, Updates.ini) and, as the current directory, the trace log.

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The program folder without a trailing "/"; empty (last error set) when the executable's path
// cannot be read.
[[nodiscard]] std::string ProgramFolder();

// Makes ProgramFolder() answer `folder` (tests lay out their own program folder); an empty folder
// goes back to the executable's.
void SetProgramFolder(std::string folder);

// The host path of a path relative to the program folder, written with "/" or "\" as separator
// ("html\Common\layout.html"). Empty and "." components are dropped; nullopt when a ".."
// component would climb out of the folder, or when the program folder is unknown.
[[nodiscard]] std::optional<std::string> ProgramFilePath(std::string_view relative);

}  // namespace corvane
