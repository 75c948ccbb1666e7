#include "cleaners/custom/custom_plugin.h"

#include <utility>

#include "app/registry_patterns.h"
#include "app/trace_log.h"
#include "cleaners/custom/custom_path_rules.h"
#include "cleaners/custom/path_macros.h"
#include "engine/cleaner_texts.h"
#include "engine/erase_file.h"
#include "engine/file_set.h"
#include "engine/format_size.h"
#include "engine/progress_reporter.h"
#include "platform/file_services.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {
namespace {

// The definition's root, when it is one of the predefined roots. A number read from a file must
// never be taken for a key handle this program happens to hold open.
std::optional<HKEY> PredefinedRoot(std::uint32_t root) {
  const HKEY key = root;
  if (RegistryRootName(key).empty()) return std::nullopt;
  return key;
}

bool ValueExists(HKEY root, std::string_view keyPath, std::string_view valueName) {
  HKEY key = 0;
  if (RegOpenKeyW(root, keyPath, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  const bool exists = RegQueryValueExW(key, valueName, nullptr, nullptr, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return exists;
}

// ERROR_FILE_NOT_FOUND when there is no such value (or key): nothing was left undone then.
LONG DeleteValue(HKEY root, std::string_view keyPath, std::string_view valueName) {
  HKEY key = 0;
  if (const LONG error = RegOpenKeyW(root, keyPath, &key); error != ERROR_SUCCESS) return error;
  const LONG error = RegDeleteValueW(key, valueName);
  RegCloseKey(key);
  return error;
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

PluginPtr CustomPlugin::Load(PluginOwner& owner, std::string_view definitionPath) {
  const auto file = ProgramFilePath(definitionPath);
  if (!file) return nullptr;
  auto definition = ReadCustomDefinitionFile(*file);
  if (!definition) return nullptr;
  PluginId id = std::string(kCustomPluginPrefix) + FileNameOf(definitionPath);
  return PluginPtr(
      new CustomPlugin(owner, std::string(definitionPath), std::move(id), std::move(*definition)));
}

CustomPlugin::CustomPlugin(PluginOwner& owner, std::string definitionPath, PluginId id,
                           CustomDefinition definition)
    : Plugin(std::move(id), "-", owner, kCustomEnabledUnset, std::string(kCustomTextFolder)),
      definitionPath_(std::move(definitionPath)),
      description_(definition.description),
      definition_(std::move(definition)) {
  RefuseWholeHiveItems();
  const std::string name = HtmlEscape(definition_.name);
  SetNamesHtml(name, name);
  if (StoredEnabledValue() == kCustomEnabledUnset) {
    AdoptDefaultSelection(definition_.defaultEnabled != 0);
  }
  LoadTracksLeft();
}

void CustomPlugin::RefuseWholeHiveItems() {
  // Anyone can drop a definition into the folder: a tree item on a root would take every
  // matching value of a hive, so it is never kept, as a whole-drive file tree is never acted on.
  std::erase_if(definition_.registry, [this](const CustomRegistryItem& item) {
    if (item.kind != kCustomItemFolderTree || !IsRegistryRootKey(item.root, item.keyPath)) {
      return false;
    }
    const std::string key =
        RegistryRootName(item.root) + (item.keyPath.empty() ? "" : "\\" + item.keyPath);
    HalvikTrace("CustomPlugin: " + definitionPath_ + ": refused the registry tree item on " + key +
                " (pattern \"" + item.pattern + "\"): it would walk a whole hive\n");
    return true;
  });
}

std::string CustomPlugin::TranslatedText(std::string_view fileName) const {
  // A definition holds one language; the program's own definitions are translated in
  // "Plugins/Custom/<definition file>/" of each language folder.
  const std::string file(GetId().substr(kCustomPluginPrefix.size()));
  std::string text = TemplateStore::Load(SharedPluginFolder(LanguageFolder()) + "Custom/" + file +
                                         "/" + std::string(fileName));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

void CustomPlugin::LoadNames(std::string_view languageFolder) {
  Plugin::LoadNames(languageFolder);
  std::string name = TranslatedText("name.html");
  if (name.empty()) name = HtmlEscape(definition_.name);
  SetNamesHtml(name, name);
}

int CustomPlugin::ShowDescription(dom::Element element) {
  const std::string translated = TranslatedText("description.html");
  if (translated.empty()) {
    element.SetInnerText(description_);
  } else {
    element.SetInnerHtml(translated);
  }
  return 0;
}

PluginResult CustomPlugin::ScanTracks() {
  ProgressReporter reporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), kScanningPage),
                            CancelEvent());
  const CancelCheck cancel = reporter.AsCancelCheck();
  filesFound_ = 0;
  bytesFound_ = 0;
  foundFiles_.Clear();
  std::string dots;
  for (CustomFileItem& item : definition_.files) {
    reporter.Report(dots += '.');  // one more dot per item: the row shows the work going on
    item.expandedPath = ExpandPathMacros(item.path);
    item.status = 0;
    if (!IsCustomItemPathAllowed(item.expandedPath, item.kind)) continue;
    bool ok = true;
    switch (item.kind) {
      case kCustomItemOneFile: {
        if (GetFileAttributesW(item.expandedPath) == INVALID_FILE_ATTRIBUTES) continue;
        ++filesFound_;
        const auto size = GetFileSize64(item.expandedPath);
        ok = size.has_value();
        if (ok) bytesFound_ += *size;
        foundFiles_.Add({item.expandedPath, size.value_or(0), -1});
        break;
      }
      case kCustomItemFolderFiles:
        ok = CollectFileSet(item.expandedPath, item.exclusions, item.masks, filesFound_,
                            bytesFound_, &foundFiles_);
        break;
      case kCustomItemFolderTree:
        ok = CollectFileSetTree(item.expandedPath, item.exclusions, item.masks, filesFound_,
                                bytesFound_, cancel, &foundFiles_);
        break;
      default:
        continue;
    }
    if (!ok && reporter.IsCancelled()) return PluginResult::Cancelled;
  }
  ScanRegistry(cancel);
  return PluginResult::Finished;
}

void CustomPlugin::ScanRegistry(const CancelCheck& cancel) {
  registryFound_ = 0;
  foundValues_.Clear();
  for (CustomRegistryItem& item : definition_.registry) {
    item.status = 0;
    const auto root = PredefinedRoot(item.root);
    if (!root) continue;
    const std::string rootName = RegistryRootName(item.root);
    const auto listValue = [&](std::string_view keyPath, std::string_view name) {
      foundValues_.Add({rootName + "\\" + std::string(keyPath) + "\\" + std::string(name), 0, -1});
    };
    bool ok = true;
    switch (item.kind) {
      case kCustomItemOneFile:
        if (ValueExists(*root, item.keyPath, item.valueName)) {
          ++registryFound_;
          foundValues_.Add({RegistryItemName(item), 0, -1});
        }
        break;
      case kCustomItemFolderFiles:
        ok = CountMatchingValues(*root, item.keyPath, item.pattern, registryFound_, listValue);
        break;
      case kCustomItemFolderTree:
        ok = CountMatchingValuesInTree(*root, item.keyPath, item.pattern, registryFound_, cancel,
                                       listValue);
        break;
      default:
        break;
    }
    if (!ok && cancel()) return;
  }
}

PluginResult CustomPlugin::EraseTracks() {
  ProgressReporter reporter(Owner(), GetId(), LoadSharedPluginText(LanguageFolder(), kClearingPage),
                            CancelEvent());
  const CancelCheck cancel = reporter.AsCancelCheck();
  DeletionTally& tally = Tally();
  filesErased_ = 0;
  bytesErased_ = 0;
  const CounterPair before = CopyCounters().current;
  bool cancelled = false;
  std::string dots;
  for (CustomFileItem& item : definition_.files) {
    reporter.Report(dots += '.');
    item.status = 0;
    const std::uint64_t itemsBefore = CopyCounters().current.items;
    const Overwrite overwrite = item.overwrite != 0 ? Overwrite::On : Overwrite::Off;
    const bool allowed = IsCustomItemPathAllowed(item.expandedPath, item.kind);
    bool ok = false;
    switch (item.kind) {
      case kCustomItemOneFile: {
        if (!allowed) break;
        const EraseResult result =
            EraseFile(item.expandedPath, overwrite, WipePattern::WipeRandom, cancel);
        if (result > 0) {
          tally.AddDone({1, ErasedBytes(result)});
          ok = true;
        } else if (result == kEraseAtRestart) {
          tally.AddScheduledAtRestart(item.expandedPath);
        } else if (EraseFailed(result)) {
          tally.AddFailed({1, 0});
        }
        break;
      }
      case kCustomItemFolderFiles:
        ok = allowed && IsDirectory(item.expandedPath) &&
             EraseFileSet(item.expandedPath, item.exclusions, item.masks, overwrite,
                          WipePattern::WipeRandom, cancel, &tally);
        break;
      case kCustomItemFolderTree:
        ok = allowed && IsDirectory(item.expandedPath) &&
             EraseFileSetTree(item.expandedPath, item.exclusions, item.masks, overwrite,
                              WipePattern::WipeRandom, cancel, &tally);
        // The emptied folder goes too, unless the system keeps using it (a temporary folder,
        // a shell folder): programs fail when their temporary folder is gone.
        if (ok && !IsSystemFolder(item.expandedPath)) {
          static_cast<void>(RemoveDirectoryW(item.expandedPath));
        }
        break;
      default:
        ok = true;  // nothing to do
        break;
    }
    if (ok) {
      item.status =
          CopyCounters().current.items != itemsBefore ? kCustomItemErased : kCustomItemNothing;
    } else if (reporter.IsCancelled()) {
      cancelled = true;
      break;
    } else {
      item.status = kCustomItemFailed;
    }
  }
  const CounterPair after = CopyCounters().current;
  filesErased_ = after.items - before.items;
  bytesErased_ = after.bytes - before.bytes;
  if (cancelled) return PluginResult::Cancelled;
  EraseRegistry(cancel);
  return PluginResult::Finished;
}

void CustomPlugin::EraseRegistry(const CancelCheck& cancel) {
  DeletionAccumulator treeTally;
  std::uint32_t count = 0;
  // Values that are there and stayed (a hive used read-only): failures, never silently skipped.
  std::uint32_t notDeleted = 0;
  for (CustomRegistryItem& item : definition_.registry) {
    item.status = 0;
    const auto root = PredefinedRoot(item.root);
    const std::uint64_t valuesBefore = count + treeTally.Erased().items;
    bool ok = false;
    switch (item.kind) {
      case kCustomItemOneFile: {
        const LONG error = root ? DeleteValue(*root, item.keyPath, item.valueName)
                                : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        ok = error == ERROR_SUCCESS;
        if (ok) ++count;
        if (!ok && error != ERROR_FILE_NOT_FOUND) ++notDeleted;
        break;
      }
      case kCustomItemFolderFiles:
        ok = root && DeleteMatchingValues(*root, item.keyPath, item.pattern, count, &notDeleted);
        break;
      case kCustomItemFolderTree:
        ok = root &&
             DeleteMatchingValuesInTree(*root, item.keyPath, item.pattern, cancel, &treeTally);
        break;
      default:
        ok = true;  // nothing to do
        break;
    }
    if (ok) {
      item.status =
          count + treeTally.Erased().items != valuesBefore ? kCustomItemErased : kCustomItemNothing;
    } else if (cancel()) {
      break;
    } else {
      item.status = kCustomItemFailed;
    }
  }
  count += treeTally.Erased().items;
  notDeleted += treeTally.NotErased().items;
  registryErased_ = count;
  Tally().AddDone({count, treeTally.Erased().bytes});
  if (notDeleted != 0) Tally().AddFailed({notDeleted, 0});
}

std::string CustomPlugin::FileItemName(const CustomFileItem& item) const {
  switch (item.kind) {
    case kCustomItemOneFile:
      return item.expandedPath;
    case kCustomItemFolderFiles:
    case kCustomItemFolderTree:
      return item.expandedPath + "\\" + item.masks;
    default:
      return {};
  }
}

std::string CustomPlugin::RegistryItemName(const CustomRegistryItem& item) const {
  const std::string key = RegistryRootName(item.root) + "\\" + item.keyPath + "\\";
  switch (item.kind) {
    case kCustomItemOneFile:
      return key + item.valueName;
    case kCustomItemFolderFiles:
    case kCustomItemFolderTree:
      return key + item.pattern;
    default:
      return {};
  }
}

namespace {

bool NamesSomething(std::int32_t kind) {
  return kind == kCustomItemOneFile || kind == kCustomItemFolderFiles ||
         kind == kCustomItemFolderTree;
}

// The row template filled for one item: "#result#" (a language snippet) before "#name#" (data),
// so that a path can never be taken for a placeholder.
std::string Row(const std::string& rowTemplate, const std::string* result,
                const std::string& name) {
  std::string row = rowTemplate;
  if (result != nullptr) TemplateStore::Replace(row, "#result#", *result);
  TemplateStore::Replace(row, "#name#", HtmlEscape(name));
  return row;
}

}  // namespace

int CustomPlugin::ShowDetails(dom::Element element) {
  if (GetScanState() == ScanState::NotScanned) return 1;
  std::string page = LoadPluginText("details.html");
  const std::string rowTemplate = LoadPluginText("detfiles.html");
  std::string fileRows;
  for (const CustomFileItem& item : definition_.files) {
    if (NamesSomething(item.kind)) fileRows += Row(rowTemplate, nullptr, FileItemName(item));
  }
  std::string registryRows;
  for (const CustomRegistryItem& item : definition_.registry) {
    if (NamesSomething(item.kind))
      registryRows += Row(rowTemplate, nullptr, RegistryItemName(item));
  }
  const bool hasItems = !definition_.files.empty() || !definition_.registry.empty();
  TemplateStore::Fill(page,
                      {{"#rnum#", std::to_string(registryFound_)},
                       {"#fnum#", std::to_string(filesFound_)},
                       {"#fsize#", FormatSize(bytesFound_)},
                       {"#icon#", hasItems ? LoadOkIcon() : LoadNoIcon()},
                       {"#ritems#", RowsOrNone(registryRows)},
                       {"#fitems#", RowsOrNone(fileRows)},
                       {"#foundfiles#", FoundItemsHtml(foundFiles_, LanguageFolder(), true)},
                       {"#foundvalues#", FoundItemsHtml(foundValues_, LanguageFolder(), false)}});
  element.SetInnerHtml(page);
  return 0;
}

int CustomPlugin::ShowReport(dom::Element element) {
  if (GetScanState() != ScanState::Erased) return 1;
  std::string page = LoadPluginText("report.html");
  const std::string rowTemplate = LoadPluginText("repfiles.html");
  const std::string nothing = LoadSharedPluginText(LanguageFolder(), kNothingToErase);
  const auto result = [this, &nothing](std::int32_t status) -> const std::string* {
    if (status == kCustomItemErased) return &ResErasedHtml();
    if (status == kCustomItemNothing) return &nothing;
    if (status == kCustomItemFailed) return &ResErrorHtml();
    return nullptr;
  };
  std::string fileRows;
  for (const CustomFileItem& item : definition_.files) {
    if (!NamesSomething(item.kind)) continue;
    if (const std::string* snippet = result(item.status)) {
      fileRows += Row(rowTemplate, snippet, FileItemName(item));
    }
  }
  std::string registryRows;
  for (const CustomRegistryItem& item : definition_.registry) {
    if (!NamesSomething(item.kind)) continue;
    if (const std::string* snippet = result(item.status)) {
      registryRows += Row(rowTemplate, snippet, RegistryItemName(item));
    }
  }
  TemplateStore::Fill(page, {{"#rnum#", std::to_string(registryErased_)},
                             {"#fnum#", std::to_string(filesErased_)},
                             {"#fsize#", FormatSize(bytesErased_)},
                             {"#ritems#", RowsOrNone(registryRows)},
                             {"#fitems#", RowsOrNone(fileRows)}});
  element.SetInnerHtml(page);
  return 0;
}

std::string CustomPlugin::RowsOrNone(const std::string& rows) const {
  // An empty table under its heading reads like a page that failed to load.
  return rows.empty() ? LoadPluginText("norows.html") : rows;
}

void AppendCustomPlugins(PluginList& list, PluginOwner& owner) {
  AppendCustomPlugins(list, owner, [](PluginOwner& o, std::string_view definitionPath) {
    return CustomPlugin::Load(o, definitionPath);
  });
}

}  // namespace corvane
