#pragma once
// The erase tally of one plug-in: what the file and registry routines report goes straight into
// the plug-in's counters (done into current, failures into failed), and a file left for the next
// system start raises the plug-in's reboot flag.

#include "engine/deletion_tally.h"

namespace corvane {

class Plugin;

class PluginTally final : public DeletionTally {
 public:
  explicit PluginTally(Plugin& plugin) : plugin_(plugin) {}
  void AddDone(const TallyRecord& record) override;
  void AddFailed(const TallyRecord& record) override;
  // A file left for deletion at the next system start: the plug-in's erase needs a restart.
  void AddScheduledAtRestart(std::string_view path) override;

 private:
  Plugin& plugin_;
};

}  // namespace corvane
