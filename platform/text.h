#pragma once
// Text conversions at the boundaries that store UTF-16 (registry data, binary formats) or 8-bit
// Windows text, and the case-insensitive comparisons Windows applies to file and registry names.
// Text in memory is UTF-8.

#include <string>
#include <string_view>

namespace corvane {

// UTF-8 → UTF-16. Invalid sequences become U+FFFD; a byte-order mark is kept as U+FEFF.
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 → UTF-8. An unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view text);
// Little-endian UTF-16 bytes → UTF-8, up to the first NUL unit (or the end). An odd trailing byte
// is ignored.
[[nodiscard]] std::string Utf16LeBytesToUtf8(std::string_view bytes);
// UTF-16 units as little-endian bytes: how the registry and binary formats store them.
[[nodiscard]] std::string Utf16ToLeBytes(std::u16string_view units);
// UTF-8 text as REG_SZ / REG_EXPAND_SZ data: little-endian UTF-16 with its terminating NUL.
[[nodiscard]] std::string RegistryStringData(std::string_view text);
// The UTF-8 text with every invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string SanitizeUtf8(std::string_view text);
// Windows-1252 → UTF-8 and back (unmappable characters become '?').
[[nodiscard]] std::string Cp1252ToUtf8(std::string_view text);
[[nodiscard]] std::string Utf8ToCp1252(std::string_view text);

// Case folding as Windows applies it to names: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic letters fold to upper case; everything else compares as it is.
[[nodiscard]] char32_t FoldCase(char32_t c);
// Upper-cased copy of UTF-8 text, by FoldCase.
[[nodiscard]] std::string FoldCase(std::string_view text);
// Case-insensitive equality and three-way comparison of UTF-8 text (code point order after
// folding; on an equal prefix the shorter text sorts first).
[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);
[[nodiscard]] int CompareNoCase(std::string_view a, std::string_view b);

// Decodes one code point at text[pos], advancing pos; an invalid sequence yields U+FFFD and
// advances by one byte.
[[nodiscard]] char32_t DecodeUtf8(std::string_view text, std::size_t& pos);
void AppendUtf8(std::string& out, char32_t c);

}  // namespace corvane
