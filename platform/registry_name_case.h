#pragma once
// The case folding Wine applies to registry key and value names. Names compare one UTF-16 unit at
// a time after lower-casing each unit; only letters whose lower case maps back to them fold (so
// the Kelvin sign, U+0130 or U+1E9E keep their own place), and characters outside the BMP never
// fold. This decides both which names count as the same and the order keys are saved in.

namespace corvane {

// The unit as Wine lower-cases it for name comparisons.
[[nodiscard]] char16_t RegistryFoldCase(char16_t unit);

}  // namespace corvane
