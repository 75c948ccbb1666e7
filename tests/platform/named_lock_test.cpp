#include "platform/named_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// Every test keeps its lock files in a folder of its own.
class NamedLockTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", scratch_.Path().c_str(), 1); }

  static int Reap(pid_t child) {  // the exit code, or -1 when killed
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  test::ScratchFolder scratch_;
};

TEST_F(NamedLockTest, OneHolderAmongObjectsOfTheSameName) {
  NamedLock a, b, other;
  ASSERT_TRUE(a.Open("Global\\Test_One") && b.Open("Global\\Test_One"));
  ASSERT_TRUE(other.Open("Global\\Test_Other"));
  EXPECT_EQ(a.Path(), scratch_ / "Global%5CTest_One.lock");
  ASSERT_TRUE(a.TryLock());
  EXPECT_FALSE(b.TryLock());
  EXPECT_FALSE(a.TryLock());  // not recursive
  EXPECT_TRUE(other.TryLock());
  EXPECT_TRUE(a.Unlock());
  EXPECT_FALSE(a.Unlock());  // a second release is refused, as by a full semaphore
  ASSERT_TRUE(b.Lock());
  b.Close();  // closing releases
  EXPECT_TRUE(a.TryLock());
  EXPECT_FALSE(b.Lock());  // closed: fails at once
}

// Threads count through a critical region; a second thread inside counts as an overlap.
int Overlaps(const std::vector<NamedLock*>& locks, int rounds) {
  std::atomic<int> inside{0}, overlaps{0};
  std::vector<std::thread> threads;
  for (NamedLock* lock : locks) {
    threads.emplace_back([&, lock] {
      for (int i = 0; i < rounds && lock->Lock(); ++i) {
        if (inside.fetch_add(1) != 0) ++overlaps;
        std::this_thread::yield();
        inside.fetch_sub(1);
        static_cast<void>(lock->Unlock());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  return overlaps;
}

TEST_F(NamedLockTest, ThreadsExcludeEachOtherThroughOneObjectOrMany) {
  NamedLock a, b;
  ASSERT_TRUE(a.Open("Test_Threads") && b.Open("Test_Threads"));
  EXPECT_EQ(Overlaps({&a, &a, &a}, 500), 0);
  EXPECT_EQ(Overlaps({&a, &b, &b}, 500), 0);
}

// Read, increment and write back a counter file under the lock; any overlap loses updates.
bool CountUp(NamedLock& lock, const std::string& path, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    int value = 0;
    if (!lock.Lock()) return false;
    std::ifstream(path) >> value;
    std::ofstream(path) << value + 1;
    if (!lock.Unlock()) return false;
  }
  return true;
}

TEST_F(NamedLockTest, ProcessesExcludeEachOther) {
  const std::string counter = scratch_.Write("counter", "0");
  NamedLock lock;  // opened before the fork, so the child starts with our descriptor
  ASSERT_TRUE(lock.Open("Test_Processes"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(CountUp(lock, counter, 300) ? 0 : 1);
  EXPECT_TRUE(CountUp(lock, counter, 300));
  EXPECT_EQ(Reap(child), 0);
  EXPECT_EQ(test::ScratchFolder::Read(counter), "600");
}

TEST_F(NamedLockTest, ForkedChildNeitherSharesNorReleasesTheParentsLock) {
  NamedLock lock, probe;
  ASSERT_TRUE(lock.Open("Test_Fork") && probe.Open("Test_Fork"));
  ASSERT_TRUE(lock.Lock());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit((lock.TryLock() ? 1 : 0) | (lock.Unlock() ? 2 : 0));
  EXPECT_EQ(Reap(child), 0);
  EXPECT_FALSE(probe.TryLock());  // still the parent's
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(probe.TryLock());
}

TEST_F(NamedLockTest, KilledHolderLeavesTheLockFree) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedLock held;
    if (!held.Open("Test_Killed") || !held.Lock() || ::write(ready[1], "L", 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);  // so a child that fails ends our read
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  NamedLock lock;
  ASSERT_TRUE(lock.Open("Test_Killed"));
  EXPECT_FALSE(lock.TryLock());
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  EXPECT_EQ(Reap(child), -1);
  EXPECT_TRUE(lock.TryLock());
}

}  // namespace
}  // namespace corvane
