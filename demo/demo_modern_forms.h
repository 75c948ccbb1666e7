#pragma once
// Form data and saved logins of today's browsers on the demo machine: the Firefox and Chrome
// profiles that the cookie stores live in gain a form history, saved logins and, for Chrome,
// autofill entries and a search engine it made from a site's form. The makers serve the tests
// too; every table is laid out as the browsers' current releases make it.

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

// A value typed into a form field, and the page it was typed on (a host or an origin as the
// browser files it; empty when the browser did not say).
struct DemoFormValue {
  std::string field;
  std::string value;
  std::string source;
};

// Writes a Firefox "formhistory.sqlite" holding the values. False when it could not be written.
[[nodiscard]] bool MakeFirefoxFormHistory(const std::filesystem::path& file,
                                          const std::vector<DemoFormValue>& values);

// Writes a Firefox "logins.json" with one login per site given (an origin such as
// "https://shop.test", or "chrome://FirefoxAccounts"), user names and passwords as the browser
// encrypts them (made-up bytes here).
[[nodiscard]] bool MakeFirefoxLogins(const std::filesystem::path& file,
                                     const std::vector<std::string>& sites);

// Writes a Chromium "Web Data" holding the values (sources ignored) in `autofill`, one search
// engine per URL given that the browser made from a site's form, and the engines it ships.
[[nodiscard]] bool MakeChromiumWebData(const std::filesystem::path& file,
                                       const std::vector<DemoFormValue>& values,
                                       const std::vector<std::string>& engineUrls);

// Writes a Chromium "Login Data" with one saved login per origin given, each with a password
// note.
[[nodiscard]] bool MakeChromiumLoginData(const std::filesystem::path& file,
                                         const std::vector<std::string>& origins);

// Plants the stores for `user` on the current machine (one saved login is for the site the demo
// whitelists, so the forms cleaner shows one spared). False when a file could not be written.
[[nodiscard]] bool PlantModernFormTraces(const std::string& user);

}  // namespace corvane
