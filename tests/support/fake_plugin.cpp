#include "tests/support/fake_plugin.h"

#include <chrono>

#include "engine/progress_record.h"
#include "ui/html_escape.h"

namespace corvane::testing {

namespace fs = std::filesystem;

FakePlugin::FakePlugin(PluginOwner& owner, PluginId id, fs::path folder, std::string name)
    : Plugin(std::move(id), "Fake", owner), folder_(std::move(folder)), name_(std::move(name)) {
  LoadTracksLeft();
}

std::string FakePlugin::GetNameHtml() const {
  return name_.empty() ? Plugin::GetNameHtml() : HtmlEscape(name_);
}

std::string FakePlugin::GetFullNameHtml() const {
  return name_.empty() ? Plugin::GetFullNameHtml() : HtmlEscape(name_) + " (all files)";
}

std::vector<std::pair<std::string, std::uint64_t>> FakePlugin::Found() const {
  std::lock_guard lock(mutex_);
  return found_;
}

bool FakePlugin::Cancelled() const {
  return CancelEvent() != nullptr && CancelEvent()->IsSet();
}

bool FakePlugin::PassHold() {
  if (release.IsSet()) return true;
  held.Set();
  while (!release.Wait(std::chrono::milliseconds(5))) {
    if (Cancelled()) return false;
  }
  return !Cancelled();
}

void FakePlugin::Progress(const std::string& html, int step, int stepCount) const {
  auto record = std::make_unique<ProgressRecord>();
  record->pluginId = GetId();
  record->message = html;
  record->step = step;
  record->stepCount = stepCount;
  static_cast<void>(PostRecord(Owner().MainWindow(), WM_APP_PROGRESS, std::move(record)));
}

PluginResult FakePlugin::ScanTracks() {
  ++scans;
  if (!PassHold()) return PluginResult::Cancelled;
  std::vector<std::pair<std::string, std::uint64_t>> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
    if (entry.is_symlink() || !entry.is_regular_file()) continue;
    found.emplace_back(entry.path().filename().string(), entry.file_size());
  }
  int step = 0;
  for (const auto& [file, size] : found) {
    if (Cancelled()) return PluginResult::Cancelled;
    Progress("Looking at <span class=\"path\">" + HtmlEscape(file) + "</span>", ++step,
             static_cast<int>(found.size()));
  }
  std::lock_guard lock(mutex_);
  found_ = std::move(found);
  MutableTracksLeft()["items"] = found_.size();
  std::uint64_t bytes = 0;
  for (const auto& entry : found_) bytes += entry.second;
  MutableTracksLeft()["size"] = bytes;
  return failScan ? PluginResult::Failed : PluginResult::Finished;
}

PluginResult FakePlugin::EraseTracks() {
  ++erases;
  {
    std::lock_guard lock(mutex_);
    erased_.clear();
  }
  std::vector<std::pair<std::string, std::uint64_t>> found = Found();
  bool first = true;
  for (const auto& [file, size] : found) {
    if (!first && !PassHold()) return PluginResult::Cancelled;
    first = false;
    Progress("Erasing <span class=\"path\">" + HtmlEscape(file) + "</span>", kNoStep, kNoStep);
    std::error_code error;
    if (leaveForRestart) {
      Tally().AddScheduledAtRestart((folder_ / file).string());
    } else if (fs::remove(folder_ / file, error)) {
      AddDone(1, size);
      std::lock_guard lock(mutex_);
      erased_.push_back(file);
    } else {
      AddFailed(1, size);
    }
  }
  return PluginResult::Finished;
}

int FakePlugin::ShowDetails(dom::Element element) {
  if (Found().empty()) {
    element.SetInnerHtml("<div class=\"empty-note\">No files found.</div>");
    return 0;
  }
  std::string rows;
  for (const auto& [file, size] : Found()) {
    rows += "<tr><td class=\"path\">" + HtmlEscape(file) + "</td><td class=\"num\">" +
            std::to_string(size) + " bytes</td><td>" + ResOkHtml() + "</td></tr>";
  }
  element.SetInnerHtml(
      "<table id=\"FakeDetails\"><thead><tr><th>File</th><th class=\"num\">Size</th>"
      "<th>Status</th></tr></thead><tbody>" +
      rows + "</tbody></table>");
  return 0;
}

int FakePlugin::ShowReport(dom::Element element) {
  std::string rows;
  {
    std::lock_guard lock(mutex_);
    for (const std::string& file : erased_) {
      rows += "<tr><td class=\"path\">" + HtmlEscape(file) + "</td><td>" + ResErasedHtml() +
              "</td></tr>";
    }
  }
  const PluginCounters counters = CopyCounters();
  element.SetInnerHtml(
      "<table id=\"FakeReport\"><thead><tr><th>File</th><th>Status</th></tr>"
      "</thead><tbody>" +
      rows + "</tbody><tfoot><tr><td>" + std::to_string(counters.current.items) +
      " files</td><td class=\"num\">" + std::to_string(counters.current.bytes) +
      " bytes</td></tr></tfoot></table>");
  return 0;
}

int FakePlugin::OnCheckbox(std::string_view elementId, dom::Element) {
  checkboxClicks.emplace_back(elementId);
  return 1;
}

std::optional<std::string> FakePlugin::ItemToOpen(std::string_view rowPrefix,
                                                  std::size_t number) const {
  if (rowPrefix != "RecDocId-" || number >= openable.size()) return std::nullopt;
  return openable[number];
}

}  // namespace corvane::testing
