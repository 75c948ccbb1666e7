#pragma once
// The erase tally of one plug-in: what the file and registry routines report goes straight into
// the plug-in's counters (done into current, failures into failed).

#include "engine/deletion_tally.h"

namespace corvane {

class Plugin;

class PluginTally final : public DeletionTally {
 public:
  explicit PluginTally(Plugin& plugin) : plugin_(plugin) {}
  void AddDone(const TallyRecord& record) override;
  void AddFailed(const TallyRecord& record) override;

 private:
  Plugin& plugin_;
};

}  // namespace corvane
