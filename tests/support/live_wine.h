#pragma once
// Tests that drive a real Wine (wineboot, reg, wineserver) skip on a machine without it; under CI
// (CI=true) such a skip is a failure instead, since the CI machine installs Wine and a silent
// skip there would let a fault through unseen.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

namespace corvane::test {

// True when every named program is an executable file in a folder of PATH.
[[nodiscard]] bool HasPrograms(std::initializer_list<std::string_view> names);
// wine and wineserver, what every live test needs.
[[nodiscard]] bool HasWine();
// True when the environment says this run is CI: CI set to "true" or "1".
[[nodiscard]] bool LiveWineRequired();

}  // namespace corvane::test

// Ends the test: a skip with `why`, or under CI a failure.
#define CORVANE_SKIP_LIVE_WINE(why)                                                  \
  do {                                                                               \
    if (::corvane::test::LiveWineRequired()) {                                       \
      FAIL() << (why) << " (CI=true: the live Wine tests must run, not be skipped)"; \
    }                                                                                \
    GTEST_SKIP() << (why);                                                           \
  } while (false)
