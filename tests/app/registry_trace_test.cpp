#include "app/registry_trace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/trace_log.h"
#include "platform/registry.h"
#include "tests/support/temp_registry.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(RegistryTrace, AnUnsavedChangeIsTracedOncePerProblem) {
  test::TempRegistry registry;
  test::ScratchFolder programFolder;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(programFolder.Path());
  TraceRegistryProblems(registry.Store());

  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key), 0);
  RegCloseKey(key);
  {
    test::WineServerLockHolder server(registry.Prefix().Path());
    EXPECT_FALSE(registry.Store().Flush());
    EXPECT_FALSE(registry.Store().Flush());  // the next event retries: no second entry
  }
  EXPECT_TRUE(registry.Store().Flush());
  std::filesystem::current_path(previous);

  const std::string log = test::ScratchFolder::Read(programFolder / kTraceLogFileName);
  EXPECT_EQ(Occurrences(log, "Flush: a wineserver is running for "), 1u);
  EXPECT_EQ(Occurrences(log, "\r\n"), 1u);
}

}  // namespace
}  // namespace corvane
