#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>

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

TEST(SharedMemoryBlockTest, TheLastUserToCloseTheBlockRemovesIt) {
  ScopedRuntimeFolder runtime;
  const auto blockFiles = [&runtime] {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runtime.Path())) {
      if (entry.path().extension() == ".shm") ++count;
    }
    return count;
  };
  SharedMemoryBlock first;
  ASSERT_TRUE(first.Create("Handle_Corvane_Erase", 64));
  std::memset(first.Data(), 7, 64);
  {
    SharedMemoryBlock second;  // another user, as a second process would be
    ASSERT_TRUE(second.Create("Handle_Corvane_Erase", 64));
    EXPECT_EQ(static_cast<const unsigned char*>(second.Data())[63], 7);
  }
  EXPECT_EQ(blockFiles(), 1) << "the first user still holds it";
  first.Close();
  EXPECT_EQ(blockFiles(), 0);

  // A new block after that starts zeroed again.
  ASSERT_TRUE(first.Create("Handle_Corvane_Erase", 64));
  EXPECT_EQ(static_cast<const unsigned char*>(first.Data())[0], 0);
  first.Close();
  EXPECT_EQ(blockFiles(), 0);
}

}  // namespace
}  // namespace corvane
