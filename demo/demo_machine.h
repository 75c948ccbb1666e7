#pragma once
// A demo machine: a Wine-layout prefix built from scratch in a folder of the user's choosing, so
// the program can be tried (and shown) without touching a real prefix. It has what wineboot makes
// and what the cleaners look at — hives with the shell folders and environment, dosdevices, a
// user profile — and traces for every cleaner to find. The program's own settings are left
// empty, as on a machine where it was just installed.
//
// Unlike a real prefix it has no drive Z: and its profile folders are plain folders, not links
// into the Linux home: nothing a cleaner does on the demo can reach the user's own files.

#include <filesystem>
#include <string>

namespace corvane {

// The file that marks a folder as a demo machine, so that building one again may replace it.
inline constexpr char kDemoMachineMarker[] = "corvane-demo-machine";

// Builds the demo machine in `folder`: a folder that does not exist, is empty, or holds an
// earlier demo machine (which is replaced). Any other folder is refused, and so is one that is a
// symbolic link. The traces of custom plug-ins follow the definitions in `programFolder`'s
// "CustomPlugins". False with the reason in `error` when it could not be built.
[[nodiscard]] bool BuildDemoMachine(const std::filesystem::path& folder,
                                    const std::filesystem::path& programFolder, std::string& error);

}  // namespace corvane
