#include "demo/demo_machine.h"
#include "demo/demo_cleaner_traces.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/registry_patterns.h"
#include "cleaners/custom/custom_definition.h"
#include "cleaners/custom/path_macros.h"
#include "demo/demo_cleaner_traces.h"
#include "demo/demo_ie_traces.h"
#include "demo/demo_modern_forms.h"
#include "demo/demo_modern_traces.h"
#include "demo/demo_mozilla_traces.h"
#include "engine/file_set.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/text.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

constexpr char kUserSid[] = "S-1-5-21-0-0-0-1000";

std::string HiveHeader(std::string_view branch) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to ";
  text += branch;
  text += "\n\n#arch=win64\n";
  return text;
}

bool WriteBytes(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The Unix user, as Wine names the profile folder after it.
std::string UnixUserName() {
  if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr)
    return entry->pw_name;
  return "user";
}

// A folder may become the demo machine when it is new, empty, or an earlier demo machine.
bool PrepareFolder(const fs::path& folder, std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(folder, ec);
  if (fs::is_symlink(status)) {
    error = "\"" + folder.string() + "\" is a symbolic link; give the folder itself";
    return false;
  }
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) {
      error = "\"" + folder.string() + "\" is not a folder";
      return false;
    }
    const bool empty = fs::is_empty(folder, ec);
    if (!empty && !fs::exists(fs::symlink_status(folder / kDemoMachineMarker, ec))) {
      error = "\"" + folder.string() + "\" is not empty and holds no demo machine; not touching it";
      return false;
    }
    // remove_all takes links away as links, so an earlier demo cannot lead it anywhere else.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
      fs::remove_all(entry.path(), ec);
      if (ec) {
        error = "cannot remove the earlier demo machine's " + entry.path().string() + ": " +
                ec.message();
        return false;
      }
    }
  }
  fs::create_directories(folder, ec);
  if (ec) {
    error = "cannot make \"" + folder.string() + "\": " + ec.message();
    return false;
  }
  return WriteBytes(folder / kDemoMachineMarker,
                    "A demo machine for CorvaneErase; building another replaces this folder.\n");
}

// The layout wineboot (Wine 8) makes, with plain profile folders.
bool MakeLayout(const fs::path& prefix, const std::string& user) {
  std::error_code ec;
  fs::create_directories(prefix / "dosdevices", ec);
  fs::create_symlink("../drive_c", prefix / "dosdevices" / "c:", ec);
  if (ec) return false;
  const fs::path driveC = prefix / "drive_c";
  for (const char* folder :
       {"windows/system32", "windows/syswow64", "windows/temp", "windows/Fonts", "Program Files",
        "Program Files/Common Files", "Program Files (x86)", "ProgramData", "users/Public/Desktop",
        "users/Public/Documents", "users/Public/Music", "users/Public/Pictures",
        "users/Public/Videos"}) {
    fs::create_directories(driveC / folder, ec);
  }
  const fs::path profile = driveC / "users" / user;
  for (const char* folder : {"AppData/Roaming/Microsoft/Windows/Recent",
                             "AppData/Roaming/Microsoft/Windows/SendTo",
                             "AppData/Roaming/Microsoft/Windows/Templates",
                             "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp",
                             "AppData/Local/Microsoft/Windows/INetCache",
                             "AppData/Local/Microsoft/Windows/INetCookies",
                             "AppData/Local/Microsoft/Windows/History",
                             "AppData/LocalLow",
                             "Contacts",
                             "Desktop",
                             "Documents",
                             "Downloads",
                             "Favorites",
                             "Links",
                             "Music",
                             "Pictures",
                             "Saved Games",
                             "Searches",
                             "Temp",
                             "Videos"}) {
    fs::create_directories(profile / folder, ec);
  }
  return !ec && WriteBytes(prefix / "system.reg", HiveHeader("REGISTRY\\\\Machine")) &&
         WriteBytes(prefix / "user.reg",
                    HiveHeader(std::string("REGISTRY\\\\User\\\\") + kUserSid)) &&
         WriteBytes(prefix / "userdef.reg", HiveHeader("REGISTRY\\\\User\\\\.Default"));
}

