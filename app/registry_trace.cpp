#include "app/registry_trace.h"

#include "app/trace_log.h"

namespace corvane {

void TraceRegistryProblems(RegistryStore& store) {
  store.SetProblemReporter([](const std::string& problem) { HalvikTrace(problem + "\n"); });
}

}  // namespace corvane
