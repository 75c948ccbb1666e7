#include "cleaners/recycle/recycle_bin_plugin.h"

#include "app/registry_key.h"
#include "app/trace_log.h"
#include "engine/cleaner_texts.h"
#include "engine/erase_file.h"
#include "engine/file_set.h"
#include "engine/format_size.h"
#include "engine/progress_reporter.h"
#include "platform/file_services.h"
#include "platform/shell/prefix_drives.h"
#include "platform/shell/trash.h"
#include "settings/options_store.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The bookkeeping files of a bin, which are not recycled items.
const std::vector<std::string> kBinFiles = {"INFO2", "desktop.ini"};
// Windows' bins: per-user folders below "RECYCLER" (NTFS) and "$Recycle.Bin" (later Windows),
// and the one "Recycled" folder (FAT).
constexpr const char* kUserBins[] = {"RECYCLER", "$Recycle.Bin"};
constexpr char kSharedBin[] = "Recycled";

bool IsBookkeeping(const std::string& path) {
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  // "$I…" files of "$Recycle.Bin" hold where an item came from, like INFO2's records.
  return name == "INFO2" || name == "desktop.ini" || name.starts_with("$I");
}

std::vector<std::string> RecycleFolders(const std::string& root) {
  std::vector<std::string> folders;
  static_cast<void>(ListSubfolders(root + kUserBins[0], "*", folders));
  folders.push_back(root + kSharedBin);
  static_cast<void>(ListSubfolders(root + kUserBins[1], "*", folders));
  return folders;
}

std::string DriveRoot(char letter) {
  return std::string(1, letter) + ":\\";
}

std::string FileNameOf(std::string_view path) {
  return std::string(path.substr(path.find_last_of('/') + 1));
}

bool OverwriteOption() {
  RegistryString option(HKEY_LOCAL_MACHINE, kOptionsKeyPath, kOptionOverwrite, "");
  option.SetReadOnly(true);
  return !option.value.empty();
}

// The Trash items that came from one of the machine's drives, by drive letter.
std::map<char, std::vector<TrashItem>> TrashItemsByDrive(const Trash& trash,
                                                         const CancelCheck& cancel) {
  std::map<char, std::vector<TrashItem>> byDrive;
  CleanableDriveFinder drives;
  for (TrashItem& item : trash.List(cancel)) {
    if (const auto drive = drives.Find(item.originalPath)) {
      byDrive[drive->letter].push_back(std::move(item));
    }
  }
  return byDrive;
}

}  // namespace

RecycleBinPlugin::RecycleBinPlugin(PluginOwner& owner, std::optional<fs::path> trashFolder)
    : Plugin(kRecycleBinId, "Recyle Bin", owner), trashFolder_(std::move(trashFolder)) {
  LoadTracksLeft();
}

std::optional<fs::path> RecycleBinPlugin::TrashFolder() const {
  return trashFolder_ ? trashFolder_ : Trash::HomeTrashFolder();
}

PluginResult RecycleBinPlugin::ScanTracks() {
  ProgressReporter reporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), kScanningPage),
                            CancelEvent());
  const CancelCheck cancel = reporter.AsCancelCheck();
  overwrite_ = OverwriteOption();
  totalItems_ = 0;
  totalBytes_ = 0;
  volumes_.clear();
  recycledItems_.clear();

  const auto folder = TrashFolder();
  const Trash trash(folder.value_or(fs::path()));
  std::map<char, std::vector<TrashItem>> trashItems = TrashItemsByDrive(trash, cancel);
  for (const Drive& drive : CleanableDrives()) {
    if (reporter.IsCancelled()) break;
    const std::string root = DriveRoot(drive.letter);
    reporter.Report(" " + root);
    VolumeRecord record;
    for (const std::string& folderPath : RecycleFolders(root)) {
      std::vector<std::string> files;
      static_cast<void>(ListFiles(folderPath, "*", files, ListedNames::FullPaths));
      for (const std::string& file : files) {
        if (IsBookkeeping(file)) continue;
        ++record.items;
        record.size += GetFileSize64(file).value_or(0);
      }
      std::vector<std::string> subfolders;
      static_cast<void>(ListSubfolders(folderPath, "*", subfolders));
      for (const std::string& subfolder : subfolders) {
        std::uint32_t count = 0;
        std::uint64_t bytes = 0;
        static_cast<void>(CollectFileSetTree(subfolder, {}, "*", count, bytes, cancel));
        ++record.items;
        record.size += bytes;
      }
    }
    for (const TrashItem& item : trashItems[drive.letter]) {
      if (item.kind == TrashItem::Kind::Missing) continue;  // an orphan info file holds nothing
      ++record.items;
      record.size += item.size;
      recycledItems_.push_back({FileNameOf(item.originalPath), item.size});
    }
    totalItems_ += record.items;
    totalBytes_ += record.size;
    volumes_[root] = record;
  }
  static_cast<void>(PublishTracksLeft({{"items", totalItems_}, {"size", totalBytes_}}));
  return PluginResult::Finished;
}

