#pragma once
// Internet Explorer's traces on the demo machine: a filled cache, cookie and history container
// (written by our own container writer, as Wine's WinInet lays them out) and typed addresses.

#include <string>

namespace corvane {

// Plants them in the current machine's profile (its shell folders must be set). False when a
// container or a cached file could not be written.
[[nodiscard]] bool PlantInternetExplorerTraces(const std::string& user);

}  // namespace corvane
