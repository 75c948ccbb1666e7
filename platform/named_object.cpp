#include "platform/named_object.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/last_error.h"

namespace corvane {

std::optional<std::string> PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    SetLastErrorFromErrno(errno);
    return std::nullopt;
  }
  // Whether we just made it or it was there, check what is there now: someone else may have
  // planted a link or a folder of their own under the same name in a shared /tmp.
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return std::nullopt;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  return path;
}

std::optional<std::string> NamedObjectFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    struct stat st {};
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return std::string(runtime);
  }
  return PrivateFolder("/tmp/corvane-" + std::to_string(::geteuid()));
}

std::optional<std::string> NamedObjectFileName(std::string_view name, std::string_view suffix) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  std::string file;
  file.reserve(name.size() + suffix.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == '%' || byte < 0x20 || byte == 0x7F) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      file += escaped;
    } else {
      file += c;
    }
  }
  file += suffix;
  // A suffix keeps "." and ".." from ever being the whole name.
  if (file.size() > NAME_MAX || file == "." || file == "..") {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  return file;
}

}  // namespace corvane
