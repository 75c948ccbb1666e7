#include "engine/plugin_list.h"

#include <string>

#include "platform/file_find.h"
#include "platform/file_status.h"
#include "platform/program_folder.h"

namespace corvane {

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
    if (PluginPtr plugin = make(owner, definition)) list.PushBack(std::move(plugin));
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
