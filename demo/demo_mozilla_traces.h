#pragma once
// The Mozilla family on the demo machine: a Mozilla-suite, a Firefox and a Netscape 4 profile
// with cookies, history, cache files and stored form data, so that every operation of the
// Mozilla-family back-end has something real to find.

#include <string>

namespace corvane {

// Plants the profiles for `user` on the current machine and registry (Netscape 4's registry
// values included). False when a file or value could not be written.
[[nodiscard]] bool PlantMozillaTraces(const std::string& user);

}  // namespace corvane
