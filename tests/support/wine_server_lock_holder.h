#pragma once
// Stands in for a running wineserver: a child process that holds the write lock on byte 0 of the
// prefix's server lock file, as a live server does, until the holder is destroyed.

#include <sys/types.h>

#include <filesystem>

namespace corvane::test {

class WineServerLockHolder {
 public:
  // Returns once the child holds the lock.
  explicit WineServerLockHolder(const std::filesystem::path& prefix);
  // Lets the child go, waits for it and removes the server folder it used.
  ~WineServerLockHolder();
  WineServerLockHolder(const WineServerLockHolder&) = delete;
  WineServerLockHolder& operator=(const WineServerLockHolder&) = delete;

 private:
  std::filesystem::path serverFolder_;
  pid_t child_ = -1;
  int release_ = -1;  // closing it tells the child to exit
};

}  // namespace corvane::test
