#pragma once
// What the main window shows: one layout per state, and the state machine of the cleaning wizard
// (start page, scan, results, erase settings, erase, report).

#include <cstdint>

namespace corvane {

enum class PageState : std::uint32_t {
  Welcome,       // start page; the first state once the page has loaded
  Normal,        // plug-in list shown for choosing
  Scan,          // a scan run is going on
  ScanResults,   // the results wizard, one plug-in per page
  Settings,      // options and the plug-in selection before erasing
  Erase,         // an erase run is going on
  EraseResults,  // the report wizard
};

}  // namespace corvane
