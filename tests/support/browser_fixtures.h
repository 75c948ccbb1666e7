#pragma once
// The real Firefox and Chromium profiles committed under tests/fixtures/modern, put where the
// browsers keep them on Windows: Firefox's "profiles.ini" and profile below the roaming
// application data folder and its "cache2" in the local twin of the profile folder; Chromium's
// "User Data" below the local application data folder, once as Chromium's and once as Chrome's
// (a second browser code over the same real files; Chrome's with its cookies moved to
// "Network\Cookies", where the Windows builds keep them).

#include <filesystem>
#include <string>

#include "tests/support/temp_machine.h"
#include "tests/support/wine_prefix.h"

namespace corvane::test {

// The profile folder's name in the fixture's "profiles.ini".
inline constexpr char kFixtureFirefoxProfile[] = "k7q2fx0a.default-release";

// Where the committed fixtures are (firefox/ and chromium/).
[[nodiscard]] std::filesystem::path BrowserFixturesFolder();

// Host paths of the placed profiles.
struct PlacedBrowserFixtures {
  std::filesystem::path firefoxProfile;   // ...\Mozilla\Firefox\Profiles\<profile>
  std::filesystem::path firefoxCache;     // the local twin holding "cache2"
  std::filesystem::path chromiumProfile;  // ...\Chromium\User Data\Default
  std::filesystem::path chromeProfile;    // ...\Google\Chrome\User Data\Default
};

// Options for a TempMachine whose user names the "AppData" and "Local AppData" shell folders
// (C:\users\<user>\AppData\Roaming and ...\Local), as the browsers' profile lookups need.
[[nodiscard]] TempMachineOptions BrowserFixtureMachineOptions();

// Copies the fixtures into the application data folders of the machine's user. Links (the
// Firefox "lock" link) are copied as links. Throws on a copy that fails.
PlacedBrowserFixtures PlaceBrowserFixtures(TempMachine& machine);

// The same into a prefix Wine made, for its first user (the one with an AppData folder below
// drive_c/users other than "Public"); empty paths when the prefix has no such user.
PlacedBrowserFixtures PlaceBrowserFixtures(const WinePrefix& prefix);

}  // namespace corvane::test
