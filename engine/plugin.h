#pragma once
// One cleaner as the controller drives it: a fixed set of operations, its texts, its counters,
// its selection and tracks-left figures in the registry, and the worker thread that runs its scan
// or erase. Subclasses fill in ScanTracks and EraseTracks (and the pages); everything else is here.
//
// Workers: StartScan and StartErase each run their skeleton on a new thread. Only one worker
// exists per plug-in: starting another one first waits for the previous thread, and so does
// destruction. Because a worker calls the subclass's ScanTracks or EraseTracks, a plug-in must be
// destroyed through PluginPtr (which waits before any destructor runs); the base destructor waits
// too, as a last line, but by then the subclass part is already gone.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "app/registry_key.h"
#include "engine/plugin_counters.h"
#include "engine/plugin_id.h"
#include "engine/plugin_owner.h"
#include "engine/plugin_tally.h"
#include "platform/dom/element.h"
#include "platform/event.h"

namespace corvane {

// The answer of the page operations that a plug-in does not implement.
inline constexpr int kPageNotShown = 4;

// Registry keys below HKEY_LOCAL_MACHINE: one DWORD per plug-in (selected or not), and one
// sub-key per plug-in holding its tracks-left figures.
inline constexpr std::string_view kPluginsKey = "Software\\Corvane\\Erase\\Plugins";
inline constexpr std::string_view kTracksLeftKey = "Software\\Corvane\\Erase\\TracksLeft";

// The default of the enabled flag for built-in cleaners: selected.
inline constexpr std::uint32_t kEnabledByDefault = 1;

// Whether a tracks-left figure of that name counts bytes rather than items.
[[nodiscard]] bool IsByteCounter(const std::string& name);

class Plugin {
 public:
  using TracksLeftMap = std::map<std::string, std::uint64_t>;

  // Writes the enabled flag back and waits for a worker still running.
  virtual ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  [[nodiscard]] virtual PluginId GetId() const;
  [[nodiscard]] virtual std::string GetNameHtml() const;
  [[nodiscard]] virtual std::string GetFullNameHtml() const;
  // Runs the scan on a new thread; the owner's OnScanDone reports the end. The event is the run's
  // cancel event (not owned; it must outlive the worker).
  virtual void StartScan(Event* cancelEvent);
  // Clears the reboot flag, then runs the erase on a new thread; OnEraseDone reports the end.
  virtual void StartErase(Event* cancelEvent);
  // Shows "description.html" of the plug-in's folder in the element; answers 0.
  virtual int ShowDescription(dom::Element element);
  // The scan results page; the base shows nothing and answers kPageNotShown.
  virtual int ShowDetails(dom::Element element);
  // The erase report page; the base shows nothing and answers kPageNotShown.
  virtual int ShowReport(dom::Element element);
  // A check box of the plug-in's page was clicked; answers 0 when not handled.
  virtual int OnCheckbox(std::string_view elementId, dom::Element element);
  // Remembers the language folder and loads the name, full name and status snippets from it.
  virtual void LoadNames(std::string_view languageFolder);
  // False when the plug-in has nothing to show, so the results wizard skips its page.
  [[nodiscard]] virtual bool HasItems() const;
  // What the last scan found, as the erase will count it: items and bytes. The base sums the
  // tracks-left figures (those named "...size" or "...bytes" are bytes, the others items).
  [[nodiscard]] virtual CounterPair FoundTotals() const;
  // The file behind the clicked row of a page list whose row ids are `rowPrefix` followed by
  // `number` ("RecDocId-3", "msn70-1"), for the window to open; null when the plug-in has no such
  // list or row. The path is as the machine names it (a machine path or a host path).
  [[nodiscard]] virtual std::optional<std::string> ItemToOpen(std::string_view rowPrefix,
                                                              std::size_t number) const;

  // The selection, stored in the registry at once.
  void SetEnabled(bool enabled);
  [[nodiscard]] bool IsEnabled() const { return enabled_; }
  void SetInRun(bool inRun) { inRun_ = inRun; }
  [[nodiscard]] bool IsInRun() const { return inRun_; }
  // True when this plug-in's last erase left a file to be deleted at the next system start.
  [[nodiscard]] bool IsRebootNeeded() const { return rebootNeeded_; }
  // How many files its last erase left for deletion at the next system start.
  [[nodiscard]] std::uint32_t FilesLeftForRestart() const { return filesLeftForRestart_; }
  [[nodiscard]] ScanState GetScanState() const { return scanState_; }

  void ResetCurrent() { counters_.current = {}; }
  void ResetErasedToday() { counters_.erasedToday = {}; }
  void AddDone(std::uint32_t items, std::uint64_t bytes) { counters_.current.Add(items, bytes); }
  void AddFailed(std::uint32_t items, std::uint64_t bytes) { counters_.failed.Add(items, bytes); }
  // The counters for statistics and result pages (without the failures).
  [[nodiscard]] PluginCounters CopyCounters() const { return counters_.CopyOut(); }
  // What this plug-in's erases could not remove, for the front ends that report it.
  [[nodiscard]] CounterPair FailedCounts() const { return counters_.failed; }
  // Puts back a saved block, as statistics load it.
  void RestoreCounters(const PluginCounters& counters) { counters_ = counters; }
  // The tally the erase routines report to; it adds to this plug-in's counters.
  [[nodiscard]] DeletionTally& Tally() { return tally_; }

