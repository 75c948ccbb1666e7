#pragma once
// Where system-wide named objects (locks, sockets) live: one file per Windows object name in a
// folder only this user can reach, so every process of the user that asks for the same name finds
// the same file.

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Makes sure `path` is a private folder: creates it with mode 0700 when it is missing, otherwise
// accepts it only when it is a real directory (not a symbolic link) owned by this user and closed
// to everyone else. nullopt (last error set) when it cannot be made safe.
[[nodiscard]] std::optional<std::string> PrivateFolder(const std::string& path);

// The folder for named objects: $XDG_RUNTIME_DIR when it names a directory, else the private
// folder /tmp/corvane-<uid>. nullopt (last error set) when neither can be used.
[[nodiscard]] std::optional<std::string> NamedObjectFolder();

// A readable file name for a Windows object name plus a suffix ("Global\Foo", ".lock" →
// "Global%5CFoo.lock"). Characters that cannot stand in a file name ("/", "\", "%", control
// characters) are written as %XX, so different names never share a file. nullopt (last error
// set) for an empty name or one too long for a file name.
[[nodiscard]] std::optional<std::string> NamedObjectFileName(std::string_view name,
                                                             std::string_view suffix);

}  // namespace corvane
