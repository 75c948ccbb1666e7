#include "engine/file_set.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "engine/erase_fault.h"
#include "engine/erase_target.h"
#include "platform/file_mask.h"
#include "platform/file_problems.h"
#include "platform/folder_handle.h"
#include "platform/machine.h"

namespace corvane {

namespace {

bool FitsMaxPath(std::string_view folder, std::string_view name) {
  // Bytes never undercount UTF-16 units, so most paths need no decoding.
  if (folder.size() + 1 + name.size() <= kMaxPath) return true;
  return PathLength(JoinPath(folder, name)) <= kMaxPath;
}

// A folder being walked: its path as the caller spells it, and the folder itself, held open. Every
// call below it goes through the handle by name, so the walk stays in the folders it opened
// whatever is renamed or swapped for a link meanwhile.
struct WalkFolder {
  std::string path;
  FolderHandle handle;
};

bool IsMissingFolder(DWORD error) {
  return error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_DIRECTORY;
}

void ReportUnreadFolder(std::string_view path) {
  ReportFileProblem("ReadFolder: the folder could not be read (error " +
                    std::to_string(GetLastError()) + "): " + std::string(path));
}

// The folder to walk. None when it is missing or not a folder (a link is not one), and then
// `complete` stays; any other failure to open it makes `complete` false and is reported.
std::optional<WalkFolder> OpenWalkFolder(std::string_view path, bool* complete = nullptr) {
  if (path.empty() || PathLength(path) > kMaxPath) return std::nullopt;
  FolderHandle handle = OpenFolderPath(path);
  if (!handle) {
    if (complete != nullptr && !IsMissingFolder(GetLastError())) {
      ReportUnreadFolder(path);
      *complete = false;
    }
    return std::nullopt;
  }
  return WalkFolder{std::string(path), std::move(handle)};
}

// A subfolder the listing saw; none when it has gone or became something else meanwhile.
std::optional<WalkFolder> OpenChild(const WalkFolder& folder, std::string_view name,
                                    bool* complete) {
  FolderHandle handle = folder.handle.OpenFolder(name);
  const std::string path = JoinPath(folder.path, name);
  if (!handle) {
    if (!IsMissingFolder(GetLastError())) {
      ReportUnreadFolder(path);
      *complete = false;
    }
    return std::nullopt;
  }
  return WalkFolder{path, std::move(handle)};
}

struct Entry {
  std::string name;
  struct stat status;

  [[nodiscard]] bool IsFolder() const { return S_ISDIR(status.st_mode); }
  // A link's size is its own (none), not its target's.
  [[nodiscard]] std::uint64_t Size() const {
    return S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
  }
};

// Every entry of the folder in the platform's order, without the names a Windows path cannot
// reach. False, reported, when the folder could not be read whole.
bool ReadFolder(const WalkFolder& folder, std::vector<Entry>& entries) {
  std::vector<FolderEntry> listed;
  if (InjectedEraseFault(EraseStep::ListFolder, folder.path) != ERROR_SUCCESS ||
      !folder.handle.List(listed)) {
    ReportUnreadFolder(folder.path);
    return false;
  }
  entries.reserve(listed.size());
  for (FolderEntry& entry : listed) {
    if (entry.name.find('\\') != std::string::npos || !FitsMaxPath(folder.path, entry.name))
      continue;
    entries.push_back({std::move(entry.name), entry.status});
  }
  return true;
}

// The masks and exclusions of a set, ready to test names against. Names read from a folder never
// hold a separator, so a mask naming another folder matches nothing.
class SetFilter {
 public:
  SetFilter(const std::vector<std::string_view>& masks, const std::vector<std::string>& exclusions)
      : masks_(masks.begin(), masks.end()), exclusions_(exclusions) {}

  // Calls `use` for each file of the entries that a mask matches, mask by mask in the masks'
  // order, leaving out the excluded names. With `once`, a name that two masks match is used once.
  template <typename Use>
  void ForEachFile(const std::vector<Entry>& entries, bool once, Use&& use) const {
    std::unordered_set<std::string_view> used;
    const bool trackUsed = once && masks_.size() > 1;
    for (const FileMask& mask : masks_) {
      for (const Entry& entry : entries) {
        if (entry.IsFolder() || !(mask.MatchesEverything() || mask.Matches(entry.name))) continue;
        if (IsExcluded(entry.name)) continue;
        if (trackUsed && !used.insert(entry.name).second) continue;
        use(entry);
      }
    }
  }