bool RecycleBinPlugin::EraseVolume(const std::string& root, const CancelCheck& cancel) {
  const Overwrite overwrite = overwrite_ ? Overwrite::On : Overwrite::Off;
  DeletionTally& tally = Tally();
  bool ok = true;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const std::string& bin : RecycleFolders(root)) {
    std::vector<std::string> listed;
    static_cast<void>(ListFiles(bin, "*", listed, ListedNames::FullPaths));
    DropByFileName(listed, kBinFiles);
    files.insert(files.end(), listed.begin(), listed.end());
    static_cast<void>(ListSubfolders(bin, "*", folders));
  }
  // A folder deleted to the bin is one item, with the bytes of everything inside it.
  for (const std::string& folder : folders) {
    DeletionAccumulator inside;
    const bool erased =
        EraseFileSetTree(folder, {}, "*", overwrite, WipePattern::WipeRandom, cancel, &inside) &&
        RemoveDirectoryW(folder);
    if (!erased) {
      ok = false;
      if (cancel()) {
        tally.AddDone({0, inside.Erased().bytes});
        return false;
      }
      tally.AddFailed({1, inside.NotErased().bytes});
    } else {
      tally.AddDone({1, inside.Erased().bytes});
    }
  }
  if (!EraseFileList(files, overwrite, WipePattern::WipeRandom, cancel, &tally)) {
    ok = false;
    if (cancel()) return false;
  }
  // What is left: the bookkeeping files and the emptied per-user folders.
  for (const char* bin : {kSharedBin, kUserBins[0], kUserBins[1]}) {
    if (!EraseFileSetTree(root + bin, {}, "*.*", overwrite, WipePattern::WipeRandom, {}, nullptr)) {
      ok = false;
    }
  }

  // The shell's bin: the Trash items that came from this drive, each its entry and info file.
  const auto trashFolder = TrashFolder();
  const Trash trash(trashFolder.value_or(fs::path()));
  const char letter = root[0];
  auto byDrive = TrashItemsByDrive(trash, cancel);
  for (const TrashItem& item : byDrive[letter]) {
    if (cancel()) return false;
    if (trash.Remove(item, overwrite_ ? TrashOverwrite::On : TrashOverwrite::Off)) {
      if (item.kind != TrashItem::Kind::Missing) tally.AddDone({1, item.size});
    } else {
      // Never left for a restart: nothing at a restart would reach the Trash.
      HalvikTrace("EraseTracks: Trash item not removed: %s\n", item.originalPath.c_str());
      tally.AddFailed({1, item.size});
      ok = false;
    }
  }
  return ok;
}

