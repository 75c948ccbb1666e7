#include "cleaners/messaging/message_history_plugin.h"

#include <algorithm>

#include "app/registry_key.h"
#include "engine/cleaner_texts.h"
#include "engine/file_set.h"
#include "engine/progress_reporter.h"
#include "platform/file_services.h"
#include "platform/registry.h"
#include "platform/shell/prefix_drives.h"
#include "platform/shell_folders.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {
namespace {

using Messenger = MessageHistoryPlugin::Messenger;
using FileList = MessageHistoryPlugin::FileList;
using FileStatus = MessageHistoryPlugin::FileStatus;

constexpr char kIcqProKey[] = "Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs";
constexpr char kIcqProDefault[] = "E:\\Program Files\\ICQ";
constexpr char kPassportsKey[] = "Software\\Microsoft\\MSNMessenger\\PerPassportSettings";

struct MessengerPage {
  std::string_view rowPrefix;
  std::string_view header;
  bool opensFiles;
};
constexpr std::array<MessengerPage, 3> kPages = {{
    {"icqlite5-", "detailheadericqlite5.html", true},
    {"icqpro2003b-", "detailheadericqpro2003b.html", false},
    {"msn70-", "detailheadermsn70.html", true},
}};

// A messenger's folder: a special folder of the machine plus the messenger's own part; empty
// when the folder is unknown.
std::string SpecialFolderBelow(int csidl, std::string_view rest) {
  const auto folder = SHGetSpecialFolderPathW(csidl, FolderCreation::MustExist);
  return folder ? JoinPath(*folder, rest) : std::string();
}

// Folders are only walked on the machine's own drives: a path from the registry may name any
// folder, drive Z: (the Linux root) included.
std::vector<std::string> Subfolders(const std::string& folder) {
  std::vector<std::string> list;
  if (IsOnCleanableDrive(folder)) static_cast<void>(ListSubfolders(folder, "*.*", list));
  return list;
}

void AddFiles(const std::string& folder, std::string_view mask, FileList& files) {
  if (!IsOnCleanableDrive(folder)) return;
  std::vector<std::string> paths;
  static_cast<void>(ListFiles(folder, mask, paths, ListedNames::FullPaths));
  for (std::string& path : paths) {
    // The same folder named twice (two passports logging to one place) gives each file once.
    const bool known = std::any_of(files.begin(), files.end(),
                                   [&](const auto& file) { return file.path == path; });
    if (!known) files.push_back({std::move(path)});
  }
}

std::string PassportLogFolder(const std::string& passport) {
  RegistryString path(HKEY_CURRENT_USER, std::string(kPassportsKey) + "\\" + passport,
                      "MessageLogPath", "");
  path.SetReadOnly(true);
  return path.value;
}

std::vector<std::string> Passports() {
  std::vector<std::string> names;
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, kPassportsKey, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD chars = kMaxKeyNameLength + 1;
    if (RegEnumKeyExW(key, index, &name, &chars, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.push_back(std::move(name));
  }
  RegCloseKey(key);
  return names;
}

}  // namespace

MessageHistoryPlugin::MessageHistoryPlugin(PluginOwner& owner)
    : Plugin(kMessageHistoryId, "Instant Messaging", owner) {
  LoadTracksLeft();
}

bool MessageHistoryPlugin::ListHistory(Messenger messenger, FileList& files) const {
  files.clear();
  ProgressReporter reporter(Owner(), GetId(), std::string(), CancelEvent());
  // The run is asked before every folder; a cancelled listing still ends, then says so.
  bool cancelled = false;
  const auto enter = [&] { cancelled = cancelled || reporter.IsCancelled(); };
  switch (messenger) {
    case Messenger::IcqLite: {
      enter();
      for (const std::string& user :
           Subfolders(SpecialFolderBelow(CSIDL_APPDATA, "ICQLite\\HistoryDB"))) {
        enter();
        for (const std::string& store : Subfolders(user)) {
          enter();
          AddFiles(store, "*.*", files);
        }
      }
      break;
    }
    case Messenger::IcqPro: {
      RegistryString icq(HKEY_LOCAL_MACHINE, kIcqProKey, "ICQPath", kIcqProDefault);
      icq.SetReadOnly(true);
      enter();
      for (const std::string& user : Subfolders(JoinPath(icq.value, "2003b"))) {
        enter();
        AddFiles(user, "messages*.*", files);
      }
      break;
    }
    case Messenger::Msn: {
      for (const std::string& passport : Passports()) {
        const std::string folder = PassportLogFolder(passport);
        enter();
        if (!folder.empty()) AddFiles(folder, "*.x?l", files);
      }
      enter();
      for (const std::string& contact :
           Subfolders(SpecialFolderBelow(CSIDL_PERSONAL, "My Received Files"))) {
        enter();
        AddFiles(JoinPath(contact, "History"), "*.*", files);
      }
      break;
    }
  }
  return !cancelled;
}

PluginResult MessageHistoryPlugin::ScanTracks() {
  for (FileList& list : scanned_) list.clear();
  std::uint64_t items = 0;
  for (std::size_t i = 0; i < scanned_.size(); ++i) {
    if (!ListHistory(static_cast<Messenger>(i), scanned_[i])) return PluginResult::Cancelled;
    items += scanned_[i].size();
  }
  static_cast<void>(PublishTracksLeft({{"items", items}}));
  return PluginResult::Finished;
}

PluginResult MessageHistoryPlugin::EraseTracks() {
  std::uint64_t left = 0;
  for (std::size_t i = 0; i < erased_.size(); ++i) {
    // Listed afresh: what is there now is what goes.
    static_cast<void>(ListHistory(static_cast<Messenger>(i), erased_[i]));
    for (HistoryFile& file : erased_[i]) {
      file.size = GetFileSize64(file.path).value_or(0);
      if (DeleteFileW(file.path)) {
        file.status = FileStatus::Deleted;
        Tally().AddDone({1, file.size});
      } else {
        // Only what went counts as erased.
        file.status = FileStatus::NotDeleted;
        Tally().AddFailed({1, file.size});
        ++left;
      }
    }
  }
  static_cast<void>(PublishTracksLeft({{"items", left}}));
  return PluginResult::Finished;
}

std::optional<std::string> MessageHistoryPlugin::ItemToOpen(std::string_view rowPrefix,
                                                            std::size_t number) const {
  for (std::size_t i = 0; i < kPages.size(); ++i) {
    if (!kPages[i].opensFiles || rowPrefix != kPages[i].rowPrefix) continue;
    const FileList& files = scanned_[i];
    if (number == 0 || number > files.size()) return std::nullopt;
    return files[number - 1].path;
  }
  return std::nullopt;
}

std::string MessageHistoryPlugin::Rows(bool details) const {
  const std::string rowTemplate =
      LoadPluginText(details ? "historydetail.html" : "historyreport.html");
  const auto& lists = details ? scanned_ : erased_;
  std::string rows;
  for (std::size_t i = 0; i < lists.size(); ++i) {
    const FileList& files = lists[i];
    const MessengerPage& page = kPages[i];
    std::string header = LoadPluginText(page.header);
    if (files.empty()) {
      TemplateStore::Replace(header, "#rows#", "1");
      std::string row = rowTemplate;
      // A messenger without a history has nothing to erase; "Found" would say the opposite.
      TemplateStore::Fill(row,
                          {{"#result#", LoadSharedPluginText(LanguageFolder(), kNothingToErase)},
                           {"#classname#", "linkstyle"},
                           {"#historyid#", "noref"},
                           {"#messenger#", header},
                           {"#historyfile#", LoadPluginText("nohistory.html")}});
      rows += row;
      continue;
    }
    TemplateStore::Replace(header, "#rows#", std::to_string(files.size()));
    for (std::size_t n = 0; n < files.size(); ++n) {
      const HistoryFile& file = files[n];
      const std::string& result = file.status == FileStatus::NotDeleted ? ResErrorHtml()
                                  : file.status == FileStatus::Deleted  ? ResErasedHtml()
                                                                        : ResOkHtml();
      std::string row = rowTemplate;
      // The path is the machine's text: filled last, so that it is never read as a placeholder.
      TemplateStore::Fill(row,
                          {{"#result#", result},
                           {"#classname#", details && page.opensFiles ? "domen" : "linkstyle"},
                           {"#historyid#", std::string(page.rowPrefix) + std::to_string(n + 1)},
                           {"#messenger#", n == 0 ? header : std::string()},
                           {"#historyfile#", HtmlEscapePath(file.path)}});
      rows += row;
    }
  }
  return rows;
}

int MessageHistoryPlugin::ShowDetails(dom::Element element) {
  if (GetScanState() == ScanState::NotScanned) return 1;
  std::size_t total = 0;
  for (const FileList& files : scanned_) total += files.size();
  std::string totals = LoadPluginText("totaldetails.html");
  TemplateStore::Fill(totals, {{"#num#", std::to_string(total)},
                               {"#icon#", total != 0 ? LoadNoIcon() : LoadOkIcon()}});
  std::string page = LoadPluginText("details.html");
  TemplateStore::Fill(page, {{"#totalinfo#", totals}, {"#messagetable#", Rows(true)}});
  element.SetInnerHtml(page);
  return 0;
}

int MessageHistoryPlugin::ShowReport(dom::Element element) {
  if (GetScanState() != ScanState::Erased) return 1;
  std::size_t total = 0;
  for (const FileList& files : erased_) total += files.size();
  std::string totals = LoadPluginText("totalreport.html");
  TemplateStore::Replace(totals, "#num#", std::to_string(total));
  std::string page = LoadPluginText("report.html");
  TemplateStore::Fill(page, {{"#totalinfo#", totals}, {"#messagetable#", Rows(false)}});
  element.SetInnerHtml(page);
  return 0;
}

}  // namespace corvane
