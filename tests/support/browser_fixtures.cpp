#include "tests/support/browser_fixtures.h"

#include <string_view>

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kCopy = fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                       fs::copy_options::overwrite_existing;

// Lays the fixtures out below a user's Roaming and Local folders (host paths).
PlacedBrowserFixtures PlaceBelow(const fs::path& roaming, const fs::path& local) {
  const fs::path source = BrowserFixturesFolder();
  PlacedBrowserFixtures placed;
  const fs::path firefox = roaming / "Mozilla" / "Firefox";
  fs::create_directories(firefox);
  fs::copy(source / "firefox" / "roaming", firefox, kCopy);
  placed.firefoxProfile = firefox / "Profiles" / kFixtureFirefoxProfile;
  const fs::path firefoxLocal = local / "Mozilla" / "Firefox";
  fs::create_directories(firefoxLocal);
  fs::copy(source / "firefox" / "local", firefoxLocal, kCopy);
  placed.firefoxCache = firefoxLocal / "Profiles" / kFixtureFirefoxProfile;
  for (const auto& [folder, target] :
       {std::pair{local / "Chromium", &placed.chromiumProfile},
        std::pair{local / "Google" / "Chrome", &placed.chromeProfile}}) {
    fs::create_directories(folder);
    fs::copy(source / "chromium", folder, kCopy);
    *target = folder / "User Data" / "Default";
  }
  // Chrome on Windows keeps its cookies in "Network\Cookies"; the Linux build the fixture came
  // from keeps them beside the other databases. Chrome's copy gets the Windows layout.
  fs::create_directories(placed.chromeProfile / "Network");
  fs::rename(placed.chromeProfile / "Cookies", placed.chromeProfile / "Network" / "Cookies");
  return placed;
}

}  // namespace

fs::path BrowserFixturesFolder() {
  return fs::path(CORVANE_FIXTURES_DIR) / "modern";
}

TempMachineOptions BrowserFixtureMachineOptions() {
  TempMachineOptions options;
  const std::string profile = "C:\\\\users\\\\" + options.userName + "\\\\AppData\\\\";
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n"
      "\"AppData\"=\"" +
      profile + "Roaming\"\n\"Local AppData\"=\"" + profile + "Local\"\n";
  return options;
}

PlacedBrowserFixtures PlaceBrowserFixtures(TempMachine& machine) {
  const std::string appData = "C:\\users\\" + machine.UserName() + "\\AppData\\";
  return PlaceBelow(machine.MakeFolder(appData + "Roaming"), machine.MakeFolder(appData + "Local"));
}

PlacedBrowserFixtures PlaceBrowserFixtures(const WinePrefix& prefix) {
  const fs::path users = prefix.Prefix() / "drive_c" / "users";
  std::error_code error;
  for (const fs::directory_entry& user : fs::directory_iterator(users, error)) {
    const fs::path appData = user.path() / "AppData";
    if (user.path().filename() == "Public" || !fs::is_directory(appData)) continue;
    return PlaceBelow(appData / "Roaming", appData / "Local");
  }
  return {};
}

}  // namespace corvane::test