// Writes string values of one key through the registry calls, so the hives come out of our own
// writer exactly as the program later reads them.
class KeyWriter {
 public:
  KeyWriter(HKEY root, std::string_view path) { ok_ = RegCreateKeyW(root, path, &key_) == 0; }
  ~KeyWriter() {
    if (ok_) RegCloseKey(key_);
  }
  KeyWriter(const KeyWriter&) = delete;
  KeyWriter& operator=(const KeyWriter&) = delete;

  void Set(std::string_view name, std::string_view text, DWORD type = REG_SZ) {
    const std::string bytes = RegistryStringData(text);
    Check(RegSetValueExW(key_, name, type, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())));
  }
  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  void Check(LONG result) { ok_ = ok_ && result == 0; }

  HKEY key_ = 0;
  bool ok_ = false;
};

// The shell folders and environment a fresh prefix has, which the cleaners resolve their
// folders from.
bool WriteMachineSettings(const std::string& user) {
  const std::string profile = "C:\\users\\" + user;
  struct ShellFolder {
    const char* name;
    const char* relative;
  };
  const ShellFolder folders[] = {
      {"AppData", "AppData\\Roaming"},
      {"Cache", "AppData\\Local\\Microsoft\\Windows\\INetCache"},
      {"Cookies", "AppData\\Local\\Microsoft\\Windows\\INetCookies"},
      {"Desktop", "Desktop"},
      {"Favorites", "Favorites"},
      {"History", "AppData\\Local\\Microsoft\\Windows\\History"},
      {"Local AppData", "AppData\\Local"},
      {"My Music", "Music"},
      {"My Pictures", "Pictures"},
      {"My Videos", "Videos"},
      {"Personal", "Documents"},
      {"Recent", "AppData\\Roaming\\Microsoft\\Windows\\Recent"},
      {"SendTo", "AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
      {"Templates", "AppData\\Roaming\\Microsoft\\Windows\\Templates"},
  };
  constexpr char kExplorer[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  KeyWriter userShell(HKEY_CURRENT_USER, std::string(kExplorer) + "User Shell Folders");
  KeyWriter shell(HKEY_CURRENT_USER, std::string(kExplorer) + "Shell Folders");
  for (const ShellFolder& folder : folders) {
    userShell.Set(folder.name, std::string("%USERPROFILE%\\") + folder.relative, REG_EXPAND_SZ);
    shell.Set(folder.name, profile + "\\" + folder.relative);
  }

  KeyWriter userEnvironment(HKEY_CURRENT_USER, "Environment");
  userEnvironment.Set("TEMP", profile + "\\Temp");
  userEnvironment.Set("TMP", profile + "\\Temp");

  KeyWriter environment(HKEY_LOCAL_MACHINE,
                        "System\\CurrentControlSet\\Control\\Session Manager\\Environment");
  environment.Set("ComSpec", "%SystemRoot%\\system32\\cmd.exe", REG_EXPAND_SZ);
  environment.Set("OS", "Windows_NT");
  environment.Set("PATH", "%SystemRoot%\\system32;%SystemRoot%", REG_EXPAND_SZ);
  environment.Set("TEMP", "%SystemRoot%\\temp", REG_EXPAND_SZ);
  environment.Set("TMP", "%SystemRoot%\\temp", REG_EXPAND_SZ);
  environment.Set("windir", "%SystemRoot%", REG_EXPAND_SZ);

  KeyWriter currentVersion(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion");
  currentVersion.Set("CommonFilesDir", "C:\\Program Files\\Common Files");
  currentVersion.Set("ProgramFilesDir", "C:\\Program Files");

  KeyWriter internet(HKEY_LOCAL_MACHINE,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
  internet.Set("ActiveXCache", "C:\\windows\\Downloaded Program Files");

  KeyWriter windowsNt(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion");
  windowsNt.Set("CurrentVersion", "6.1");
  windowsNt.Set("ProductName", "Microsoft Windows 7");

  return userShell.Ok() && shell.Ok() && userEnvironment.Ok() && environment.Ok() &&
         currentVersion.Ok() && internet.Ok() && windowsNt.Ok();
}

// A file name that a Windows mask matches: "*" becomes a word, "?" a letter. A mask that matches
// everything gives a ".tmp" name.
std::string NameForMask(std::string_view mask, int number) {
  if (mask.empty() || mask == "*" || mask == "*.*")
    return "trace-" + std::to_string(number) + ".tmp";
  std::string name;
  for (char c : mask) {
    if (c == '*')
      name += "trace-" + std::to_string(number);
    else if (c == '?')
      name += 'x';
    else
      name += c;
  }
  return name;
}

// A value name that a registry pattern matches, or none. "?" is a plain character there, and the
// match takes the first place each piece after a "*" occurs, never going back: "a*c" does not
// match "atrace-1c". So each run of "*" becomes the first filler with which the whole name
// matches.
std::optional<std::string> NameForValuePattern(std::string_view pattern, int number) {
  const std::string digits = std::to_string(number);
  for (const std::string& filler : {"trace-" + digits, digits, "x" + digits, "_" + digits}) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] != '*') {
        name += pattern[i];
      } else if (i == 0 || pattern[i - 1] != '*') {
        name += filler;
      }
    }
    if (name.empty()) name = filler;  // the empty pattern matches every name
    if (MatchWildcard(name, pattern)) return name;
  }
  return std::nullopt;
}

// Some kilobytes of text, a different amount for each trace, so sizes add up visibly.
std::string TraceContent(int number) {
  std::string content = "A trace left for the demo.\n";
  while (content.size() < static_cast<std::size_t>(1024 * (1 + number % 7))) content += content;
  return content;
}

// The host folder of a machine path, only when it lies inside the demo's drive C:.
std::optional<fs::path> InsideDriveC(const Machine& machine, const std::string& machinePath) {
  if (machinePath.size() < 3 || !IsMachinePath(machinePath)) return std::nullopt;
  std::optional<fs::path> host = machine.ToHostPath(machinePath);
  if (!host) return std::nullopt;
  const fs::path driveC = fs::weakly_canonical(machine.Prefix() / "drive_c");
  const fs::path resolved = fs::weakly_canonical(*host);
  const auto [end, unused] =
      std::mismatch(driveC.begin(), driveC.end(), resolved.begin(), resolved.end());
  if (end != driveC.end()) return std::nullopt;
  return resolved;
}

bool Excluded(const CustomFileItem& item, const std::string& name) {
  return std::any_of(item.exclusions.begin(), item.exclusions.end(),
                     [&](const std::string& exclusion) { return EqualsNoCase(exclusion, name); });
}

void PlantFileTraces(const Machine& machine, const CustomFileItem& item, int& number) {
  std::optional<fs::path> target = InsideDriveC(machine, ExpandPathMacros(item.path));
  if (!target) return;
  if (item.kind == kCustomItemOneFile) {
    WriteBytes(*target, TraceContent(number++));
    return;
  }
  std::vector<fs::path> folders = {*target};
  if (item.kind == kCustomItemFolderTree) folders.push_back(*target / "Demo Subfolder");
  for (const fs::path& folder : folders) {
    for (std::string_view mask : SplitFileList(item.masks)) {
      // No masks at all means every file; an empty piece between two bars means none.
      if (mask.empty() && !item.masks.empty()) continue;
      for (int copy = 0; copy < 2; ++copy) {
        const std::string name = NameForMask(mask, number);
        const std::string content = TraceContent(number++);
        if (!Excluded(item, name)) WriteBytes(folder / name, content);
      }
    }
  }
}

void PlantRegistryTraces(const CustomRegistryItem& item, int& number) {
  std::vector<std::string> keys = {item.keyPath};
  if (item.kind == 3) keys.push_back(item.keyPath + "\\Demo");
  for (const std::string& keyPath : keys) {
    KeyWriter key(static_cast<HKEY>(item.root), keyPath);
    if (item.kind == 0) {
      key.Set(item.valueName, "a trace left for the demo");
    } else {
      for (int copy = 0; copy < 2; ++copy) {
        if (const auto name = NameForValuePattern(item.pattern, number++)) {
          key.Set(*name, "a trace left for the demo");
        }
      }
    }
  }
}

// Traces for what each shipped custom definition cleans, so every custom plug-in finds some.
void PlantCustomTraces(const Machine& machine, const fs::path& programFolder) {
  const fs::path folder = programFolder / "CustomPlugins";
  std::error_code ec;
  int number = 1;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file(ec) || !EqualsNoCase(entry.path().extension().string(), ".pld"))
      continue;
    std::optional<CustomDefinition> definition = ReadCustomDefinitionFile(entry.path().string());
    if (!definition) continue;
    for (const CustomFileItem& item : definition->files) PlantFileTraces(machine, item, number);
    for (const CustomRegistryItem& item : definition->registry) PlantRegistryTraces(item, number);
  }
}

