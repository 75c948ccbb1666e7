#pragma once
// Preferences of a Mozilla-family profile, as "prefs.js" and "user.js" hold them:
//   user_pref("signon.SignonFileName", "a1b2c3d4.s");

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace corvane {

// The longest value a preference may have here. A longer one is not cut short: the shortened
// text would name another file, which the forms erase would then delete.
inline constexpr std::size_t kMaxPrefValue = 99;

// The value of the preference `name` in the file: on the first line (one that does not begin
// with "#" or a carriage return) that contains the name, the text between the first double
// quote after the first comma and the next double quote. None when the file cannot be opened,
// no line holds the name, that line has no such quoted text, or the value is longer than
// kMaxPrefValue characters. Lines of any length are read whole.
[[nodiscard]] std::optional<std::string> ReadPref(std::string_view path, std::string_view name);
// The same for a file already open for reading.
[[nodiscard]] std::optional<std::string> ReadPref(FileHandle& file, std::string_view name);

}  // namespace corvane
