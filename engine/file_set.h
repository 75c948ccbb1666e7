#pragma once
// The files a cleaner names as a set: folders, wildcard masks and exclusions. The routines list,
// count and erase the set's files in the folders themselves or through their whole trees.
//
// Walks stay inside the folders they are given: a symbolic link is never a folder to them (so
// Wine's links from the profile to the Linux home are never entered) but a file, erased as a
// link. They hold each folder open and list, open and delete through it, so a folder swapped for
// a link meanwhile cannot redirect them; a folder named with a link on its way is not there. A
// folder that exists but cannot be read makes the routine answer false (and, erasing, counts as
// one item not erased); the trace log names it. Names that begin with a dot are not folders to
// walk. Paths longer than 260 characters, and names that no Windows path can spell (a backslash
// in them), are skipped.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/deletion_tally.h"
#include "engine/erase_file.h"
#include "engine/found_items.h"
#include "engine/waip_file.h"

namespace corvane {

// A scan or erase target. `folders` and `masks` are lists separated by "|"; an empty piece is
// kept (an empty folder is no folder, an empty mask matches nothing). Masks have Windows' meaning
// ("*", "?", "*.*" for every name) and match case-insensitively. An exclusion is a name relative
// to each folder: the file whose path is exactly folder + "\" + exclusion (compared
// case-sensitively) is left out.
struct FileSet {
  std::string folders;
  std::string masks;
  std::vector<std::string> exclusions;
};

// The pieces of a "|" list of folders or masks, empty ones included.
[[nodiscard]] std::vector<std::string_view> SplitFileList(std::string_view list);

// folder + "\" + name; no backslash is added when the folder already ends in "\" or "/".
[[nodiscard]] std::string JoinPath(std::string_view folder, std::string_view name);

enum class ListedNames { FullPaths, NamesOnly };

// Appends the files (anything but folders) of the folder that match the mask, as full paths or as
// names. False, appending nothing, when the folder is not a folder.
[[nodiscard]] bool ListFiles(std::string_view folder, std::string_view mask,
                             std::vector<std::string>& list, ListedNames names);
// Appends the full paths of the folder's subfolders that match the mask, leaving out every name
// that begins with a dot. False, appending nothing, when the folder is not a folder.
[[nodiscard]] bool ListSubfolders(std::string_view folder, std::string_view mask,
                                  std::vector<std::string>& list);
// Removes each path whose last component (after the last "\" or "/") equals one of the names
// exactly.
void DropByFileName(std::vector<std::string>& paths, const std::vector<std::string>& names);

// Counts the set's files in the folders themselves: one item and its size (as the listing read
// it; a link's own, none) per listed file, a file matched by two masks once per mask. Adds to the
// caller's counters, and each file to `found` when given; false when a folder of the set could
// not be read.
[[nodiscard]] bool CollectFileSet(std::string_view folders,
                                  const std::vector<std::string>& exclusions,
                                  std::string_view masks, std::uint32_t& items,
                                  std::uint64_t& bytes, FoundItems* found = nullptr);
// As CollectFileSet through each folder's whole tree, the exclusions applying in every folder.
// Stops early, answering false, once `cancel` says so.
[[nodiscard]] bool CollectFileSetTree(std::string_view folders,
                                      const std::vector<std::string>& exclusions,
                                      std::string_view masks, std::uint32_t& items,
                                      std::uint64_t& bytes, const CancelCheck& cancel,
                                      FoundItems* found = nullptr);

// Erases the set's files in the folders themselves, as EraseFileList (a file that two masks match
// is erased once). False when some file was not deleted, or when the run was cancelled (then,
// if it was cancelled before the first file, nothing is deleted).
[[nodiscard]] bool EraseFileSet(std::string_view folders,
                                const std::vector<std::string>& exclusions, std::string_view masks,
                                Overwrite overwrite, WipePattern pattern, const CancelCheck& cancel,
                                DeletionTally* tally);
// As EraseFileSet through each folder's whole tree. A subfolder whose tree was erased completely
// is removed when it is empty and counted as one item (no bytes); one that kept a file is kept,
// and so are its parents. The folders named in the set are never removed.
[[nodiscard]] bool EraseFileSetTree(std::string_view folders,
                                    const std::vector<std::string>& exclusions,
                                    std::string_view masks, Overwrite overwrite,
                                    WipePattern pattern, const CancelCheck& cancel,
                                    DeletionTally* tally);

// The same routines for a FileSet.
[[nodiscard]] inline bool CollectFileSet(const FileSet& set, std::uint32_t& items,
                                         std::uint64_t& bytes) {
  return CollectFileSet(set.folders, set.exclusions, set.masks, items, bytes);
}
[[nodiscard]] inline bool CollectFileSetTree(const FileSet& set, std::uint32_t& items,
                                             std::uint64_t& bytes, const CancelCheck& cancel) {
  return CollectFileSetTree(set.folders, set.exclusions, set.masks, items, bytes, cancel);
}
[[nodiscard]] inline bool EraseFileSet(const FileSet& set, Overwrite overwrite, WipePattern pattern,
                                       const CancelCheck& cancel, DeletionTally* tally) {
  return EraseFileSet(set.folders, set.exclusions, set.masks, overwrite, pattern, cancel, tally);
}
[[nodiscard]] inline bool EraseFileSetTree(const FileSet& set, Overwrite overwrite,
                                           WipePattern pattern, const CancelCheck& cancel,
                                           DeletionTally* tally) {
  return EraseFileSetTree(set.folders, set.exclusions, set.masks, overwrite, pattern, cancel,
                          tally);
}

}  // namespace corvane