// Makes the demo machine and its registry the current ones for as long as it is being built.
class CurrentMachineScope {
 public:
  CurrentMachineScope(Machine& machine, RegistryStore& registry)
      : machine_(Machine::Current()), registry_(RegistryStore::Current()) {
    Machine::SetCurrent(&machine);
    RegistryStore::SetCurrent(&registry);
  }
  ~CurrentMachineScope() {
    RegistryStore::SetCurrent(registry_);
    Machine::SetCurrent(machine_);
  }
  CurrentMachineScope(const CurrentMachineScope&) = delete;
  CurrentMachineScope& operator=(const CurrentMachineScope&) = delete;

 private:
  Machine* machine_;
  RegistryStore* registry_;
};

// One of the demo's cookie domains on the program's whitelist, so the cookies cleaner shows one
// spared (the shipped blacklist names a few others). Only a program folder with its "files"
// folder gets it, and a domain already listed is not added again.
void WhitelistDemoDomain(const fs::path& programFolder) {
  constexpr std::string_view kDomain = "shop.example.org";
  const fs::path list = programFolder / "files" / "web_whitelist.txt";
  std::error_code ec;
  if (!fs::is_directory(list.parent_path(), ec)) return;
  std::string text;
  {
    std::ifstream in(list, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line == kDomain) return;
    at = end + 1;
  }
  if (!text.empty() && !text.ends_with('\n')) text += "\r\n";
  std::ofstream(list, std::ios::binary | std::ios::trunc) << text << kDomain << "\r\n";
}

}  // namespace

