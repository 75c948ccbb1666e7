#include "engine/file_set.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_set>

#include "engine/erase_fault.h"
#include "engine/erase_target.h"
#include "platform/file_find.h"
#include "platform/file_mask.h"
#include "platform/file_services.h"
#include "platform/machine.h"

namespace corvane {

namespace {

bool FitsMaxPath(std::string_view folder, std::string_view name) {
  // Bytes never undercount UTF-16 units, so most paths need no decoding.
  if (folder.size() + 1 + name.size() <= kMaxPath) return true;
  return PathLength(JoinPath(folder, name)) <= kMaxPath;
}

// A folder being walked: its path as the caller spells it, and the host path the file calls use,
// resolved once for the folder and extended by the names read from the disk below it.
struct WalkFolder {
  std::string path;
  std::string host;
  // False when the host path has a backslash in a name and would read differently when handed
  // on: then every call resolves `path` itself.
  bool resolved = true;

  [[nodiscard]] std::string HostChild(std::string_view name) const {
    if (!resolved) return JoinPath(path, name);
    std::string child = host;
    if (child.empty() || child.back() != '/') child += '/';
    child += name;
    return child;
  }
  [[nodiscard]] WalkFolder Child(std::string_view name) const {
    return {JoinPath(path, name), HostChild(name), resolved};
  }
};

// The folder to walk, or none when it is not a folder (a link is not one).
std::optional<WalkFolder> OpenWalkFolder(std::string_view path) {
  if (path.empty() || PathLength(path) > kMaxPath) return std::nullopt;
  const std::optional<std::filesystem::path> host = HostPath(path);
  if (!host) return std::nullopt;
  WalkFolder folder{std::string(path), host->string()};
  if (folder.host.find('\\') != std::string::npos) {
    folder.host = folder.path;
    folder.resolved = false;
  }
  if (!IsDirectory(folder.host)) return std::nullopt;
  return folder;
}

struct Entry {
  std::string name;
  DWORD attributes = 0;
  std::uint64_t size = 0;

  [[nodiscard]] bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// Every entry of the folder in the platform's order, without "." and ".." and without the names
// a Windows path cannot reach. False when the folder could not be read.
bool ReadFolder(const WalkFolder& folder, std::vector<Entry>& entries) {
  FindData data;
  FindHandlePtr search = FindFirstFileW(folder.HostChild("*"), &data);
  if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (data.name == "." || data.name == "..") continue;
    if (data.name.find('\\') != std::string::npos || !FitsMaxPath(folder.path, data.name)) continue;
    entries.push_back({std::move(data.name), data.attributes, data.size});
  } while (FindNextFileW(*search, &data));
  return GetLastError() == ERROR_NO_MORE_FILES;
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
  std::string path;
  std::string host;
  DWORD attributes = 0;
  std::uint64_t size = 0;
};

void AddSetFiles(const WalkFolder& folder, const std::vector<Entry>& entries,
                 const SetFilter& filter, std::vector<ListedFile>& files) {
  filter.ForEachFile(entries, true, [&](const Entry& entry) {
    files.push_back({JoinPath(folder.path, entry.name), folder.HostChild(entry.name),
                     entry.attributes, entry.size});
  });
}

bool EraseListedFiles(const std::vector<ListedFile>& files, Overwrite overwrite,
                      WipePattern pattern, const CancelCheck& cancel, DeletionTally* tally) {
  return EraseInBatches(
      files.size(),
      [&](std::size_t i) {
        const ListedFile& file = files[i];
        return EraseTargetFile({file.path, file.host, file.attributes, file.size}, overwrite,
                               pattern, cancel);
      },
      [&](std::size_t i) { return std::string_view(files[i].path); }, cancel, tally);
}

bool CollectTree(const WalkFolder& folder, const SetFilter& filter, std::uint32_t& items,
                 std::uint64_t& bytes, const CancelCheck& cancel) {
  std::vector<Entry> entries;
  bool complete = ReadFolder(folder, entries);
  filter.ForEachFile(entries, false, [&](const Entry& entry) {
    ++items;
    bytes += entry.size;
  });
  if (Cancelled(cancel)) return complete;
  for (const Entry& entry : entries) {
    if (!entry.IsFolder() || entry.name.front() == '.') continue;
    if (!CollectTree(folder.Child(entry.name), filter, items, bytes, cancel)) complete = false;
    // Asked after every folder, so a cancelled scan of a wide tree ends at once.
    if (Cancelled(cancel)) return false;
  }
  return complete;
}

bool EraseTree(const WalkFolder& folder, const SetFilter& filter, Overwrite overwrite,
               WipePattern pattern, const CancelCheck& cancel, DeletionTally* tally) {
  std::vector<Entry> entries;
  bool complete = ReadFolder(folder, entries);
  std::vector<ListedFile> files;
  AddSetFiles(folder, entries, filter, files);
  if (Cancelled(cancel)) return false;
  if (!EraseListedFiles(files, overwrite, pattern, cancel, tally)) {
    if (Cancelled(cancel)) return false;
    complete = false;
  }
  for (const Entry& entry : entries) {
    if (!entry.IsFolder() || entry.name.front() == '.') continue;
    const WalkFolder child = folder.Child(entry.name);
    if (!EraseTree(child, filter, overwrite, pattern, cancel, tally)) {
      complete = false;  // it keeps a file, so it stays
      if (Cancelled(cancel)) return false;
      continue;
    }
    if (InjectedEraseFault(EraseStep::RemoveFolder, child.host) == ERROR_SUCCESS &&
        RemoveDirectoryW(child.host) && tally != nullptr) {
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
                    std::string_view masks, std::uint32_t& items, std::uint64_t& bytes) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  for (std::string_view path : SplitFileList(folders)) {
    const std::optional<WalkFolder> folder = OpenWalkFolder(path);
    if (!folder) continue;
    std::vector<Entry> entries;
    if (!ReadFolder(*folder, entries)) complete = false;
    filter.ForEachFile(entries, false, [&](const Entry& entry) {
      ++items;
      bytes += entry.size;
    });
  }
  return complete;
}

bool CollectFileSetTree(std::string_view folders, const std::vector<std::string>& exclusions,
                        std::string_view masks, std::uint32_t& items, std::uint64_t& bytes,
                        const CancelCheck& cancel) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  for (std::string_view path : SplitFileList(folders)) {
    const std::optional<WalkFolder> folder = OpenWalkFolder(path);
    if (!folder) continue;
    if (!CollectTree(*folder, filter, items, bytes, cancel)) complete = false;
    if (Cancelled(cancel)) return false;
  }
  return complete;
}

bool EraseFileSet(std::string_view folders, const std::vector<std::string>& exclusions,
                  std::string_view masks, Overwrite overwrite, WipePattern pattern,
                  const CancelCheck& cancel, DeletionTally* tally) {
  const SetFilter filter(SplitFileList(masks), exclusions);
  bool complete = true;
  std::vector<ListedFile> files;
  for (std::string_view path : SplitFileList(folders)) {
    const std::optional<WalkFolder> folder = OpenWalkFolder(path);
    if (!folder) continue;
    std::vector<Entry> entries;
    if (!ReadFolder(*folder, entries)) complete = false;
    AddSetFiles(*folder, entries, filter, files);
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
    const std::optional<WalkFolder> folder = OpenWalkFolder(path);
    if (!folder) continue;
    if (!EraseTree(*folder, filter, overwrite, pattern, cancel, tally)) {
      complete = false;
      if (Cancelled(cancel)) return false;
    }
  }
  return complete;
}

}  // namespace corvane
