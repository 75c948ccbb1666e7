#pragma once
// Sends the registry store's problems (a hive kept read-only, changes not saved while a
// wineserver runs, a failed save) to the trace log, one entry each.

#include "platform/registry_store.h"

namespace corvane {

// Called at start-up for the program's store.
void TraceRegistryProblems(RegistryStore& store);

}  // namespace corvane
