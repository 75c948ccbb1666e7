#pragma once
// Where the Mozilla family keeps its profiles on the machine: the Mozilla suite's and Firefox's
// below the user's application data folders, Netscape 4's where its registry entries say. Each
// profile is a machine path ending in "\".

#include <string>
#include <vector>

namespace corvane {

// The Mozilla suite's profiles: AppData\Mozilla\Profiles\<P>\<S>\ for every folder P and every
// folder S inside it (names that begin with "." left out). Links are not folders here. False
// only when the roaming application data folder cannot be obtained.
[[nodiscard]] bool MozillaProfiles(std::vector<std::string>& profiles);

// Firefox keeps cookies and history in the roaming folder and its cache in the local one.
enum class FirefoxFolder { Roaming, Local };

// Firefox's profiles: <AppData or Local AppData>\Mozilla\Firefox\Profiles\<F>\ for every folder
// F (names that begin with "." left out). False only when that shell folder cannot be obtained.
[[nodiscard]] bool FirefoxProfiles(FirefoxFolder folder, std::vector<std::string>& profiles);

// Netscape 4's profile: the folder above HKCU "Software\Netscape\Netscape Navigator\Main"
// "Install Directory", then "\Users\", the "biff" key's "CurrentUser" and "\". Empty when
// Netscape 4 is not installed, and when the values would name something other than a folder of
// the machine (an install directory that is not a machine path or has no "\", a user name that
// is not a plain folder name).
[[nodiscard]] std::string NetscapeProfile();

// What an operation works on; each walks its own lists.
enum class MozillaStore { Cookies, History, Cache, Forms };

// The profiles of every list the store's operations walk, in their order (Mozilla suite, Firefox,
// Netscape 4; Firefox's is left out for forms), without empty entries. False when a discovery
// failed: the operation then fails at once.
[[nodiscard]] bool BuildProfileList(MozillaStore store, std::vector<std::string>& profiles);

}  // namespace corvane
