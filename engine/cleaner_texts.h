#pragma once
// The texts every cleaner shares: the progress pages and "nothing here" rows of the language's
// plug-in folder, and the two status icons, which are the same in every language.

#include <string>
#include <string_view>

namespace corvane {

// Files of the shared folder "html\<language>\Plugins\".
inline constexpr std::string_view kScanningPage = "Scaning.html";
inline constexpr std::string_view kClearingPage = "Clearing.html";
inline constexpr std::string_view kNoItemsFound = "no_items_found.html";
inline constexpr std::string_view kNoItemsErased = "no_items_erased.html";
// The mark of a report row whose erase had nothing to remove: never "Erased".
inline constexpr std::string_view kNothingToErase = "res_Nothing.html";

// Below the program folder. The installed folder is spelt "Common", and on Linux the spelling
// must match.
inline constexpr std::string_view kOkIconFile = "html\\Common\\okicon.html";
inline constexpr std::string_view kNoIconFile = "html\\Common\\noicon.html";

// "html\<language>\Plugins\".
[[nodiscard]] std::string SharedPluginFolder(std::string_view languageFolder);
// A file of the shared folder; empty text when it is missing.
[[nodiscard]] std::string LoadSharedPluginText(std::string_view languageFolder,
                                               std::string_view fileName);

[[nodiscard]] std::string LoadOkIcon();
[[nodiscard]] std::string LoadNoIcon();

}  // namespace corvane
