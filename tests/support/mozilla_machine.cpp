#include "tests/support/mozilla_machine.h"

namespace corvane::test {

namespace {

TempMachineOptions WithShellFolders(std::string_view extraUserHive) {
  TempMachineOptions options;
  options.userHive =
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 0\n"
      "\"AppData\"=\"C:\\\\users\\\\ann\\\\AppData\\\\Roaming\"\n"
      "\"Local AppData\"=\"C:\\\\users\\\\ann\\\\AppData\\\\Local\"\n";
  options.userHive += extraUserHive;
  return options;
}

}  // namespace

std::string NetscapeKeys(std::string_view installDirectory, std::string_view user) {
  return "\n[Software\\\\Netscape\\\\Netscape Navigator\\\\Main] 0\n\"Install Directory\"=\"" +
         std::string(installDirectory) +
         "\"\n\n[Software\\\\Netscape\\\\Netscape Navigator\\\\biff] 0\n\"CurrentUser\"=\"" +
         std::string(user) + "\"\n";
}

MozillaMachine::MozillaMachine(std::string_view extraUserHive)
    : machine_(WithShellFolders(extraUserHive)),
      progress_(std::make_unique<ProgressReporter>(owner_, "BrowserCookies", "", &cancel_)) {}

std::string MozillaMachine::SuiteProfile(std::string_view owner, std::string_view folder) {
  const std::string path = "C:\\users\\ann\\AppData\\Roaming\\Mozilla\\Profiles\\" +
                           std::string(owner) + "\\" + std::string(folder);
  machine_.MakeFolder(path);
  return path + "\\";
}

std::string MozillaMachine::FirefoxProfile(std::string_view name) {
  const std::string path =
      "C:\\users\\ann\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\" + std::string(name);
  machine_.MakeFolder(path);
  return path + "\\";
}

std::string MozillaMachine::FirefoxCacheProfile(std::string_view name) {
  const std::string path =
      "C:\\users\\ann\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\" + std::string(name);
  machine_.MakeFolder(path);
  return path + "\\";
}

std::string MozillaMachine::NetscapeProfile(std::string_view user) {
  const std::string path = "C:\\Program Files\\Netscape\\Users\\" + std::string(user);
  machine_.MakeFolder(path);
  return path + "\\";
}

std::filesystem::path MozillaMachine::Write(const std::string& profile, std::string_view name,
                                            std::string_view content) {
  return machine_.WriteFile(profile + std::string(name), content);
}

std::filesystem::path MozillaMachine::Host(const std::string& profile, std::string_view name) {
  return machine_.Host(profile + std::string(name));
}

}  // namespace corvane::test
