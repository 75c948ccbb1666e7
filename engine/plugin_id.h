#pragma once
// The name of one plug-in. It names the plug-in's registry values and sub-keys, its template
// folder and the "pluginid" attribute of its page elements, so it is always compared exactly
// (letter case matters).

#include <cstdint>
#include <string>

namespace corvane {

using PluginId = std::string;

// Where a plug-in stands in the scan and erase cycle; a new scan always starts from NotScanned.
enum class ScanState : std::uint32_t { NotScanned = 0, Scanned = 1, Erased = 2 };

// What ScanTracks and EraseTracks answer; the number travels as the completion message's lParam.
enum class PluginResult : std::int32_t { Finished = 0, Failed = 1, Cancelled = 3 };

}  // namespace corvane
