#pragma once
// The freedesktop Trash, where Wine's shell puts what a Windows program deletes to the Recycle
// Bin: "files/<name>" (a file or a whole folder) beside "info/<name>.trashinfo", which says where
// it came from. The Trash is the user's own, outside the prefix and shared with every Linux
// program, so it is only ever read and changed through handles on its two folders, nothing in it
// is followed as a link, and an item is removed as exactly its entry and its info file.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// "Path=" of an info file: percent-decoded, absolute, valid UTF-8; none for anything else.
[[nodiscard]] std::optional<std::string> ParseTrashInfo(std::string_view text);

struct TrashItem {
  std::string name;  // the entry's name in files/ (its info file is name + ".trashinfo")
  std::string originalPath;
  enum class Kind { File, Folder, Link, Missing } kind = Kind::Missing;
  // Every byte of the item: a file's size, a folder's files together (links count nothing).
  std::uint64_t size = 0;
  dev_t device = 0;  // of the entry as listed, so a swapped one is never removed
  ino_t inode = 0;
};

enum class TrashOverwrite : bool { Off = false, On = true };

class Trash {
 public:
  // $XDG_DATA_HOME/Trash, else ~/.local/share/Trash; none when neither is known.
  [[nodiscard]] static std::optional<std::filesystem::path> HomeTrashFolder();

  // Opens the Trash's two folders; an unusable Trash (missing, a link, no folders) lists nothing.
  explicit Trash(const std::filesystem::path& folder);
  ~Trash();
  Trash(const Trash&) = delete;
  Trash& operator=(const Trash&) = delete;

  [[nodiscard]] bool IsOpen() const { return files_ >= 0 && info_ >= 0; }
  // Every item whose info file names an absolute path; `stop` (may be empty) ends the listing
  // early.
  [[nodiscard]] std::vector<TrashItem> List(const std::function<bool()>& stop = {}) const;
  // Removes the item's entry (a folder with everything in it, a link as a link; files overwritten
  // first when asked and they have no other hard link) and then its info file. False when
  // anything of it stays, or the entry is no longer the one listed.
  [[nodiscard]] bool Remove(const TrashItem& item, TrashOverwrite overwrite) const;

 private:
  int trash_ = -1;
  int files_ = -1;
  int info_ = -1;
};

}  // namespace corvane
