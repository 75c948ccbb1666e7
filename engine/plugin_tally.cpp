#include "engine/plugin_tally.h"

#include "engine/plugin.h"

namespace corvane {

void PluginTally::AddDone(const TallyRecord& record) {
  plugin_.AddDone(record.items, record.bytes);
}

void PluginTally::AddFailed(const TallyRecord& record) {
  plugin_.AddFailed(record.items, record.bytes);
}

void PluginTally::AddScheduledAtRestart(std::string_view) {
  plugin_.RaiseRebootNeeded();
  ++plugin_.filesLeftForRestart_;
}

}  // namespace corvane
