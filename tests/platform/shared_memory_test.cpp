#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "tests/support/runtime_folder.h"

namespace corvane {
namespace {

TEST(SharedMemoryBlockTest, ANewBlockIsZeroedAndSharedWithOtherProcesses) {
  ScopedRuntimeFolder runtime;
  SharedMemoryBlock block;
  ASSERT_TRUE(block.Create("Handle_Corvane_Erase", 1024));
  ASSERT_EQ(block.Size(), 1024u);
  const auto* bytes = static_cast<const unsigned char*>(block.Data());
  for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(bytes[i], 0) << i;

  const std::uint32_t handle = 0x1234;
  std::memcpy(block.Data(), &handle, sizeof handle);
  const pid_t child = fork();
  if (child == 0) {
    SharedMemoryBlock view;
    std::uint32_t seen = 0;
    if (view.Create("Handle_Corvane_Erase", 1024)) std::memcpy(&seen, view.Data(), sizeof seen);
    _exit(seen == 0x1234 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace corvane
