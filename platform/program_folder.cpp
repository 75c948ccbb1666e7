#include "platform/program_folder.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/last_error.h"

namespace corvane {

namespace {

std::mutex g_overrideMutex;
std::string g_override;

std::string ExecutableFolder() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      SetLastErrorFromErrno(errno);
      return {};
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(length));
      const std::size_t slash = path.rfind('/');
      if (slash == std::string::npos) {
        SetLastError(ERROR_BAD_PATHNAME);
        return {};
      }
      path.resize(slash == 0 ? 1 : slash);
      return path;
    }
    buffer.resize(buffer.size() * 2);  // truncated: try again with room to spare
  }
}

}  // namespace

std::string ProgramFolder() {
  {
    const std::lock_guard guard(g_overrideMutex);
    if (!g_override.empty()) return g_override;
  }
  return ExecutableFolder();
}

void SetProgramFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::lock_guard guard(g_overrideMutex);
  g_override = std::move(folder);
}

std::optional<std::string> ProgramFilePath(std::string_view relative) {
  std::string path = ProgramFolder();
  if (path.empty()) return std::nullopt;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      SetLastError(ERROR_BAD_PATHNAME);
      return std::nullopt;
    }
    if (path.back() != '/') path += '/';  // the folder may be "/" itself
    path += part;
  }
  return path;
}

}  // namespace corvane
