#pragma once
// A temporary machine for the URL cache tests: the user "root" with the hives wineboot made
// (tests/fixtures/wine), and, on request, the three containers Wine's WinInet filled
// (tests/fixtures/ie) with a cache file for every entry that has one.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_machine.h"

namespace corvane::test {

// One line of tests/fixtures/ie/listed.txt: what WinInet listed.
struct ListedEntry {
  std::uint32_t type = 0;
  std::string url;
  std::string localFile;
  std::uint32_t size = 0;
  std::string state;  // "-", "ok", "missing"
};

// Parses the output of urlcache-tool.exe list.
[[nodiscard]] std::vector<ListedEntry> ParseListedEntries(const std::string& text);

class UrlCacheMachine {
 public:
  UrlCacheMachine();

  [[nodiscard]] TempMachine& Temp() { return machine_; }
  // The containers and their files, as Wine left them.
  void InstallWineContainers();
  // What WinInet listed for them.
  [[nodiscard]] static std::vector<ListedEntry> WineListing();

  [[nodiscard]] std::filesystem::path CacheIndex() const;
  [[nodiscard]] std::filesystem::path CookiesIndex() const;
  [[nodiscard]] std::filesystem::path HistoryIndex() const;

 private:
  TempMachine machine_;
};

}  // namespace corvane::test
