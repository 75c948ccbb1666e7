#pragma once
// The ".pld" definition of a data-described cleaner: which files, folders and registry values it
// removes. The file is a run of little-endian fields (32-bit signed numbers, bytes, and strings
// stored as a 32-bit byte count and Windows-1252 text without a terminator). Definitions are
// dropped into the program folder by hand, so nothing in one is trusted: a file that is short,
// truncated or claims more than it holds is refused as a whole, never partly taken.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The first string of every definition file.
inline constexpr std::string_view kCustomDefinitionMarker = "[&&^%&A c t i o n##]";

// What a file item names; any other kind is passed over.
inline constexpr std::int32_t kCustomItemOneFile = 0;
inline constexpr std::int32_t kCustomItemFolderFiles = 2;
inline constexpr std::int32_t kCustomItemFolderTree = 3;

// Outcome an erase leaves on an item (0 until an erase has looked at it).
inline constexpr std::int32_t kCustomItemErased = 2;
inline constexpr std::int32_t kCustomItemFailed = 3;
// Done, but there was nothing to remove.
inline constexpr std::int32_t kCustomItemNothing = 4;

// A file, or the files of a folder (and its subfolders), to remove.
struct CustomFileItem {
  std::string path;  // as stored, with path macros
  std::int32_t kind = kCustomItemOneFile;
  std::string masks;  // "|"-separated masks for the folder kinds
  std::uint8_t flagA = 0;
  std::uint8_t overwrite = 0;  // non-zero: overwrite the files before deleting them
  std::uint8_t flagC = 0;
  std::array<std::uint8_t, 16> date{};  // a SYSTEMTIME, kept as stored
  std::int32_t number = 0;
  std::vector<std::string> exclusions;  // names relative to each folder, never touched
  std::vector<std::string> names;
  std::string expandedPath;  // path with its macros resolved by the last scan
  std::int32_t status = 0;   // not stored in the file

  bool operator==(const CustomFileItem&) const = default;
};

// A registry value, or the values of a key (and its sub-keys) matching a pattern, to delete.
struct CustomRegistryItem {
  std::string keyPath;
  std::string valueName;
  std::uint32_t root = 0;  // a predefined root key such as 0x80000001 (HKEY_CURRENT_USER)
  std::int32_t kind = 0;   // 0 one value; 2 matching values of the key; 3 of its tree too
  std::string pattern;
  std::int32_t status = 0;  // not stored in the file

  bool operator==(const CustomRegistryItem&) const = default;
};

// The records of the sections the cleaner does not use; kept so a definition reads and writes
// back whole.
struct CustomNamePair {
  std::string first;
  std::string second;
  std::int32_t number = 0;

  bool operator==(const CustomNamePair&) const = default;
};

struct CustomEntryRecord {
  std::string text1;
  std::string text2;
  std::int32_t number1 = 0;
  std::int32_t number2 = 0;
  std::string text3;
  std::string text4;
  std::int32_t number3 = 0;
  std::int32_t number4 = 0;

  bool operator==(const CustomEntryRecord&) const = default;
};

struct CustomGroupRecord {
  std::string name;
  std::int32_t number = 0;
  std::vector<std::string> texts;

  bool operator==(const CustomGroupRecord&) const = default;
};

struct CustomTrailer {
  std::int32_t number = 0;
  std::string text;

  bool operator==(const CustomTrailer&) const = default;
};

// A parsed definition file. The last four sections are optional: older files end before them.
struct CustomDefinition {
  std::string name;
  std::string description;
  std::uint8_t defaultEnabled = 0;
  std::int32_t number = 0;
  std::vector<CustomFileItem> files;
  std::vector<CustomRegistryItem> registry;
  std::vector<std::string> texts1;
  std::vector<std::string> texts2;
  std::vector<std::string> texts3;
  std::vector<CustomNamePair> pairs;
  std::optional<std::vector<CustomEntryRecord>> entries;
  std::optional<std::vector<CustomGroupRecord>> groups;
  std::optional<CustomTrailer> trailer;
  std::optional<std::string> finalText;

  bool operator==(const CustomDefinition&) const = default;
};

// Parses a whole definition file; none when the marker differs or the bytes are short of what
// the fields claim. Bytes after the last section are ignored.
[[nodiscard]] std::optional<CustomDefinition> ReadCustomDefinition(std::string_view bytes);
// Reads and parses the file at any path (HostPath); none when it cannot be read (the last error
// says why), or is larger than a definition could sensibly be or does not parse
// (ERROR_INVALID_DATA).
[[nodiscard]] std::optional<CustomDefinition> ReadCustomDefinitionFile(std::string_view path);

// The file bytes of a definition, the inverse of ReadCustomDefinition. Text that Windows-1252
// cannot hold becomes '?'. An optional section that is absent while a later one is present is
// written empty, since a reader can only tell sections apart by their order.
[[nodiscard]] std::string WriteCustomDefinition(const CustomDefinition& definition);

}  // namespace corvane
