#include "tests/support/url_cache_machine.h"

#include <fstream>
#include <sstream>

namespace corvane::test {

namespace fs = std::filesystem;

namespace {

TempMachineOptions Root() {
  TempMachineOptions options;
  options.userName = "root";
  return options;
}

std::string ReadText(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

const fs::path kFixtures = fs::path(CORVANE_FIXTURES_DIR) / "ie";
constexpr char kWindows[] = "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\";

}  // namespace

std::vector<ListedEntry> ParseListedEntries(const std::string& text) {
  std::vector<ListedEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields.size() != 5) continue;
    entries.push_back({static_cast<std::uint32_t>(std::stoul(fields[0], nullptr, 16)), fields[1],
                       fields[2], static_cast<std::uint32_t>(std::stoul(fields[3])), fields[4]});
  }
  return entries;
}

UrlCacheMachine::UrlCacheMachine() : machine_(Root()) {
  for (const auto hive :
       {TempMachine::Hive::System, TempMachine::Hive::User, TempMachine::Hive::UserDefault}) {
    const fs::path file = machine_.HivePath(hive);
    fs::copy_file(fs::path(CORVANE_FIXTURES_DIR) / "wine" / file.filename(), file,
                  fs::copy_options::overwrite_existing);
  }
}

fs::path UrlCacheMachine::CacheIndex() const {
  return machine_.Host(std::string(kWindows) + "INetCache\\Content.IE5\\index.dat");
}
fs::path UrlCacheMachine::CookiesIndex() const {
  return machine_.Host(std::string(kWindows) + "INetCookies\\index.dat");
}
fs::path UrlCacheMachine::HistoryIndex() const {
  return machine_.Host(std::string(kWindows) + "History\\History.IE5\\index.dat");
}

std::vector<ListedEntry> UrlCacheMachine::WineListing() {
  return ParseListedEntries(ReadText(kFixtures / "listed.txt"));
}

void UrlCacheMachine::InstallWineContainers() {
  const std::pair<const char*, fs::path> containers[] = {{"cache-index.dat", CacheIndex()},
                                                         {"cookies-index.dat", CookiesIndex()},
                                                         {"history-index.dat", HistoryIndex()}};
  for (const auto& [name, target] : containers) {
    fs::create_directories(target.parent_path());
    fs::copy_file(kFixtures / name, target, fs::copy_options::overwrite_existing);
  }
  for (const ListedEntry& entry : WineListing()) {
    if (entry.localFile.empty()) continue;
    machine_.MakeFolder(entry.localFile.substr(0, entry.localFile.rfind('\\')));
    machine_.WriteFile(entry.localFile, std::string(entry.size, 'x'));
  }
}

}  // namespace corvane::test
