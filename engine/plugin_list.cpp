#include "engine/plugin_list.h"

#include <string>

#include "app/trace_log.h"
#include "platform/file_find.h"
#include "platform/file_status.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace corvane {

namespace {

const Plugin* FindPluginNoCase(const PluginList& list, std::string_view id) {
  for (const Plugin& plugin : list) {
    if (EqualsNoCase(plugin.GetId(), id)) return &plugin;
  }
  return nullptr;
}

}  // namespace

void PluginList::PushFront(PluginPtr plugin) {
  plugins_.insert(plugins_.begin(), std::move(plugin));
}

void PluginList::PushBack(PluginPtr plugin) {
  plugins_.push_back(std::move(plugin));
}

Plugin* PluginList::FindPlugin(std::string_view id) const {
  for (const PluginPtr& plugin : plugins_) {
    if (plugin->GetId() == id) return plugin.get();
  }
  return nullptr;
}

Plugin* PluginList::FirstEnabled() const {
  for (const PluginPtr& plugin : plugins_) {
    if (plugin->IsEnabled()) return plugin.get();
  }
  return nullptr;
}

void AppendCustomPlugins(PluginList& list, PluginOwner& owner,
                         const PluginFactories::Custom& make) {
  const std::optional<std::string> folder = ProgramFilePath(kCustomPluginsFolder);
  if (!folder) return;
  FindData found;
  FindHandlePtr search = FindFirstFileW(*folder + "/*.pld", &found);
  if (!search) return;
  do {
    if ((found.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    // The id is the text after the last backslash of the path, and the path is read with "\" as
    // a separator: such a name would name another file.
    if (found.name.find('\\') != std::string::npos) continue;
    const std::string definition = std::string(kCustomPluginsFolder) + "\\" + found.name;
    PluginPtr plugin = make(owner, definition);
    if (!plugin) continue;
    // Ids name registry values, which know no letter case: two such plug-ins would share their
    // selection and counters. The first one listed keeps the id.
    const Plugin* twin = FindPluginNoCase(list, plugin->GetId());
    if (twin != nullptr) {
      HalvikTrace("AppendCustomPlugins: %s duplicates the id %s, not loaded\n", definition.c_str(),
                  twin->GetId().c_str());
      continue;
    }
    list.PushBack(std::move(plugin));
  } while (FindNextFileW(*search, &found));
}

PluginList BuildPluginList(PluginOwner& owner, const PluginFactories& factories) {
  PluginList list;
  for (auto it = factories.builtins.rbegin(); it != factories.builtins.rend(); ++it) {
    if (!*it) continue;
    if (PluginPtr plugin = (*it)(owner)) list.PushFront(std::move(plugin));
  }
  if (factories.custom) AppendCustomPlugins(list, owner, factories.custom);
  return list;
}

}  // namespace corvane
