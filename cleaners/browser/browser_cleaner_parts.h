#pragma once
// What the four browser cleaners share besides the Plugin base: the progress reporter of a run,
// the rows their pages show, and the few words of the pages that are not templates.

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/browser_scan_result.h"
#include "engine/plugin.h"
#include "engine/progress_reporter.h"

namespace corvane {

// Progress from the back-ends comes per batch of entries; more than a few reports a second
// would only fill the window's queue.
inline constexpr std::chrono::milliseconds kBrowserProgressThrottle{100};

// The reporter of one scan ("Scaning.html") or erase ("Clearing.html") of the plug-in.
[[nodiscard]] ProgressReporter MakeBrowserReporter(const PluginOwner& owner, const Plugin& plugin,
                                                   std::string_view page, const Event* cancel);

// "Yes" or "No", as the pages show list states.
[[nodiscard]] std::string YesNo(bool yes);

// How many domains of the result have not been erased.
[[nodiscard]] std::uint64_t RemainingDomains(const BrowserScanResult& result);

}  // namespace corvane
