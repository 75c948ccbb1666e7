#pragma once
// A cleaner described by data: one per ".pld" definition in the program's "CustomPlugins"
// folder. It removes the files, folders and registry values its definition names, and takes part
// in runs and pages like a built-in cleaner; its pages come from the shared "PlgCustom" folder.

#include <cstdint>
#include <string>
#include <string_view>

#include "cleaners/custom/custom_definition.h"
#include "engine/found_items.h"
#include "engine/plugin.h"
#include "engine/plugin_list.h"

namespace corvane {

// The id prefix; the rest is the definition file's name ("CuPl_WindowsTemp.pld").
inline constexpr std::string_view kCustomPluginPrefix = "CuPl_";
// The text folder all custom plug-ins share: "html\<language>\Plugins\PlgCustom\".
inline constexpr std::string_view kCustomTextFolder = "Custom";
// The enabled value that means "never chosen": the definition's own flag applies.
inline constexpr std::uint32_t kCustomEnabledUnset = 2;

class CustomPlugin final : public Plugin {
 public:
  // Reads the definition at `definitionPath` (below the program folder, as the folder listing
  // names it: "CustomPlugins\WindowsTemp.pld") and makes its plug-in. Null when the file cannot
  // be read or is not a whole definition; nothing of it is then kept, not even a registry value.
  [[nodiscard]] static PluginPtr Load(PluginOwner& owner, std::string_view definitionPath);

  // The description as plain text.
  int ShowDescription(dom::Element element) override;
  // What the last scan found; 1 (element untouched) before a scan.
  int ShowDetails(dom::Element element) override;
  // What the last erase did; 1 (element untouched) unless the plug-in has been erased.
  int ShowReport(dom::Element element) override;
  // The status snippets of the new language; the names stay the definition's.
  void LoadNames(std::string_view languageFolder) override;

  [[nodiscard]] const std::string& DefinitionPath() const { return definitionPath_; }
  [[nodiscard]] const CustomDefinition& Definition() const { return definition_; }
  [[nodiscard]] CounterPair FoundTotals() const override {
    return {filesFound_ + registryFound_, bytesFound_};
  }
  [[nodiscard]] std::uint32_t FilesFound() const { return filesFound_; }
  [[nodiscard]] std::uint64_t BytesFound() const { return bytesFound_; }
  [[nodiscard]] std::uint32_t RegistryFound() const { return registryFound_; }
  [[nodiscard]] std::uint32_t FilesErased() const { return filesErased_; }
  [[nodiscard]] std::uint64_t BytesErased() const { return bytesErased_; }
  [[nodiscard]] std::uint32_t RegistryErased() const { return registryErased_; }
  // The files and the single registry values the last scan found, for the details page.
  [[nodiscard]] const FoundItems& FoundFiles() const { return foundFiles_; }
  [[nodiscard]] const FoundItems& FoundValues() const { return foundValues_; }

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  // The translation of a text of the definition from the current language folder; empty when
  // the folder has none.
  [[nodiscard]] std::string TranslatedText(std::string_view fileName) const;
  CustomPlugin(PluginOwner& owner, std::string definitionPath, PluginId id,
               CustomDefinition definition);

  // Drops (with a trace line) the registry tree items that name a whole hive.
  void RefuseWholeHiveItems();
  // The rows of the details and report pages for one item; empty for kinds that do nothing.
  [[nodiscard]] std::string FileItemName(const CustomFileItem& item) const;
  [[nodiscard]] std::string RegistryItemName(const CustomRegistryItem& item) const;
  // The rows of a page's list, or the "None" row when the list is empty.
  [[nodiscard]] std::string RowsOrNone(const std::string& rows) const;
  void ScanRegistry(const CancelCheck& cancel);
  void EraseRegistry(const CancelCheck& cancel);

  std::string definitionPath_;
  std::string description_;
  CustomDefinition definition_;
  std::uint32_t filesFound_ = 0;
  std::uint64_t bytesFound_ = 0;
  std::uint32_t registryFound_ = 0;
  FoundItems foundFiles_;
  FoundItems foundValues_;
  std::uint32_t filesErased_ = 0;
  std::uint64_t bytesErased_ = 0;
  std::uint32_t registryErased_ = 0;
};

// Appends a custom plug-in for each definition of "CustomPlugins" that loads, in the order the
// folder lists them. The controller calls it once, after the built-in cleaners are in the list.
void AppendCustomPlugins(PluginList& list, PluginOwner& owner);

}  // namespace corvane
