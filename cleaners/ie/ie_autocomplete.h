#pragma once
// Internet Explorer's AutoComplete data (form fields and passwords) in the Protected Storage
// key: HKCU "Software\Microsoft\Protected Storage System Provider\<user>\Data\<AutoComplete
// GUID>", the user being the SID on Windows NT and the user name on Windows 9x. Windows locks the
// key with its own rights, so the erase opens them up first and puts them back afterwards.

#include <string>

#include "engine/browser_scan_result.h"
#include "engine/progress_reporter.h"

namespace corvane {

inline constexpr char kProtectedStorageKey[] =
    "Software\\Microsoft\\Protected Storage System Provider\\";
inline constexpr char kAutoCompleteGuid[] = "e161255a-37c3-11d2-bcaa-00c04fd929db";

// "<store>\<user>\Data\<guid>": the key the erase deletes; empty when the user is unknown.
[[nodiscard]] std::string AutoCompleteDataKey();

// Counts the AutoComplete items (sub-keys whose names end in "a") by form field or by domain:
// one item per name, no entries. A missing key finds nothing; the caller notices cancellation
// through `progress`.
void ScanAutoComplete(BrowserScanResult& result, ProgressReporter* progress);

// Deletes the AutoComplete data. True when it was deleted; false when cancelled, or when the key
// could not be reached.
[[nodiscard]] bool EraseAutoComplete(ProgressReporter* progress);

}  // namespace corvane
