#include "ui/message_file.h"

#include "app/erase_app.h"

namespace corvane {

std::string MessageFileText(std::string_view languageFolder, std::string_view name,
                            const TemplateStore::Replacements& values) {
  std::string text = TemplateStore::Load("html\\" + std::string(languageFolder) + "\\Messages\\" +
                                         std::string(name));
  TemplateStore::Fill(text, values);
  // Files end with a line feed; the box should not show an empty last line.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

int ShowMessageFile(Host& host, HostWindow* owner, std::string_view languageFolder,
                    std::string_view name, unsigned style,
                    const TemplateStore::Replacements& values) {
  return host.MessageBox(owner, MessageFileText(languageFolder, name, values), kApplicationTitle,
                         style);
}

}  // namespace corvane
