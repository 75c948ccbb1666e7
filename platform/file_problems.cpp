#include "platform/file_problems.h"

#include <mutex>

namespace corvane {

namespace {

std::mutex g_mutex;
FileProblemReporter g_reporter;

}  // namespace

void SetFileProblemReporter(FileProblemReporter reporter) {
  const std::lock_guard lock(g_mutex);
  g_reporter = std::move(reporter);
}

void ReportFileProblem(const std::string& problem) {
  const std::lock_guard lock(g_mutex);
  if (g_reporter) g_reporter(problem);
}

}  // namespace corvane
