#include "tests/support/live_wine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace corvane::test {

namespace {

bool OnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  const std::string_view folders = path;
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    std::string folder(folders.substr(start, end - start));
    if (folder.empty()) folder = ".";
    if (::access((folder + "/" + std::string(name)).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool HasPrograms(std::initializer_list<std::string_view> names) {
  for (const std::string_view name : names) {
    if (!OnPath(name)) return false;
  }
  return true;
}

bool HasWine() {
  return HasPrograms({"wine", "wineserver"});
}

bool LiveWineRequired() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && (std::string_view(ci) == "true" || std::string_view(ci) == "1");
}

}  // namespace corvane::test
