#pragma once
// A lock with one holder at a time, shared by every process of this user that opens the same
// name: what a Windows named semaphore of count one or a named mutex gives. It is a flock on a
// file in the named-object folder, so the kernel drops it when the holding process dies and a
// crash never leaves it held.

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

namespace corvane {

class NamedLock {
 public:
  NamedLock() = default;
  // Closes the lock file, which releases the lock if this object holds it.
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Opens the lock of this name (a Windows object name such as "Global\Foo"), creating its file
  // when it is the first. Replaces a lock opened before. false (last error set) on failure.
  [[nodiscard]] bool Open(std::string_view name);
  [[nodiscard]] bool IsOpen() const;
  // Closes the lock file; the lock is released if this object held it.
  void Close();

  // Waits without a time-out until this object holds the lock. Threads sharing one object wait for
  // each other as they wait for other processes. false (last error set) when not open or the wait
  // failed.
  [[nodiscard]] bool Lock();
  // Takes the lock only if it is free at once; false (last error set) otherwise.
  [[nodiscard]] bool TryLock();
  // Releases the lock. As with a semaphore, any thread of the holding process may release it.
  // false (last error set) when this object does not hold it.
  [[nodiscard]] bool Unlock();

  // The lock file; empty when not open.
  [[nodiscard]] std::string Path() const;

 private:
  // A forked child shares our open file description, and with it the parent's lock: the child
  // must open its own before it may lock or release anything.
  void ReopenAfterFork();
  void CloseDescriptor();

  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;  // by a thread of this process, through this object
  int fd_ = -1;
  pid_t openedBy_ = 0;
  std::string path_;
};

}  // namespace corvane