PluginResult RecycleBinPlugin::EraseTracks() {
  const std::string page = LoadSharedPluginText(LanguageFolder(), kClearingPage);
  ProgressReporter reporter(Owner(), GetId(), page, CancelEvent());
  const CancelCheck cancel = reporter.AsCancelCheck();
  overwrite_ = OverwriteOption();
  const CounterPair before = CopyCounters().current;
  PluginResult result = PluginResult::Finished;
  for (auto& [root, volume] : volumes_) {
    if (volume.status == VolumeStatus::QueryFailed) continue;
    if (reporter.IsCancelled()) {
      result = PluginResult::Cancelled;
      break;
    }
    reporter.Report("  " + root);
    if (EraseVolume(root, cancel)) {
      volume.status = VolumeStatus::Erased;
    } else if (reporter.IsCancelled()) {
      result = PluginResult::Cancelled;
      break;
    } else {
      result = PluginResult::Failed;
    }
  }
  TracksLeftMap figures = TracksLeft();
  if (result == PluginResult::Finished) {
    figures["items"] = 0;
    figures["size"] = 0;
  } else {
    const CounterPair after = CopyCounters().current;
    const std::uint64_t items = after.items - before.items;
    const std::uint64_t bytes = after.bytes - before.bytes;
    figures["items"] = figures["items"] > items ? figures["items"] - items : 0;
    figures["size"] = figures["size"] > bytes ? figures["size"] - bytes : 0;
  }
  static_cast<void>(PublishTracksLeft(std::move(figures)));
  return result;
}

int RecycleBinPlugin::ShowDetails(dom::Element element) {
  if (GetScanState() == ScanState::NotScanned) return 1;
  const std::string volumeTemplate = LoadPluginText("volumedetails.html");
  std::string volumeRows;
  for (const auto& [root, volume] : volumes_) {
    std::string row = volumeTemplate;
    TemplateStore::Fill(row, {{"#size#", FormatSize(volume.size)},
                              {"#numel#", std::to_string(volume.items)},
                              {"#name#", HtmlEscape(root)}});
    volumeRows += row;
  }
  std::string totals = LoadPluginText("totaldetails.html");
  TemplateStore::Fill(totals, {{"#size#", FormatSize(totalBytes_)},
                               {"#numel#", std::to_string(totalItems_)},
                               {"#icon#", totalItems_ != 0 ? LoadNoIcon() : LoadOkIcon()}});
  const std::string itemTemplate = LoadPluginText("itemdetails.html");
  std::string itemRows;
  for (const RecycledItem& item : recycledItems_) {
    std::string row = itemTemplate;
    // The name is the machine's text: last, so it is never read as a placeholder.
    TemplateStore::Fill(row,
                        {{"#size#", FormatSize(item.size)}, {"#name#", HtmlEscape(item.name)}});
    itemRows += row;
  }
  std::string page = LoadPluginText("details.html");
  TemplateStore::Fill(page,
                      {{"#total#", totals}, {"#volumes#", volumeRows}, {"#items#", itemRows}});
  element.SetInnerHtml(page);
  return 0;
}

int RecycleBinPlugin::ShowReport(dom::Element element) {
  if (GetScanState() != ScanState::Erased) return 1;
  const std::string volumeTemplate = LoadPluginText("volumereport.html");
  const std::string nothing = LoadSharedPluginText(LanguageFolder(), kNothingToErase);
  std::string volumeRows;
  for (const auto& [root, volume] : volumes_) {
    if (volume.status == VolumeStatus::Found) continue;
    std::string row = volumeTemplate;
    // An emptied bin that held nothing is not marked as erased.
    const bool held = volume.items != 0 || volume.size != 0;
    const std::string& result = volume.status != VolumeStatus::Erased ? ResErrorHtml()
                                : held                                ? ResErasedHtml()
                                                                      : nothing;
    TemplateStore::Fill(row, {{"#result#", result},
                              {"#size#", FormatSize(volume.size)},
                              {"#numel#", std::to_string(volume.items)},
                              {"#name#", HtmlEscape(root)}});
    volumeRows += row;
  }
  std::string totals = LoadPluginText("totalreport.html");
  TemplateStore::Fill(
      totals, {{"#size#", FormatSize(totalBytes_)}, {"#numel#", std::to_string(totalItems_)}});
  std::string page = LoadPluginText("report.html");
  TemplateStore::Fill(page, {{"#total#", totals}, {"#volumes#", volumeRows}});
  element.SetInnerHtml(page);
  return 0;
}

}  // namespace corvane
