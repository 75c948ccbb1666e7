#pragma once
// Folder listings as Windows' FindFirstFileW / FindNextFileW / FindClose give them. A pattern is a
// folder and a wildcard mask in its last component ("C:\users\ann\*.dat"); the folder is any
// path (OpenPathEntry: no link on the way below a drive root) and the mask follows FileMask. "."
// and ".." are listed first, as Windows lists them, in every folder but a drive root and only
// when the mask matches them; walks skip them by name. A symbolic link is listed as a reparse
// point, never as a directory.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/last_error.h"

namespace corvane {

struct FindData {
  std::string name;                 // as the folder spells it
  DWORD attributes = 0;             // FILE_ATTRIBUTE_* (platform/file_status.h)
  std::uint64_t size = 0;           // bytes; 0 for folders and links
  std::uint64_t lastWriteTime = 0;  // FILETIME: 100 ns since 1601 (UTC)
};

class FindHandle;
struct FindHandleCloser {
  void operator()(FindHandle* handle) const;
};
// An open search; closing it (FindClose or going out of scope) releases the folder.
using FindHandlePtr = std::unique_ptr<FindHandle, FindHandleCloser>;

// Starts a search and fills *data with the first match. Null with ERROR_FILE_NOT_FOUND when
// nothing matches, ERROR_PATH_NOT_FOUND when the folder does not exist, ERROR_FILENAME_EXCED_RANGE
// for a machine path over kMaxPath.
[[nodiscard]] FindHandlePtr FindFirstFileW(std::string_view pattern, FindData* data);
// The next match; false with ERROR_NO_MORE_FILES at the end.
[[nodiscard]] bool FindNextFileW(FindHandle& handle, FindData* data);
// Ends a search.
void FindClose(FindHandlePtr handle);

}  // namespace corvane
