// libFuzzer target: the readable definition form of corvane-pld. Any text either fails with a
// message or gives a definition whose readable form reads back to the same definition.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/pld/pld_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  corvane::PldTextError error;
  const auto definition = corvane::ParsePldText(text, &error);
  if (!definition) {
    if (error.message.empty()) std::abort();
    return 0;
  }
  const auto again = corvane::ParsePldText(corvane::FormatPldText(*definition), &error);
  if (!again || !(*again == *definition)) std::abort();
  if (corvane::WriteCustomDefinition(*again) != corvane::WriteCustomDefinition(*definition)) {
    std::abort();
  }
  return 0;
}
