#include "demo/demo_mozilla_traces.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {

namespace {

namespace fs = std::filesystem;

constexpr char kCookieHeader[] =
    "# Netscape HTTP Cookie File\n"
    "# This is a generated file!  Do not edit.\n\n";

std::string Cookie(std::string_view domain, std::string_view name, std::string_view value) {
  return std::string(domain) + "\tTRUE\t/\tFALSE\t1924905600\t" + std::string(name) + "\t" +
         std::string(value) + "\n";
}

// A history.dat as the Mozilla suite and Firefox 1.x write it: Mork, with the URLs as atoms.
std::string MorkHistory(const std::vector<std::string_view>& urls) {
  std::string text =
      "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
      "< <(a=c)> // (f=iso-8859-1)\n"
      "  (B8=Typed)(B9=LastVisitDate)(BA=URL)(BB=FirstVisitDate)(BC=Name)(BD=Hidden)\n"
      "  (BE=VisitCount)(BF=Hostname)>\n\n<";
  int id = 0x80;
  for (std::string_view url : urls) {
    char atom[16];
    std::snprintf(atom, sizeof atom, "(%X=", id++);
    (text += atom) += url;
    text += ")";
  }
  text += ">\n{1:^80 {(k^81:c)(s=9)[1(^82^80)]}\n";
  for (int row = 0; row < static_cast<int>(urls.size()); ++row) {
    char line[96];
    std::snprintf(line, sizeof line, "  [%X(^BA^%X)(^B9=1153401458382000)(^BE=%d)]\n", row + 1,
                  0x80 + row, row % 4 + 1);
    text += line;
  }
  return text + "}\n";
}

std::string Pref(std::string_view name, std::string_view value) {
  return "user_pref(\"" + std::string(name) + "\", \"" + std::string(value) + "\");\n";
}

class ProfileWriter {
 public:
  explicit ProfileWriter(std::string folder) : folder_(std::move(folder)) {}

  void Write(std::string_view name, std::string_view content) {
    const std::optional<fs::path> host =
        Machine::Current()->ToHostPath(folder_ + std::string(name));
    std::error_code ec;
    if (host) fs::create_directories(host->parent_path(), ec);
    std::ofstream out;
    if (host) out.open(*host, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ok_ = ok_ && static_cast<bool>(out);
  }
  // Cache files of some kilobytes each.
  void WriteCache(std::string_view folder, const std::vector<std::string_view>& names) {
    int number = 1;
    for (std::string_view name : names) {
      Write(std::string(folder) + "\\" + std::string(name),
            std::string(static_cast<std::size_t>(1024 * number++), 'c'));
    }
  }
  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  std::string folder_;
  bool ok_ = true;
};

bool SetString(std::string_view keyPath, std::string_view name, std::string_view text) {
  HKEY key = 0;
  if (RegCreateKeyW(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return false;
  const std::string data = RegistryStringData(text);
  const LONG result = RegSetValueExW(key, name, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                     static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace

bool PlantMozillaTraces(const std::string& user) {
  const std::string appData = "C:\\users\\" + user + "\\AppData\\";

  ProfileWriter suite(appData + "Roaming\\Mozilla\\Profiles\\default\\k3x9q2ab.slt\\");
  suite.Write("cookies.txt", std::string(kCookieHeader) +
                                 Cookie(".example.com", "session", "a81f") +
                                 Cookie(".example.com", "prefs", "lang=en") +
                                 Cookie("www.news.test", "reader", "42") +
                                 Cookie(".shop.test", "basket", "3-items"));
  suite.Write("history.dat",
              MorkHistory({"http://www.example.com/", "http://www.example.com/about",
                           "https://mail.example.com/inbox", "http://www.news.test/today",
                           "ftp://ftp.files.test/pub/", "news://news.test/comp.lang"}));
  suite.WriteCache("Cache",
                   {"_CACHE_MAP_", "_CACHE_001_", "_CACHE_002_", "_CACHE_003_", "8A3C1F02d01"});
  suite.WriteCache("Cache.Trash", {"4B7E0A11d01"});
  suite.Write("prefs.js", "# Mozilla User Preferences\n\n" +
                              Pref("browser.startup.homepage", "http://www.example.com/") +
                              Pref("signon.SignonFileName", "43210987.s") +
                              Pref("wallet.SchemaValueFileName", "56789012.w"));
  suite.Write("43210987.s",
              "#2c\n.\nhttp://www.mail.example.com:443\n\\=username=\\\nMCaGVsZW4=\n*\\=password="
              "\\\nMCc2VjcmV0\n.\nhttp://shop.test\nuser\nMCYW5u\n.\n");
  suite.Write("56789012.w", "W\nwww.shop.test/checkout\nname\nwww.bank.test/login\nphone\n");

  const std::string firefoxProfile = "Mozilla\\Firefox\\Profiles\\p4nd0r4x.default\\";
  ProfileWriter firefox(appData + "Roaming\\" + firefoxProfile);
  firefox.Write("cookies.txt", std::string(kCookieHeader) + Cookie(".video.test", "vid", "9") +
                                   Cookie("www.example.com", "theme", "dark") +
                                   "#HttpOnly_.bank.test\tTRUE\t/\tTRUE\t1924905600\tauth\tx\n");
  firefox.Write("history.dat",
                MorkHistory({"https://www.video.test/watch", "http://www.example.com/",
                             "https://bank.test/accounts"}));
  firefox.Write("prefs.js",
                "# Mozilla User Preferences\n\n" + Pref("browser.download.dir", "C:\\\\Downloads"));
  ProfileWriter firefoxCache(appData + "Local\\" + firefoxProfile);
  firefoxCache.WriteCache("Cache", {"_CACHE_MAP_", "_CACHE_001_", "_CACHE_002_", "_CACHE_003_"});

  // Netscape 4 finds its profile through the registry.
  const std::string netscapeProgram = "C:\\Program Files\\Netscape\\Communicator\\Program";
  const bool registry =
      SetString("Software\\Netscape\\Netscape Navigator\\Main", "Install Directory",
                netscapeProgram) &&
      SetString("Software\\Netscape\\Netscape Navigator\\biff", "CurrentUser", user);
  ProfileWriter netscape("C:\\Program Files\\Netscape\\Communicator\\Users\\" + user + "\\");
  netscape.Write("cookies.txt", std::string(kCookieHeader) + Cookie(".portal.test", "id", "n4") +
                                    Cookie("www.news.test", "edition", "1998"));
  netscape.Write("history.dat", MorkHistory({"http://www.portal.test/", "http://www.news.test/"}));
  netscape.WriteCache("Cache", {"M0A1B2C3.HTM", "M0A1B2C4.GIF"});
  netscape.Write("prefs.js",
                 "// Netscape User Preferences\n" + Pref("signon.SignonFileName", "signons.s"));
  netscape.Write("signons.s", "#2c\n.\nhttp://www.portal.test\nuser\nMCbjQ=\n.\n");

  return registry && suite.Ok() && firefox.Ok() && firefoxCache.Ok() && netscape.Ok();
}

}  // namespace corvane
