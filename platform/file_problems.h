#pragma once
// Problems of the file services that no result can carry to the user: a path refused because a
// link lies on its way, a file not overwritten because other names share its bytes, a folder that
// could not be listed. The program sends them to its trace log; nothing is reported until a
// reporter is set.

#include <functional>
#include <string>

namespace corvane {

using FileProblemReporter = std::function<void(const std::string& problem)>;

// Set once at start-up (tests set their own, and an empty one to stop); process-wide.
void SetFileProblemReporter(FileProblemReporter reporter);
// Tells the reporter, when there is one, one line of text.
void ReportFileProblem(const std::string& problem);

}  // namespace corvane
