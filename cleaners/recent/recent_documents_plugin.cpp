#include "cleaners/recent/recent_documents_plugin.h"

#include <array>
#include <chrono>
#include <cstdio>

#include "engine/cleaner_texts.h"
#include "engine/erase_file.h"
#include "engine/file_set.h"
#include "engine/progress_reporter.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell/file_type_name.h"
#include "platform/shell/prefix_drives.h"
#include "platform/shell/shell_link.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {
namespace {

using Document = RecentDocumentsPlugin::RecentDocument;
using DocumentList = RecentDocumentsPlugin::DocumentList;
using Status = RecentDocumentsPlugin::Status;

constexpr std::chrono::milliseconds kThrottle{1000};
constexpr char kLinkExtension[] = ".lnk";
// Office keeps at most this many entries; higher numbers are not its.
constexpr int kLastMruNumber = 10;
// Registry text longer than the buffer Office's readers use is not one of their entries.
constexpr DWORD kMruBytes = 1024;

enum class MruErase { Values, Key };
struct OfficeList {
  const char* key;
  const char* valueFormat;
  MruErase erase;
};
constexpr std::array<OfficeList, 15> kOfficeLists = {{
    {"Software\\Microsoft\\Office\\8.0\\Access\\Settings", "MRU%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\9.0\\Access\\Settings", "MRU%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\10.0\\Access\\Settings", "MRU%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\11.0\\Access\\Settings", "MRU%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\11.0\\Visio\\Application", "LastFile%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\10.0\\Visio\\Application", "LastFile%d", MruErase::Values},
    {"Software\\Microsoft\\Office\\8.0\\Excel\\Recent Files", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\10.0\\Excel\\Recent Files", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List", "File %d", MruErase::Key},
    {"Software\\Microsoft\\Office\\11.0\\PowerPoint\\Recent File List", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\10.0\\PowerPoint\\Recent File List", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\9.0\\PowerPoint\\Recent File List", "File%d", MruErase::Key},
    {"Software\\Microsoft\\Office\\8.0\\PowerPoint\\Recent File List", "File%d", MruErase::Key},
}};

std::string ValueName(const char* format, int n) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, n);
  return buffer.data();
}

// Text of the machine put into a page: escaped, and with "#" spelt as a character reference so
// that no later placeholder replacement can find one inside it.
std::string PageText(std::string_view text) {
  std::string out;
  for (const char c : HtmlEscape(text)) {
    if (c == '#') {
      out += "&#35;";
    } else {
      out += c;
    }
  }
  return out;
}

// A path as PageText writes it, which may break after its separators.
std::string PathPageText(std::string_view path) {
  std::string out;
  for (const char c : PageText(path)) {
    out += c;
    if (c == '\\' || c == '/') out += "<wbr>";
  }
  return out;
}

