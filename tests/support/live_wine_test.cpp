// The guard of the live Wine tests: a skip on a developer's machine, a failure under CI.

#include "tests/support/live_wine.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace corvane::test {
namespace {

class ScopedCi {
 public:
  explicit ScopedCi(const char* value) {
    if (const char* previous = std::getenv("CI")) previous_ = previous;
    if (value != nullptr) {
      ::setenv("CI", value, 1);
    } else {
      ::unsetenv("CI");
    }
  }
  ~ScopedCi() {
    if (previous_) {
      ::setenv("CI", previous_->c_str(), 1);
    } else {
      ::unsetenv("CI");
    }
  }
  ScopedCi(const ScopedCi&) = delete;
  ScopedCi& operator=(const ScopedCi&) = delete;

 private:
  std::optional<std::string> previous_;
};

void SkipForLackOfWine() {
  CORVANE_SKIP_LIVE_WINE("wine is not installed");
}

TEST(LiveWineTest, AMissingWineFailsUnderCiInsteadOfSkipping) {
  {
    const ScopedCi ci("true");
    EXPECT_TRUE(LiveWineRequired());
    EXPECT_FATAL_FAILURE(SkipForLackOfWine(), "the live Wine tests must run");
  }
  for (const char* value : {static_cast<const char*>(nullptr), "", "false", "0"}) {
    const ScopedCi ci(value);
    EXPECT_FALSE(LiveWineRequired()) << (value != nullptr ? value : "unset");
  }
}

TEST(LiveWineTest, ProgramsAreLookedUpOnThePath) {
  EXPECT_TRUE(HasPrograms({"sh"}));
  EXPECT_FALSE(HasPrograms({"sh", "no-such-program-corvane"}));
}

}  // namespace
}  // namespace corvane::test