 private:
  // folder + "\" + exclusion names the same file as folder + "\" + name exactly when the two
  // names are equal.
  [[nodiscard]] bool IsExcluded(std::string_view name) const {
    return std::find(exclusions_.begin(), exclusions_.end(), name) != exclusions_.end();
  }

  std::vector<FileMask> masks_;
  const std::vector<std::string>& exclusions_;
};

bool Cancelled(const CancelCheck& cancel) {
  return cancel && cancel();
}

// A file of the set to erase, as the folder's listing saw it.
struct ListedFile {
  const WalkFolder* folder;
  std::string path;
  const Entry* entry;
};

void AddSetFiles(const WalkFolder& folder, const std::vector<Entry>& entries,
                 const SetFilter& filter, std::vector<ListedFile>& files) {
  filter.ForEachFile(entries, true, [&](const Entry& entry) {
    files.push_back({&folder, JoinPath(folder.path, entry.name), &entry});
  });
}

bool EraseListedFiles(const std::vector<ListedFile>& files, Overwrite overwrite,
                      WipePattern pattern, const CancelCheck& cancel, DeletionTally* tally) {
  return EraseInBatches(
      files.size(),
      [&](std::size_t i) {
        const ListedFile& file = files[i];
        return EraseTargetFile(
            {file.path, file.folder->handle, file.entry->name, file.entry->status}, overwrite,
            pattern, cancel);
      },
      [&](std::size_t i) { return std::string_view(files[i].path); }, cancel, tally);
}

// One listed file for a details page.
void AddFound(FoundItems* found, const WalkFolder& folder, const Entry& entry) {
  if (found == nullptr) return;
  found->Add({JoinPath(folder.path, entry.name), entry.Size(),
              static_cast<std::int64_t>(entry.status.st_mtim.tv_sec)});
}

bool CollectTree(const WalkFolder& folder, const SetFilter& filter, std::uint32_t& items,
                 std::uint64_t& bytes, const CancelCheck& cancel, FoundItems* found) {
  std::vector<Entry> entries;
  bool complete = ReadFolder(folder, entries);
  filter.ForEachFile(entries, false, [&](const Entry& entry) {
    ++items;
    bytes += entry.Size();
    AddFound(found, folder, entry);
  });
  if (Cancelled(cancel)) return complete;
  for (const Entry& entry : entries) {
    if (!entry.IsFolder() || entry.name.front() == '.') continue;
    const std::optional<WalkFolder> child = OpenChild(folder, entry.name, &complete);
    if (child && !CollectTree(*child, filter, items, bytes, cancel, found)) complete = false;
    // Asked after every folder, so a cancelled scan of a wide tree ends at once.
    if (Cancelled(cancel)) return false;
  }
  return complete;
}

// A folder that could not be read is one item the erase could not handle.
void AddUnreadFolder(DeletionTally* tally) {
  if (tally != nullptr) tally->AddFailed({1, 0});
}

bool EraseTree(const WalkFolder& folder, const SetFilter& filter, Overwrite overwrite,
               WipePattern pattern, const CancelCheck& cancel, DeletionTally* tally) {
  std::vector<Entry> entries;
  bool complete = ReadFolder(folder, entries);
  if (!complete) AddUnreadFolder(tally);
  std::vector<ListedFile> files;
  AddSetFiles(folder, entries, filter, files);
  if (Cancelled(cancel)) return false;
  if (!EraseListedFiles(files, overwrite, pattern, cancel, tally)) {
    if (Cancelled(cancel)) return false;
    complete = false;
  }
  for (const Entry& entry : entries) {
    if (!entry.IsFolder() || entry.name.front() == '.') continue;
    bool opened = true;
    const std::optional<WalkFolder> child = OpenChild(folder, entry.name, &opened);
    if (!opened) {
      AddUnreadFolder(tally);
      complete = false;
    }
    if (!child) continue;
    if (!EraseTree(*child, filter, overwrite, pattern, cancel, tally)) {
      complete = false;  // it keeps a file, so it stays
      if (Cancelled(cancel)) return false;
      continue;
    }
    // Removed by name in the folder the walk holds: an empty folder only, never a link's target.
    if (InjectedEraseFault(EraseStep::RemoveFolder, child->path) == ERROR_SUCCESS &&
        folder.handle.Remove(entry.name, true) && tally != nullptr) {
      tally->AddDone({1, 0});
    }
  }
  return complete;
}

}  // namespace

std::vector<std::string_view> SplitFileList(std::string_view list) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t bar = list.find('|', start);
    pieces.push_back(list.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) return pieces;
    start = bar + 1;
  }
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  path += name;
  return path;
}

