#include "platform/named_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// Every test keeps its lock files in a folder of its own.
class NamedLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    hadRuntimeDir_ = saved != nullptr;
    if (hadRuntimeDir_) savedRuntimeDir_ = saved;
    ::setenv("XDG_RUNTIME_DIR", scratch_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (hadRuntimeDir_) {
      ::setenv("XDG_RUNTIME_DIR", savedRuntimeDir_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }

  // Waits for a forked child and answers its exit status, or -1 when it did not exit normally.
  static int Reap(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
      if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  test::ScratchFolder scratch_;
  bool hadRuntimeDir_ = false;
  std::string savedRuntimeDir_;
};

TEST_F(NamedLockTest, OneHolderAmongObjectsOfTheSameName) {
  NamedLock a;
  NamedLock b;
  NamedLock other;
  ASSERT_TRUE(a.Open("Global\\Test_One"));
  ASSERT_TRUE(b.Open("Global\\Test_One"));
  ASSERT_TRUE(other.Open("Global\\Test_Other"));
  EXPECT_EQ(a.Path(), scratch_ / "Global%5CTest_One.lock");

  ASSERT_TRUE(a.TryLock());
  EXPECT_FALSE(b.TryLock());
  EXPECT_TRUE(other.TryLock());  // another name is another lock
  EXPECT_FALSE(a.TryLock());     // not recursive: the holder itself must wait too
  EXPECT_TRUE(a.Unlock());
  EXPECT_FALSE(a.Unlock());  // a second release is refused, as a full semaphore refuses it
  EXPECT_TRUE(b.TryLock());
  EXPECT_TRUE(b.Unlock());
  EXPECT_TRUE(other.Unlock());
}

TEST_F(NamedLockTest, ClosedOrUnopenedLocksFailWithoutWaiting) {
  NamedLock lock;
  EXPECT_FALSE(lock.Lock());
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(lock.TryLock());
  EXPECT_FALSE(lock.Unlock());
  EXPECT_FALSE(lock.Open(""));
  EXPECT_FALSE(lock.IsOpen());

  ASSERT_TRUE(lock.Open("Test_Close"));
  ASSERT_TRUE(lock.Lock());
  lock.Close();  // closing releases
  NamedLock again;
  ASSERT_TRUE(again.Open("Test_Close"));
  EXPECT_TRUE(again.TryLock());
  EXPECT_TRUE(again.Unlock());
}

TEST_F(NamedLockTest, PlantedLinkIsNotFollowed) {
  const std::string target = scratch_.Write("elsewhere", "keep");
  std::filesystem::create_symlink(target, scratch_ / "Test_Link.lock");
  NamedLock lock;
  EXPECT_FALSE(lock.Open("Test_Link"));
  EXPECT_EQ(test::ScratchFolder::Read(target), "keep");
}

TEST_F(NamedLockTest, AnyThreadMayReleaseAndWakesAWaiter) {
  NamedLock lock;
  ASSERT_TRUE(lock.Open("Test_Handover"));
  ASSERT_TRUE(lock.Lock());
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    ASSERT_TRUE(lock.Lock());
    entered = true;
  });
  std::thread releaser([&] { EXPECT_TRUE(lock.Unlock()); });
  releaser.join();
  waiter.join();
  EXPECT_TRUE(entered);
  EXPECT_TRUE(lock.Unlock());
}

// Threads count through a critical region; any overlap is seen as a second thread inside.
void HammerFromThreads(const std::vector<NamedLock*>& locks, int rounds, int& counter,
                       std::atomic<int>& overlaps) {
  std::atomic<int> inside{0};
  std::vector<std::thread> threads;
  for (NamedLock* lock : locks) {
    threads.emplace_back([&, lock] {
      for (int i = 0; i < rounds; ++i) {
        if (!lock->Lock()) return;
        if (inside.fetch_add(1) != 0) ++overlaps;
        const int seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
        inside.fetch_sub(1);
        static_cast<void>(lock->Unlock());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
}

TEST_F(NamedLockTest, ThreadsSharingOneObjectExcludeEachOther) {
  NamedLock lock;
  ASSERT_TRUE(lock.Open("Test_SharedObject"));
  int counter = 0;
  std::atomic<int> overlaps{0};
  HammerFromThreads({&lock, &lock, &lock, &lock}, 500, counter, overlaps);
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(counter, 2000);
}

TEST_F(NamedLockTest, ThreadsWithTheirOwnObjectsExcludeEachOther) {
  NamedLock a, b, c;
  ASSERT_TRUE(a.Open("Test_OwnObjects"));
  ASSERT_TRUE(b.Open("Test_OwnObjects"));
  ASSERT_TRUE(c.Open("Test_OwnObjects"));
  int counter = 0;
  std::atomic<int> overlaps{0};
  HammerFromThreads({&a, &b, &c}, 500, counter, overlaps);
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(counter, 1500);
}

// Read, increment and write back a counter file under the lock; lost updates show overlap.
bool IncrementCounterFile(NamedLock& lock, const std::string& path, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    if (!lock.Lock()) return false;
    int value = 0;
    {
      std::ifstream in(path);
      in >> value;
    }
    {
      std::ofstream out(path, std::ios::trunc);
      out << value + 1;
    }
    if (!lock.Unlock()) return false;
  }
  return true;
}

TEST_F(NamedLockTest, ProcessesExcludeEachOther) {
  const std::string counterFile = scratch_.Write("counter", "0");
  NamedLock lock;  // opened before the fork: the child must not share our lock through it
  ASSERT_TRUE(lock.Open("Test_Processes"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(IncrementCounterFile(lock, counterFile, 300) ? 0 : 1);
  const bool parentOk = IncrementCounterFile(lock, counterFile, 300);
  EXPECT_EQ(Reap(child), 0);
  EXPECT_TRUE(parentOk);
  EXPECT_EQ(test::ScratchFolder::Read(counterFile), "600");
}

TEST_F(NamedLockTest, ForkedChildNeitherSharesNorReleasesTheParentsLock) {
  NamedLock lock;
  ASSERT_TRUE(lock.Open("Test_Fork"));
  ASSERT_TRUE(lock.Lock());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int code = 0;
    if (lock.TryLock()) code |= 1;  // the parent holds it
    if (lock.Unlock()) code |= 2;   // and the child has nothing to release
    ::_exit(code);
  }
  EXPECT_EQ(Reap(child), 0);
  NamedLock probe;
  ASSERT_TRUE(probe.Open("Test_Fork"));
  EXPECT_FALSE(probe.TryLock());  // still the parent's
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(probe.TryLock());
  EXPECT_TRUE(probe.Unlock());
}

TEST_F(NamedLockTest, KilledHolderLeavesTheLockFree) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedLock held;
    if (!held.Open("Test_Killed") || !held.Lock()) ::_exit(1);
    const char byte = 'L';
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);

  NamedLock lock;
  ASSERT_TRUE(lock.Open("Test_Killed"));
  EXPECT_FALSE(lock.TryLock());
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  EXPECT_EQ(Reap(child), -1);
  EXPECT_TRUE(lock.TryLock());
  EXPECT_TRUE(lock.Unlock());
}

}  // namespace
}  // namespace corvane
