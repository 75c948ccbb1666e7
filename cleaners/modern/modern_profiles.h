#pragma once
// Where today's browsers keep their profiles in the prefix. Firefox lists its profiles in
// "profiles.ini" below the roaming application data folder and keeps them in
// "Mozilla\Firefox\Profiles" (cache in the local folder of the same name). The Chromium family
// keeps a "User Data" folder below the local application data folder, with one folder per profile
// ("Default", "Profile 1", ...). Launchers that embed Chromium keep such a folder too.

#include <string>
#include <string_view>
#include <vector>

#include "engine/browser_scan_result.h"

namespace corvane {

// One profile: a machine path ending in "\", the browser, and the files whose presence says the
// browser may hold the profile (Firefox's "parent.lock", or "lock" and ".parentlock" as its Linux
// builds leave them; Chromium's "User Data\lockfile").
struct ModernProfile {
  BrowserCode browser = BrowserCode::Firefox;
  std::string folder;
  std::vector<std::string> lockFiles;
};

// Firefox's profiles in the roaming (or, with `local`, the local application data) folder: those
// "profiles.ini" names (relative ones, and absolute machine paths) and every other folder of
// "Profiles", each once. A name that tries to leave its folder (".."), and an absolute one on a
// drive that shows the Linux side (Z:), is ignored.
[[nodiscard]] std::vector<ModernProfile> FirefoxModernProfiles(bool local = false);

// The profiles of Chrome, Edge, Brave and Chromium: "Default" and "Profile <number>" below each
// one's "User Data".
[[nodiscard]] std::vector<ModernProfile> ChromiumProfiles();

// The embedded Chromium of known launchers: Steam's "htmlcache" and the Epic Games Launcher's
// "Saved\webcache*" folders below the local application data folder, each a profile itself
// (and its "Default" or "Profile <number>" folders too, when it has them). The user-data folder's
// "lockfile" is their lock.
[[nodiscard]] std::vector<ModernProfile> LauncherProfiles();

// The profile folders named in the text of a "profiles.ini": "Path" of each "[Profile...]"
// section, made a machine path below `base` (ending in "\") when "IsRelative" is not "0".
[[nodiscard]] std::vector<std::string> ParseProfilesIni(std::string_view text,
                                                        std::string_view base);

// Whether the browser may be running with the profile: one of its lock files exists and a
// wineserver runs for the prefix. A lock file alone means nothing: Firefox leaves its lock behind
// even after a clean exit.
[[nodiscard]] bool IsProfileInUse(const ModernProfile& profile);

}  // namespace corvane
