#include "demo/demo_ie_traces.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "platform/urlcache/url_cache_file.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// 1 March 2026, as a FILETIME; each entry a few minutes apart.
constexpr std::uint64_t kFirstVisit = 134167968000000000ull;
constexpr std::uint64_t kMinute = 600000000ull;

struct Page {
  const char* url;
  const char* file;  // the cached file's name
  int kilobytes;
};

constexpr Page kPages[] = {
    {"http://www.example.com/index.html", "index[0].htm", 12},
    {"http://www.example.com/logo.png", "logo[0].png", 30},
    {"http://www.example.com/news/today.html", "today[0].htm", 18},
    {"https://shop.example.org/cart", "cart[0].htm", 9},
    {"https://shop.example.org/img/banner.jpg", "banner[0].jpg", 64},
    {"http://news.example.net/world.html", "world[0].htm", 22},
    {"http://news.example.net/style.css", "style[0].css", 6},
    {"ftp://ftp.example.info/pub/readme.txt", "readme[0].txt", 3},
};

constexpr const char* kCookieHosts[] = {"www.example.com", "shop.example.org", "news.example.net",
                                        "ads.example.biz"};

bool WriteHostFile(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::optional<fs::path> HostFolder(int csidl, const char* below) {
  std::optional<std::string> folder =
      SHGetSpecialFolderPathW(csidl, FolderCreation::CreateIfMissing);
  if (!folder || Machine::Current() == nullptr) return std::nullopt;
  std::optional<fs::path> host = Machine::Current()->ToHostPath(*folder);
  if (!host) return std::nullopt;
  return *host / below;
}

bool PlantCache() {
  const std::optional<fs::path> folder = HostFolder(CSIDL_INTERNET_CACHE, "Content.IE5");
  if (!folder) return false;
  const std::vector<std::string> directories = {"Q81BDIAF", "7XK2M0PZ", "JD4N5WQE", "B3T9LCV1"};
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, directories);
  bool ok = true;
  int number = 0;
  for (const Page& page : kPages) {
    const auto directory = static_cast<std::uint8_t>(number % directories.size());
    const std::string content(static_cast<std::size_t>(page.kilobytes) * 1024, 'd');
    ok = ok && WriteHostFile(*folder / directories[directory] / page.file, content);
    UrlCacheNewEntry entry;
    entry.url = page.url;
    entry.localName = page.file;
    entry.directory = directory;
    entry.size = content.size();
    entry.lastAccess = entry.lastModified = kFirstVisit + kMinute * number++;
    entry.hitRate = static_cast<std::uint32_t>(1 + number % 3);
    ok = ok && file.Add(entry);
  }
  return ok && WriteHostFile(*folder / "index.dat", file.Bytes());
}

bool PlantCookies(const std::string& user) {
  const std::optional<fs::path> folder = HostFolder(CSIDL_COOKIES, "");
  if (!folder) return false;
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {});
  bool ok = true;
  int number = 0;
  for (const char* host : kCookieHosts) {
    const std::string name = "DEMO" + std::to_string(number) + "COOKIE.txt";
    const std::string content = std::string("id\n") + std::to_string(1000 + number) + "\n" + host +
                                "/\n2147484672\n1640123456\n31012345\n1640123456\n31012345\n*\n";
    ok = ok && WriteHostFile(*folder / name, content);
    UrlCacheNewEntry entry;
    entry.url = "Cookie:" + user + "@" + host + "/";
    entry.localName = name;
    entry.entryType = COOKIE_CACHE_ENTRY;
    entry.size = content.size();
    entry.lastAccess = entry.lastModified = kFirstVisit + kMinute * number++;
    ok = ok && file.Add(entry);
  }
  return ok && WriteHostFile(*folder / "index.dat", file.Bytes());
}

bool PlantHistory(const std::string& user) {
  const std::optional<fs::path> folder = HostFolder(CSIDL_HISTORY, "History.IE5");
  if (!folder) return false;
  UrlCacheFile file = UrlCacheFile::Create(UrlCacheFile::Signature::Wine, {});
  bool ok = true;
  int number = 0;
  for (const Page& page : kPages) {
    UrlCacheNewEntry entry;
    entry.url = "Visited: " + user + "@" + page.url;
    entry.entryType = URLHISTORY_CACHE_ENTRY;
    entry.lastAccess = entry.lastModified = kFirstVisit + kMinute * number++;
    entry.hitRate = static_cast<std::uint32_t>(number);
    ok = ok && file.Add(entry);
  }
  return ok && WriteHostFile(*folder / "index.dat", file.Bytes());
}

bool PlantTypedUrls() {
  HKEY key = 0;
  if (RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\TypedURLs", &key) !=
      ERROR_SUCCESS)
    return false;
  bool ok = true;
  int number = 1;
  for (const char* url : {"http://www.example.com/", "https://shop.example.org/",
                          "http://news.example.net/world.html"}) {
    const std::string data = RegistryStringData(url);
    ok = ok && RegSetValueExW(key, "url" + std::to_string(number++), REG_SZ,
                              reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

}  // namespace

bool PlantInternetExplorerTraces(const std::string& user) {
  const bool cache = PlantCache();
  const bool cookies = PlantCookies(user);
  const bool history = PlantHistory(user);
  return cache && cookies && history && PlantTypedUrls();
}

}  // namespace corvane
