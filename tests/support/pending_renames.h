#pragma once
// What the current registry holds for deletion at the next start: the data of
// "PendingFileRenameOperations" as UTF-8 with its NULs kept, so tests compare it with "..."s
// literals byte for byte.

#include <optional>
#include <string>

namespace corvane::test {

// None when the value is missing; *type (when given) receives its type.
[[nodiscard]] std::optional<std::string> PendingFileRenames(unsigned* type = nullptr);

}  // namespace corvane::test
