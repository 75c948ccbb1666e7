#pragma once
// How every result page writes a byte count: two decimals and a unit.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// "B" below 500 bytes, "KB" below 500,000, "MB" below 500,000,000, else "GB" (any count of 4 GiB
// or more is in GB); the thresholds are decimal, the divisors powers of 1024, so 500 bytes read
// "0.49 KB". The value is computed in single precision, as the pages always showed it.
[[nodiscard]] std::string FormatSize(std::uint64_t bytes);

// As FormatSize, but "—" for nothing: an empty size is no measurement to read.
[[nodiscard]] std::string FormatSizeOrDash(std::uint64_t bytes);

// The count in groups of three digits joined by `separator` ("1,234,567" in English).
[[nodiscard]] std::string FormatCount(std::uint64_t count, std::string_view separator = ",");

}  // namespace corvane
