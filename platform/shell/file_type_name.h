#pragma once
// The type name the shell shows for a file ("Text Document", "XLS File"): from the machine's
// classes (HKEY_CLASSES_ROOT: the extension's class, then that class's name), else the extension
// in capitals followed by " File"; "File folder" for a folder.

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

enum class FileTypeCheck {
  // The file must exist (a path of the machine, or a host path); a missing one has no type.
  MustExist,
  // Only the name counts, as for a file that may be gone.
  NameOnly,
};

[[nodiscard]] std::optional<std::string> GetFileTypeName(std::string_view path,
                                                         FileTypeCheck check);

}  // namespace corvane
