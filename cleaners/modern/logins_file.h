#pragma once
// A browser's small JSON store of saved logins ("logins.json"), read whole and replaced whole.
// The file is reached through its folder's handle (no link on the way, a regular file with no
// other hard link for a change). A replacement is written beside it, synced, and renamed over it
// with the old file's mode and owner, so the browser finds either the old file or the new one,
// never half of either.

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "cleaners/modern/sqlite_store.h"
#include "platform/folder_handle.h"

namespace corvane {

class LoginsFile {
 public:
  // Reads the file (at most kMaxLoginsJson bytes). Missing, Refused (a link, no regular file,
  // other hard links when it is to change), Failed (unreadable or too large), or Ok.
  [[nodiscard]] SqliteStatus Read(std::string_view path, SqliteAccess access);

  [[nodiscard]] const std::string& Text() const { return text_; }

  // Puts `text` in the place of the file read. InUse when the file was changed or replaced since
  // it was read (the browser wrote it meanwhile): nothing is changed then.
  [[nodiscard]] SqliteStatus Replace(std::string_view text);

 private:
  FolderHandle folder_;
  std::string name_;
  struct stat seen_ {};
  std::string text_;
};

}  // namespace corvane