  [[nodiscard]] const TracksLeftMap& TracksLeft() const { return tracksLeft_; }
  // Replaces the tracks-left figures with the plug-in's registry values (8 bytes each; values of
  // any other size are not figures and are skipped).
  void LoadTracksLeft();
  // Writes every figure as an 8-byte REG_NONE value; figures are never deleted from the key.
  // False when some value could not be written.
  [[nodiscard]] bool SaveTracksLeft() const;

  [[nodiscard]] const std::string& LanguageFolder() const { return languageFolder_; }
  [[nodiscard]] const std::string& ResOkHtml() const { return resOkHtml_; }
  [[nodiscard]] const std::string& ResErrorHtml() const { return resErrorHtml_; }
  [[nodiscard]] const std::string& ResErasedHtml() const { return resErasedHtml_; }
  // The plug-in's text folder below the program folder: "html\<language>\Plugins\Plg<id>\"
  // (or the shared folder named at construction).
  [[nodiscard]] std::string PluginFolder() const;
  // A file of the plug-in's folder; empty text when it is missing.
  [[nodiscard]] std::string LoadPluginText(std::string_view fileName) const;

  // Blocks until the worker (if any) has ended. Must not be called from the worker itself.
  void WaitForWorker();

 protected:
  // Loads the texts in the owner's language and reads the enabled flag (a missing value reads as
  // `enabledDefault`), writing it straight back. Subclasses then call LoadTracksLeft. The texts
  // come from "Plg" + `textFolder` when one is given (plug-ins sharing one folder), else from
  // "Plg" + id.
  Plugin(PluginId id, std::string constructionName, PluginOwner& owner,
         std::uint32_t enabledDefault = kEnabledByDefault, std::string textFolder = {});

  // Run on the worker thread; answer Finished, Failed or Cancelled.
  [[nodiscard]] virtual PluginResult ScanTracks() = 0;
  [[nodiscard]] virtual PluginResult EraseTracks() = 0;

  // The enabled value as stored in the registry, so a subclass can tell "never chosen" (its own
  // default) from a choice.
  [[nodiscard]] std::uint32_t StoredEnabledValue() const { return enabledValue_.value; }
  [[nodiscard]] PluginOwner& Owner() const { return owner_; }
  // The run's cancel event handed to the running worker; null before the first start.
  [[nodiscard]] Event* CancelEvent() const { return cancelEvent_; }
  // An erase left a file for deletion at the next system start: the restart offer follows.
  void RaiseRebootNeeded() { rebootNeeded_ = true; }
  void SetScanState(ScanState state) { scanState_ = state; }
  [[nodiscard]] TracksLeftMap& MutableTracksLeft() { return tracksLeft_; }
  // Replaces the tracks-left figures and writes them to the registry; false when some value
  // could not be written.
  [[nodiscard]] bool PublishTracksLeft(TracksLeftMap figures);
  // Takes a selection that was never stored as a choice (a subclass's own default), leaving the
  // registry value as it is so that a later default still applies.
  void AdoptDefaultSelection(bool enabled) { enabled_ = enabled; }
  // For plug-ins whose names do not come from "name.html" and "fullname.html".
  void SetNamesHtml(std::string nameHtml, std::string fullNameHtml) {
    nameHtml_ = std::move(nameHtml);
    fullNameHtml_ = std::move(fullNameHtml);
  }

 private:
  friend class PluginTally;  // raises the reboot flag for files left for the next start

  void RunScanWorker();
  void RunEraseWorker();
  // Starts `body` on a new thread once the previous worker has ended.
  void StartWorker(Event* cancelEvent, void (Plugin::*body)());
  [[nodiscard]] std::string TracksLeftKey() const;

  bool rebootNeeded_ = false;
  std::uint32_t filesLeftForRestart_ = 0;
  ScanState scanState_ = ScanState::NotScanned;
  PluginOwner& owner_;
  Event* cancelEvent_ = nullptr;
  bool enabled_ = true;
  bool inRun_ = false;
  PluginId id_;
  std::string textFolder_;
  std::string nameHtml_;
  std::string fullNameHtml_;
  std::string languageFolder_;
  std::string resOkHtml_;
  std::string resErrorHtml_;
  std::string resErasedHtml_;
  TracksLeftMap tracksLeft_;
  PluginCounters counters_;
  PluginTally tally_{*this};
  RegistryDword enabledValue_;
  std::thread worker_;
};

// Destroys a plug-in only after its worker has ended, before any destructor runs.
struct PluginDeleter {
  void operator()(Plugin* plugin) const;
};
using PluginPtr = std::unique_ptr<Plugin, PluginDeleter>;

// Makes a plug-in owned by a PluginPtr.
template <typename T, typename... Args>
[[nodiscard]] PluginPtr MakePlugin(Args&&... args) {
  return PluginPtr(new T(std::forward<Args>(args)...));
}

}  // namespace corvane
