#pragma once
// Message boxes whose text is a file of the current language: "html\<language>\Messages\<name>",
// plain text, captioned "Corvane Erase". A missing file gives an empty text (the box still has
// its buttons). Values given are filled into the text's "#name#" placeholders.

#include <string_view>

#include "platform/host_window.h"
#include "ui/template_store.h"

namespace corvane {

// The text of a message file, filled.
[[nodiscard]] std::string MessageFileText(std::string_view languageFolder, std::string_view name,
                                          const TemplateStore::Replacements& values = {});

// Shows the message over `owner` (may be null); answers the button pressed.
int ShowMessageFile(Host& host, HostWindow* owner, std::string_view languageFolder,
                    std::string_view name, unsigned style,
                    const TemplateStore::Replacements& values = {});

}  // namespace corvane
