#pragma once
// The demo machine's traces for the built-in cleaners of recent documents, instant messaging,
// the recycle bin and the games, and the demo's own Trash (kDemoTrashFolder below the machine's
// folder): scripts/run --demo points XDG_DATA_HOME at its parent, so the demo never sees the
// user's own Trash. The Trash holds items deleted from the demo's drive C and items from outside
// the machine, which no cleaner may touch.

#include <filesystem>

#include "platform/machine.h"

namespace corvane {

// Below the demo machine's folder: the XDG data folder whose "Trash" the demo uses.
inline constexpr char kDemoDataFolder[] = "xdg-data";

// Plants the traces on the current machine (and registry) `machine`, built in `folder`. False
// when a file or value could not be written.
[[nodiscard]] bool PlantCleanerTraces(const Machine& machine, const std::filesystem::path& folder);

}  // namespace corvane
