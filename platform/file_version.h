#pragma once
// The version of an executable, as the Windows version resource gives it: the fixed version block
// (VS_FIXEDFILEINFO, signature 0xFEEF04BD) of a PE file's RT_VERSION resource. Our own ELF
// executables carry the same block, built from the project's version, in a section of their own
// named ".corvane_version" (52 bytes: the VS_FIXEDFILEINFO layout, little-endian), so one reader
// serves both the prefix's programs and the program itself.

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// The version fields of a fixed version block.
struct FixedFileVersion {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;
};

// The fixed version block of a PE or ELF file; nullopt when it has none or cannot be read.
[[nodiscard]] std::optional<FixedFileVersion> ReadFixedFileVersion(const std::string& path);

// "%u.%u.%u.%u": the high word of the product version's most significant half, the low word of
// the file version's most significant half, the high word of the file version's least
// significant half and the low word of the product version's least significant half (with equal
// file and product versions, major.minor.build.revision). "0.0.0.0" when the file has no block.
// The last path asked for and its answer are kept.
[[nodiscard]] std::string GetFileVersionString(const std::string& path);

// The full path of our own executable (empty when it cannot be read).
[[nodiscard]] std::string OwnExecutablePath();

}  // namespace corvane
