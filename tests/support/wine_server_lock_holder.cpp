#include "tests/support/wine_server_lock_holder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/wine_server.h"

namespace corvane::test {

WineServerLockHolder::WineServerLockHolder(const std::filesystem::path& prefix) {
  const std::filesystem::path lockPath = WineServerLockPaths(prefix).at(0);
  serverFolder_ = lockPath.parent_path();
  // Private folders, as Wine makes them (it refuses to use a shared one).
  ::mkdir(serverFolder_.parent_path().c_str(), 0700);
  if (::mkdir(serverFolder_.c_str(), 0700) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot make " + serverFolder_.string());
  }
  const std::string lockName = lockPath.string();
  int ready[2];
  int release[2];
  if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe failed");
  child_ = ::fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ == 0) {
    // Only system calls from here on.
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(lockName.c_str(), O_RDWR | O_CREAT, 0600);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_SETLKW, &lock) != 0) ::_exit(1);
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    char ignored;
    while (::read(release[0], &ignored, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  char byte = 0;
  const bool locked = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  if (!locked) throw std::runtime_error("the lock holder could not take the lock");
}

WineServerLockHolder::~WineServerLockHolder() {
  ::close(release_);
  int status = 0;
  ::waitpid(child_, &status, 0);
  std::error_code ignored;
  std::filesystem::remove_all(serverFolder_, ignored);
}

}  // namespace corvane::test
