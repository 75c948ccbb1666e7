#include "engine/cleaner_texts.h"

#include "ui/template_store.h"

namespace corvane {

std::string SharedPluginFolder(std::string_view languageFolder) {
  return "html\\" + std::string(languageFolder) + "\\Plugins\\";
}

std::string LoadSharedPluginText(std::string_view languageFolder, std::string_view fileName) {
  return TemplateStore::Load(SharedPluginFolder(languageFolder) + std::string(fileName));
}

std::string LoadOkIcon() {
  return TemplateStore::Load(kOkIconFile);
}

std::string LoadNoIcon() {
  return TemplateStore::Load(kNoIconFile);
}

}  // namespace corvane
