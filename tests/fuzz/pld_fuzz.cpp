// libFuzzer target: the ".pld" reader on arbitrary bytes. Definitions are files anyone can drop
// into the program folder, so no input may crash the reader, read past its end or allocate
// beyond what the bytes could hold; and whatever it accepts must write back and read again to
// the same definition.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cleaners/custom/custom_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto definition = corvane::ReadCustomDefinition(bytes);
  if (!definition) return 0;
  // Text the file's code page cannot hold is written as '?', so the first write may differ from
  // the input; from then on the form is stable.
  const std::string written = corvane::WriteCustomDefinition(*definition);
  const auto again = corvane::ReadCustomDefinition(written);
  if (!again) std::abort();
  if (corvane::WriteCustomDefinition(*again) != written) std::abort();
  return 0;
}
