#pragma once
// The owner plug-ins report to in tests that have no main window: English texts, and completion
// notices posted to `window` (none while it is 0), the cleaning options in `options`.

#include <string>

#include "engine/plugin_owner.h"

namespace corvane::test {

class TestOwner : public PluginOwner {
 public:
  [[nodiscard]] HWND MainWindow() const override { return window; }
  [[nodiscard]] std::string LanguageFolder() const override { return "English"; }
  [[nodiscard]] CleaningOptions GetCleaningOptions() const override { return options; }
  HWND window = 0;
  CleaningOptions options;
};

}  // namespace corvane::test
