#include "platform/wine_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace corvane {

namespace {

// The private server folder's name recorded in <prefix>/wineserver, when there is a sound one.
std::string RecordedServerFolder(const std::filesystem::path& prefix) {
  const std::filesystem::path record = prefix / "wineserver";
  const int fd = ::open(record.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {};
  char buffer[256];
  const ssize_t length = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return {};
  std::string name(buffer, static_cast<std::size_t>(length));
  while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
  // One plain folder name, nothing that could lead out of /tmp.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string("/\n\0", 3)) != std::string::npos) {
    return {};
  }
  return name;
}

// 1: a server holds the lock; 0: the lock file is missing or free; -1: cannot tell.
int LockState(const std::filesystem::path& lockPath) {
  // Never O_CREAT: a lock file that we created would look like a server's to Wine.
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
  struct flock query {};
  query.l_type = F_WRLCK;
  query.l_whence = SEEK_SET;
  query.l_start = 0;
  query.l_len = 1;
  const bool examined = ::fcntl(fd, F_GETLK, &query) == 0;
  ::close(fd);
  if (!examined) return -1;
  return query.l_type != F_UNLCK ? 1 : 0;
}

}  // namespace

std::vector<std::filesystem::path> WineServerLockPaths(const std::filesystem::path& prefix) {
  struct stat info {};
  if (::stat(prefix.c_str(), &info) != 0) return {};
  char serverFolder[64];
  std::snprintf(serverFolder, sizeof serverFolder, "server-%llx-%llx",
                static_cast<unsigned long long>(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  const std::filesystem::path tmp = "/tmp";
  std::vector<std::filesystem::path> paths{tmp / (".wine-" + std::to_string(::getuid())) /
                                           serverFolder / "lock"};
  if (const std::string recorded = RecordedServerFolder(prefix); !recorded.empty()) {
    paths.push_back(tmp / recorded / serverFolder / "lock");
  }
  return paths;
}

bool IsWineServerRunning(const std::filesystem::path& prefix) {
  for (const std::filesystem::path& lockPath : WineServerLockPaths(prefix)) {
    if (LockState(lockPath) != 0) return true;
  }
  return false;
}

}  // namespace corvane
