#include "cleaners/browser/browser_cleaner_parts.h"

#include <algorithm>

#include "engine/cleaner_texts.h"

namespace corvane {

ProgressReporter MakeBrowserReporter(const PluginOwner& owner, const Plugin& plugin,
                                     std::string_view page, const Event* cancel) {
  return ProgressReporter(owner, plugin.GetId(),
                          LoadSharedPluginText(plugin.LanguageFolder(), page), cancel,
                          kBrowserProgressThrottle);
}

std::string YesNo(bool yes) {
  return yes ? "Yes" : "No";
}

std::uint64_t RemainingDomains(const BrowserScanResult& result) {
  return static_cast<std::uint64_t>(std::count_if(
      result.domains.begin(), result.domains.end(),
      [](const auto& domain) { return domain.second.status != DomainStatus::Erased; }));
}

}  // namespace corvane