bool ListFiles(std::string_view folder, std::string_view mask, std::vector<std::string>& list,
               ListedNames names) {
  const std::optional<WalkFolder> walk = OpenWalkFolder(folder);
  if (!walk) return false;
  std::vector<Entry> entries;
  (void)ReadFolder(*walk, entries);
  const std::vector<std::string> noExclusions;
  const SetFilter filter({mask}, noExclusions);
  filter.ForEachFile(entries, false, [&](const Entry& entry) {
    list.push_back(names == ListedNames::FullPaths ? JoinPath(folder, entry.name) : entry.name);
  });
  return true;
}

bool ListSubfolders(std::string_view folder, std::string_view mask,
                    std::vector<std::string>& list) {
  const std::optional<WalkFolder> walk = OpenWalkFolder(folder);
  if (!walk) return false;
  std::vector<Entry> entries;
  (void)ReadFolder(*walk, entries);
  const FileMask fileMask(mask);
  for (const Entry& entry : entries) {
    if (entry.IsFolder() && entry.name.front() != '.' && fileMask.Matches(entry.name))
      list.push_back(JoinPath(folder, entry.name));
  }
  return true;
}

void DropByFileName(std::vector<std::string>& paths, const std::vector<std::string>& names) {
  std::erase_if(paths, [&](const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    const std::string_view last = separator == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(separator + 1);
    return std::find(names.begin(), names.end(), last) != names.end();
  });
}

bool CollectFileSet(std::string_view folders, const std::vector<std::string>& exclusions,
                    std::string_view masks, std::uint32_t& items, std::uint64_t& bytes,
                    FoundItems* found) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  for (std::string_view path : SplitFileList(folders)) {
    const std::optional<WalkFolder> folder = OpenWalkFolder(path, &complete);
    if (!folder) continue;
    std::vector<Entry> entries;
    if (!ReadFolder(*folder, entries)) complete = false;
    filter.ForEachFile(entries, false, [&](const Entry& entry) {
      ++items;
      bytes += entry.Size();
      AddFound(found, *folder, entry);
    });
  }
  return complete;
}

bool CollectFileSetTree(std::string_view folders, const std::vector<std::string>& exclusions,
                        std::string_view masks, std::uint32_t& items, std::uint64_t& bytes,
                        const CancelCheck& cancel, FoundItems* found) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  for (std::string_view path : SplitFileList(folders)) {
    const std::optional<WalkFolder> folder = OpenWalkFolder(path, &complete);
    if (!folder) continue;
    if (!CollectTree(*folder, filter, items, bytes, cancel, found)) complete = false;
    if (Cancelled(cancel)) return false;
  }
  return complete;
}

bool EraseFileSet(std::string_view folders, const std::vector<std::string>& exclusions,
                  std::string_view masks, Overwrite overwrite, WipePattern pattern,
                  const CancelCheck& cancel, DeletionTally* tally) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  // Kept in place while the files listed in them are erased: the list points into them.
  const std::vector<std::string_view> paths = SplitFileList(folders);
  std::vector<std::optional<WalkFolder>> walked(paths.size());
  std::vector<std::vector<Entry>> entries(paths.size());
  std::vector<ListedFile> files;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    bool opened = true;
    walked[i] = OpenWalkFolder(paths[i], &opened);
    bool read = opened && (!walked[i] || ReadFolder(*walked[i], entries[i]));
    if (!read) {
      AddUnreadFolder(tally);
      complete = false;
    }
    if (walked[i]) AddSetFiles(*walked[i], entries[i], filter, files);
  }
  if (Cancelled(cancel)) return false;
  return EraseListedFiles(files, overwrite, pattern, cancel, tally) && complete;
}

bool EraseFileSetTree(std::string_view folders, const std::vector<std::string>& exclusions,
                      std::string_view masks, Overwrite overwrite, WipePattern pattern,
                      const CancelCheck& cancel, DeletionTally* tally) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  for (std::string_view path : SplitFileList(folders)) {
    bool opened = true;
    const std::optional<WalkFolder> folder = OpenWalkFolder(path, &opened);
    if (!opened) {
      AddUnreadFolder(tally);
      complete = false;
    }
    if (!folder) continue;
    if (!EraseTree(*folder, filter, overwrite, pattern, cancel, tally)) {
      complete = false;
      if (Cancelled(cancel)) return false;
    }
  }
  return complete;
}

}  // namespace corvane