std::string FileNameOf(std::string_view path) {
  std::size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) cut = path.rfind('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// A string entry of an Office list; other types hold no path.
std::optional<std::string> MruText(HKEY key, const std::string& name) {
  std::string bytes(kMruBytes, '\0');
  DWORD size = kMruBytes;
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  bytes.resize(size);
  std::string text = Utf16LeBytesToUtf8(bytes);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

DocumentList ScanOffice() {
  DocumentList documents;
  for (const OfficeList& list : kOfficeLists) {
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, list.key, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    for (int n = 0; n <= kLastMruNumber; ++n) {
      auto path = MruText(key, ValueName(list.valueFormat, n));
      if (!path) continue;
      Document document;
      document.name = FileNameOf(*path);
      document.typeName = GetFileTypeName(*path, FileTypeCheck::NameOnly).value_or("-");
      document.path = std::move(*path);
      document.registryKey = list.key;
      document.registryValue = ValueName(list.valueFormat, n);
      documents.push_back(std::move(document));
    }
    RegCloseKey(key);
  }
  return documents;
}

void EraseOfficeLists() {
  for (const OfficeList& list : kOfficeLists) {
    if (list.erase == MruErase::Key) {
      // A key with sub-keys stays, as on Windows; nothing else of Office's is removed with it.
      static_cast<void>(RegDeleteKeyW(HKEY_CURRENT_USER, list.key));
      continue;
    }
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, list.key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
      continue;
    }
    for (int n = 0; n <= kLastMruNumber; ++n) {
      static_cast<void>(RegDeleteValueW(key, ValueName(list.valueFormat, n)));
    }
    RegCloseKey(key);
  }
}

bool ValueExists(const std::string& keyPath, const std::string& name) {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  const bool found = RegQueryValueExW(key, name, nullptr, nullptr, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// A folder the erase empties: only on the machine's own drives.
std::optional<std::string> FolderToEmpty(int csidl, std::string_view below) {
  auto folder = SHGetSpecialFolderPathW(csidl, FolderCreation::CreateIfMissing);
  if (!folder) return std::nullopt;
  std::string path = below.empty() ? *folder : JoinPath(*folder, below);
  if (!IsOnCleanableDrive(path)) return std::nullopt;
  return path;
}

}  // namespace

DocumentList ScanRecentFolder(std::string_view folder) {
  DocumentList documents;
  if (!IsOnCleanableDrive(folder)) return documents;
  std::vector<std::string> files;
  static_cast<void>(ListFiles(folder, "*", files, ListedNames::FullPaths));
  for (std::string& file : files) {
    const auto host = HostPath(file);
    if (!host) continue;
    const auto link = ReadShellLink(*host);
    if (!link) continue;
    std::string target = link->targetPath;
    if (target.empty() && !link->environmentTarget.empty()) {
      target = ExpandEnvironmentStringsW(link->environmentTarget);
    }
    if (target.empty()) continue;
    // A document that is gone, or that no path of the machine names, has no type: not listed.
    auto typeName = GetFileTypeName(target, FileTypeCheck::MustExist);
    if (!typeName || !IsMachinePath(target)) continue;
    Document document;
    // The shell never shows a shortcut's ".lnk".
    document.name = FileNameOf(file);
    if (document.name.size() > 4 &&
        EqualsNoCase(std::string_view(document.name).substr(document.name.size() - 4),
                     kLinkExtension)) {
      document.name.resize(document.name.size() - 4);
    }
    document.path = std::move(target);
    document.shortcutPath = std::move(file);
    document.typeName = std::move(*typeName);
    documents.push_back(std::move(document));
  }
  return documents;
}

RecentDocumentsPlugin::RecentDocumentsPlugin(PluginOwner& owner)
    : Plugin(kRecentUsedId, "Recently used documents", owner) {
  LoadTracksLeft();
}

PluginResult RecentDocumentsPlugin::ScanTracks() {
  ProgressReporter reporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), kScanningPage),
                            CancelEvent(), kThrottle);
  windows_.clear();
  office_.clear();
  foundValues_.Clear();
  if (reporter.IsCancelled()) return PluginResult::Cancelled;
  reporter.Report(".");
  if (const auto recent = SHGetSpecialFolderPathW(CSIDL_RECENT, FolderCreation::MustExist)) {
    windows_ = ScanRecentFolder(*recent);
  }
  if (reporter.IsCancelled()) return PluginResult::Cancelled;
  reporter.Report("..");
  office_ = ScanOffice();
  for (const RecentDocument& document : office_) {
    foundValues_.Add(
        {"HKEY_CURRENT_USER\\" + document.registryKey + "\\" + document.registryValue, 0, -1});
  }
  if (reporter.IsCancelled()) return PluginResult::Cancelled;
  static_cast<void>(PublishTracksLeft({{"items", windows_.size() + office_.size()}}));
  return PluginResult::Finished;
}

