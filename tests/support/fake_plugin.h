#pragma once
// A plug-in for tests of the main window: it scans the regular files of its own folder (posting
// progress for each), erases them for real, and can be held at the start of its scan or after the
// first erased file until the test releases it, so cancellation can be tried at a known point.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/plugin.h"
#include "platform/event.h"

namespace corvane::testing {

class FakePlugin final : public Plugin {
 public:
  // `name` replaces the texts of the plug-in's folder when not empty (ids without a folder).
  FakePlugin(PluginOwner& owner, PluginId id, std::filesystem::path folder, std::string name = {});

  [[nodiscard]] std::string GetNameHtml() const override;
  [[nodiscard]] std::string GetFullNameHtml() const override;
  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;
  int OnCheckbox(std::string_view elementId, dom::Element element) override;
  // The row numbers of "RecDocId-" rows name the entries of `openable`.
  [[nodiscard]] std::optional<std::string> ItemToOpen(std::string_view rowPrefix,
                                                      std::size_t number) const override;

  // While not set, a scan waits at its start and an erase after its first file (for the cancel
  // event or the release).
  Event release{EventReset::Manual, true};
  // Set by the worker once it waits at the hold.
  Event held{EventReset::Manual, false};
  std::atomic<bool> failScan = false;
  // An erase leaves every file for the next system start instead of deleting it.
  std::atomic<bool> leaveForRestart = false;
  std::atomic<int> scans = 0;
  std::atomic<int> erases = 0;
  std::vector<std::string> checkboxClicks;  // user-interface thread only
  std::vector<std::string> openable;

  [[nodiscard]] std::vector<std::pair<std::string, std::uint64_t>> Found() const;

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  // Waits at the hold; false when the run was cancelled meanwhile.
  bool PassHold();
  [[nodiscard]] bool Cancelled() const;
  void Progress(const std::string& html, int step, int stepCount) const;

  std::filesystem::path folder_;
  std::string name_;
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::uint64_t>> found_;  // file name, size
  std::vector<std::string> erased_;
};

}  // namespace corvane::testing
