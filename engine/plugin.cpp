#include "engine/plugin.h"

#include <array>
#include <system_error>
#include <utility>

#include "ui/template_store.h"

namespace corvane {

namespace {

// Value names may be up to 16383 UTF-16 characters, plus the NUL.
constexpr DWORD kValueNameCapacity = 16384;
constexpr DWORD kTracksLeftSize = 8;

}  // namespace

Plugin::Plugin(PluginId id, std::string constructionName, PluginOwner& owner,
               std::uint32_t enabledDefault, std::string textFolder)
    : owner_(owner),
      id_(std::move(id)),
      textFolder_(textFolder.empty() ? id_ : std::move(textFolder)),
      nameHtml_(std::move(constructionName)),
      enabledValue_(HKEY_LOCAL_MACHINE, kPluginsKey, id_, enabledDefault) {
  LoadNames(owner_.LanguageFolder());
  enabled_ = enabledValue_.value != 0;
  // A stored choice is kept as 0 or 1; the default is written as it is, so a subclass whose
  // default means "not chosen yet" can still tell.
  if (enabledValue_.value != enabledDefault) enabledValue_.value = enabled_ ? 1 : 0;
  enabledValue_.Write();
}

Plugin::~Plugin() {
  WaitForWorker();
}

PluginId Plugin::GetId() const {
  return id_;
}

std::string Plugin::GetNameHtml() const {
  return nameHtml_;
}

std::string Plugin::GetFullNameHtml() const {
  return fullNameHtml_;
}

void Plugin::StartScan(Event* cancelEvent) {
  StartWorker(cancelEvent, &Plugin::RunScanWorker);
}

void Plugin::StartErase(Event* cancelEvent) {
  // Cleared before the thread starts, so a stale flag from an earlier erase is never collected.
  WaitForWorker();
  rebootNeeded_ = false;
  filesLeftForRestart_ = 0;
  StartWorker(cancelEvent, &Plugin::RunEraseWorker);
}

int Plugin::ShowDescription(dom::Element element) {
  element.SetInnerHtml(LoadPluginText("description.html"));
  return 0;
}

int Plugin::ShowDetails(dom::Element) {
  return kPageNotShown;
}

int Plugin::ShowReport(dom::Element) {
  return kPageNotShown;
}

int Plugin::OnCheckbox(std::string_view, dom::Element) {
  return 0;
}

void Plugin::LoadNames(std::string_view languageFolder) {
  languageFolder_ = std::string(languageFolder);
  nameHtml_ = LoadPluginText("name.html");
  fullNameHtml_ = LoadPluginText("fullname.html");
  resOkHtml_ = LoadPluginText("res_Ok.html");
  resErrorHtml_ = LoadPluginText("res_Error.html");
  resErasedHtml_ = LoadPluginText("res_Erased.html");
}

bool Plugin::HasItems() const {
  return true;
}

std::optional<std::string> Plugin::ItemToOpen(std::string_view, std::size_t) const {
  return std::nullopt;
}

void Plugin::SetEnabled(bool enabled) {
  enabled_ = enabled;
  enabledValue_.value = enabled ? 1 : 0;
  enabledValue_.Write();
}

std::string Plugin::TracksLeftKey() const {
  return std::string(kTracksLeftKey) + "\\" + id_;
}

void Plugin::LoadTracksLeft() {
  tracksLeft_.clear();
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_LOCAL_MACHINE, TracksLeftKey(), &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD nameChars = kValueNameCapacity;
    std::array<BYTE, kTracksLeftSize> data{};
    DWORD dataSize = data.size();
    const LONG result =
        RegEnumValueW(key, index, &name, &nameChars, nullptr, data.data(), &dataSize);
    // A value too large for a figure answers ERROR_MORE_DATA: it is skipped like a short one.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;  // the end, or a key that went away
    if (dataSize != kTracksLeftSize) continue;
    std::uint64_t value = 0;
    for (DWORD i = 0; i < kTracksLeftSize; ++i) {
      value |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    }
    tracksLeft_[name] = value;
  }
  RegCloseKey(key);
}

bool Plugin::SaveTracksLeft() const {
  HKEY key = 0;
  if (RegCreateKeyW(HKEY_LOCAL_MACHINE, TracksLeftKey(), &key) != ERROR_SUCCESS) return false;
  bool allWritten = true;
  for (const auto& [name, value] : tracksLeft_) {
    std::array<BYTE, kTracksLeftSize> data{};
    for (DWORD i = 0; i < kTracksLeftSize; ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
    if (RegSetValueExW(key, name, REG_NONE, data.data(), data.size()) != ERROR_SUCCESS) {
      allWritten = false;
    }
  }
  RegCloseKey(key);
  return allWritten;
}

bool Plugin::PublishTracksLeft(TracksLeftMap figures) {
  tracksLeft_ = std::move(figures);
  return SaveTracksLeft();
}

void Plugin::WaitForWorker() {
  if (worker_.joinable()) worker_.join();
}

std::string Plugin::PluginFolder() const {
  return "html\\" + languageFolder_ + "\\Plugins\\Plg" + textFolder_ + "\\";
}

std::string Plugin::LoadPluginText(std::string_view fileName) const {
  return TemplateStore::Load(PluginFolder() + std::string(fileName));
}

void Plugin::StartWorker(Event* cancelEvent, void (Plugin::*body)()) {
  WaitForWorker();
  cancelEvent_ = cancelEvent;
  try {
    worker_ = std::thread(body, this);
  } catch (const std::system_error&) {
    // No thread: report the failure as the worker would have, so the run moves on.
    const bool scan = body == &Plugin::RunScanWorker;
    if (scan) {
      static_cast<void>(owner_.OnScanDone(id_, PluginResult::Failed));
    } else {
      static_cast<void>(owner_.OnEraseDone(id_, PluginResult::Failed));
    }
  }
}

bool IsByteCounter(const std::string& name) {
  return name.ends_with("size") || name.ends_with("bytes");
}

CounterPair Plugin::FoundTotals() const {
  CounterPair totals;
  for (const auto& [name, value] : tracksLeft_) {
    if (IsByteCounter(name)) {
      totals.bytes += value;
    } else {
      totals.items += static_cast<std::uint32_t>(value);
    }
  }
  return totals;
}

void Plugin::RunScanWorker() {
  scanState_ = ScanState::NotScanned;
  tracksLeft_.clear();
  const PluginResult result = ScanTracks();
  if (result != PluginResult::Cancelled) scanState_ = ScanState::Scanned;
  static_cast<void>(owner_.OnScanDone(id_, result));
}

void Plugin::RunEraseWorker() {
  PluginResult result = PluginResult::Finished;
  if (scanState_ == ScanState::Scanned) {
    result = EraseTracks();
    if (result != PluginResult::Cancelled) scanState_ = ScanState::Erased;
    // Even a cancelled erase has removed what it counted.
    counters_.erasedTotal.Add(counters_.current);
    counters_.erasedToday.Add(counters_.current);
  }
  static_cast<void>(owner_.OnEraseDone(id_, result));
}

void PluginDeleter::operator()(Plugin* plugin) const {
  if (plugin == nullptr) return;
  plugin->WaitForWorker();
  delete plugin;
}

}  // namespace corvane