PluginResult RecentDocumentsPlugin::EraseTracks() {
  ProgressReporter reporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), kClearingPage),
                            CancelEvent(), kThrottle);
  const CancelCheck cancel = reporter.AsCancelCheck();
  DeletionTally& tally = Tally();
  if (reporter.IsCancelled()) return PluginResult::Cancelled;

  // The shortcuts, always overwritten (they name the documents), then whatever else the Recent
  // folder holds.
  bool ok = true;
  std::string dots;
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    RecentDocument& document = windows_[i];
    document.status = Status::Processing;
    if (i % 51 == 0) {
      reporter.Report(dots += '.');
      if (reporter.IsCancelled()) break;
    }
    const EraseResult result =
        EraseFile(document.shortcutPath, Overwrite::On, WipePattern::WipeOnes, CancelCheck());
    if (result > 0) {
      document.status = Status::Erased;
      tally.AddDone({1, ErasedBytes(result)});
    } else {
      if (result == kEraseAtRestart) RaiseRebootNeeded();
      document.status = Status::Failed;
      ok = false;
      tally.AddFailed({1, 0});
    }
  }
  if (const auto recent = FolderToEmpty(CSIDL_RECENT, "")) {
    ok = EraseFileSetTree(*recent, {}, "*", Overwrite::On, WipePattern::WipeRandom, cancel,
                          &tally) &&
         ok;
  }
  if (reporter.IsCancelled()) return PluginResult::Cancelled;
  if (!ok) return PluginResult::Failed;
  std::uint64_t left = 0;
  for (const RecentDocument& document : windows_) left += document.status != Status::Erased;

  EraseOfficeLists();
  // An entry counts as erased once its value is gone; one that stayed (a key Office still
  // holds open, a hive used read-only) is reported as not erased.
  TallyRecord officeDone;
  TallyRecord officeFailed;
  for (RecentDocument& document : office_) {
    const bool stayed = ValueExists(document.registryKey, document.registryValue);
    document.status = stayed ? Status::Failed : Status::Erased;
    ++(stayed ? officeFailed : officeDone).items;
    left += stayed ? 1 : 0;
  }
  if (reporter.IsCancelled()) return PluginResult::Cancelled;
  if (const auto officeRecent = FolderToEmpty(CSIDL_APPDATA, "Microsoft\\Office\\Recent")) {
    if (!EraseFileSetTree(*officeRecent, {}, "*", Overwrite::On, WipePattern::WipeRandom, cancel,
                          nullptr)) {
      return reporter.IsCancelled() ? PluginResult::Cancelled : PluginResult::Failed;
    }
  }
  tally.AddDone(officeDone);
  if (officeFailed.items != 0) tally.AddFailed(officeFailed);
  static_cast<void>(PublishTracksLeft({{"items", left}}));
  return PluginResult::Finished;
}

int RecentDocumentsPlugin::OnCheckbox(std::string_view, dom::Element) {
  return kPageNotShown;
}

std::vector<const RecentDocumentsPlugin::RecentDocument*> RecentDocumentsPlugin::Rows() const {
  std::vector<const RecentDocument*> rows;
  for (const RecentDocument& document : windows_) rows.push_back(&document);
  for (const RecentDocument& document : office_) rows.push_back(&document);
  return rows;
}

std::optional<std::string> RecentDocumentsPlugin::ItemToOpen(std::string_view rowPrefix,
                                                             std::size_t number) const {
  const auto rows = Rows();
  if (rowPrefix != "RecDocId-" || number >= rows.size()) return std::nullopt;
  return rows[number]->path;
}

std::string RecentDocumentsPlugin::RowsHtml(bool details) const {
  const auto rows = Rows();
  if (rows.empty()) {
    return LoadSharedPluginText(LanguageFolder(), kNoItemsFound);
  }
  const std::string rowTemplate =
      LoadPluginText(details ? "domaindetails.html" : "domainreport.html");
  std::string html;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string row = rowTemplate;
    // Only what the erase removed is marked erased: a row it failed on or never reached is not.
    const std::string& result =
        rows[i]->status == Status::Erased ? ResErasedHtml() : ResErrorHtml();
    TemplateStore::Fill(row, {{"#docid#", "RecDocId-" + std::to_string(i)},
                              {"#result#", result},
                              {"#name#", PageText(rows[i]->name)},
                              {"#type#", PageText(rows[i]->typeName)},
                              {"#path#", PathPageText(rows[i]->path)}});
    html += row;
  }
  return html;
}

int RecentDocumentsPlugin::ShowDetails(dom::Element element) {
  if (GetScanState() == ScanState::NotScanned) return 1;
  const std::size_t count = windows_.size() + office_.size();
  std::string totals = LoadPluginText("totaldetails.html");
  TemplateStore::Fill(totals,
                      {{"#num#", std::to_string(count)},
                       {"#icon#", count != 0 ? LoadNoIcon() : LoadOkIcon()},
                       {"#foundvalues#", FoundItemsHtml(foundValues_, LanguageFolder(), false)}});
  std::string page = LoadPluginText("details.html");
  TemplateStore::Fill(page, {{"#total#", totals}, {"#volumes#", RowsHtml(true)}});
  element.SetInnerHtml(page);
  return 0;
}

int RecentDocumentsPlugin::ShowReport(dom::Element element) {
  if (GetScanState() != ScanState::Erased) return 1;
  std::string totals = LoadPluginText("totalreport.html");
  TemplateStore::Replace(totals, "#num#", std::to_string(windows_.size() + office_.size()));
  std::string page = LoadPluginText("report.html");
  TemplateStore::Fill(page, {{"#total#", totals}, {"#volumes#", RowsHtml(false)}});
  element.SetInnerHtml(page);
  return 0;
}

}  // namespace corvane