bool BuildDemoMachine(const fs::path& folder, const fs::path& programFolder, std::string& error) {
  if (!PrepareFolder(folder, error)) return false;
  const std::string user = UnixUserName();
  if (!MakeLayout(folder, user)) {
    error = "cannot lay out the prefix in \"" + folder.string() + "\"";
    return false;
  }
  std::unique_ptr<Machine> machine = Machine::Open(folder, &error);
  if (!machine) return false;
  RegistryStore registry(folder);
  {
    CurrentMachineScope scope(*machine, registry);
    if (!WriteMachineSettings(user)) {
      error = "cannot write the demo machine's registry";
      return false;
    }
    PlantCustomTraces(*machine, programFolder);
    if (!PlantMozillaTraces(user) || !PlantModernBrowserTraces(user) ||
        !PlantModernFormTraces(user)) {
      error = "cannot plant the demo machine's browser profiles";
      return false;
    }
    if (!PlantCleanerTraces(*machine, folder)) {
      error = "cannot plant the built-in cleaners' traces";
      return false;
    }
    if (!PlantInternetExplorerTraces(user)) {
      error = "cannot write the demo machine's Internet Explorer traces";
      return false;
    }
  }
  if (!registry.Flush()) {
    error = "cannot save the demo machine's registry: " + registry.LastSaveProblem();
    return false;
  }
  WhitelistDemoDomain(programFolder);
  return true;
}

}  // namespace corvane
