#pragma once
// What the tests of today's browsers' cleaners share: a TempMachine whose user names the
// application data folders, with a Firefox profile listed in "profiles.ini" and Chrome's default
// profile on it, and a scan and a selection made as the domain list makes them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"
#include "tests/support/browser_fixtures.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane::test {

// The user's application data folders on that machine, as machine paths ending in "\".
inline constexpr char kRoaming[] = "C:\\users\\ann\\AppData\\Roaming\\";
inline constexpr char kLocal[] = "C:\\users\\ann\\AppData\\Local\\";

// Selects the domain `key` in every browser that lists it.
void SelectDomain(BrowserResults& results, const std::string& key);

// Makes Firefox's profile `folder` below the roaming "Mozilla\Firefox\Profiles", listed as the
// default one in "profiles.ini"; answers its host path.
std::filesystem::path MakeFirefoxProfile(TempMachine& machine,
                                         std::string_view folder = "ab12.default-release");

// Makes Chrome's "User Data\Default" below the local application data folder; answers its host
// path.
std::filesystem::path MakeChromeProfile(TempMachine& machine);

// A fixture for one of the cleaners of today's browsers: `Cleaner` scans into BrowserResults
// and erases what they select.
template <typename Cleaner>
class ModernCleanerTest : public ::testing::Test {
 protected:
  BrowserResults Scan() {
    BrowserResults results;
    EXPECT_TRUE(cleaner_.Scan(results, progress_));
    return results;
  }
  static void Select(BrowserResults& results, const std::string& key) {
    SelectDomain(results, key);
  }

  TempMachine machine_{BrowserFixtureMachineOptions()};
  TestOwner owner_;
  ProgressReporter progress_{owner_, "test", "", nullptr};
  Cleaner cleaner_;
};

}  // namespace corvane::test
