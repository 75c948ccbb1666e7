#pragma once
// Path macros of custom definitions: placeholders for the machine's special folders, temporary
// folder, environment and user name, resolved on the machine being cleaned when a scan runs.

#include <string>
#include <string_view>

namespace corvane {

// Replaces every occurrence (case-sensitive) of each macro by its value, one macro after another
// in a fixed order, so a value may itself hold a later macro: "[PATH_SYS_SHELL_HISTORY]",
// "_COOKIES]", "_CACHE]" and "_RECENT]" (HKCU "Shell Folders"), "[PATH_SYS_DOWNLOADEDPROGRAMS]"
// (HKLM "Internet Settings" "ActiveXCache"), "[PATH_SYS_TEMP]" (ends with "\"), "%UserProfile%",
// "%AppData%", "%ProgramFiles%", "%WinDir%" (the machine's environment) and "[WIN_USERNAME]". A
// value that is missing, or too long for the buffer Windows would read it into, is empty.
[[nodiscard]] std::string ExpandPathMacros(std::string_view text);

}  // namespace corvane
