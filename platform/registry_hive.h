#pragma once
// One registry hive in memory, as Wine keeps it in system.reg / user.reg / userdef.reg.
// Keys and values are case-insensitive and case-preserving and stay sorted the way Wine sorts
// them (case-insensitively; on an equal prefix the shorter name first), so enumeration by index
// and the saved file follow Wine's order. Value data is raw bytes: REG_SZ and REG_EXPAND_SZ are
// UTF-16LE with their terminating NUL, exactly as Windows stores them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

struct RegistryValue {
  std::string name;  // UTF-8; empty = the key's default value ("@" in the file)
  std::uint32_t type = REG_NONE;
  std::string data;  // raw bytes
};

struct RegistryNode {
  std::string name;  // UTF-8, case preserved
  RegistryNode* parent = nullptr;
  std::uint64_t modified = 0;  // FILETIME of the last change ("#time=")
  std::string className;       // "#class=" when hasClass
  bool hasClass = false;
  bool isLink = false;                // "#link": its "SymbolicLinkValue" names the target
  bool isVolatile = false;            // never saved
  std::vector<RegistryValue> values;  // sorted by name
  std::vector<std::unique_ptr<RegistryNode>> subkeys;  // sorted by name
  // "#..." lines of this key that this program does not know, kept so that saving writes them
  // back unchanged (after #time, #class and #link, in their original order).
  std::vector<std::string> extraLines;

  // Case-insensitive look-ups; null / nullptr when absent.
  [[nodiscard]] RegistryNode* FindSubkey(std::string_view subkeyName) const;
  [[nodiscard]] const RegistryValue* FindValue(std::string_view valueName) const;
  [[nodiscard]] RegistryValue* FindValue(std::string_view valueName);
  // The existing sub-key of that name, else a new one inserted in order.
  RegistryNode& AddSubkey(std::string_view subkeyName);
  // Sets (or adds, in order) a value; the name keeps the spelling of an existing value.
  RegistryValue& SetValue(std::string_view valueName, std::uint32_t type, std::string data);
  bool RemoveValue(std::string_view valueName);
  bool RemoveSubkey(std::string_view subkeyName);
  // "Software\\Wine" style path from the hive's root (the root itself is "").
  [[nodiscard]] std::string Path() const;
};

// Wine's name order: case-insensitive, the shorter name first on an equal prefix.
[[nodiscard]] int CompareRegistryNames(std::string_view a, std::string_view b);

// FILETIME now (100 ns ticks since 1601-01-01 UTC).
[[nodiscard]] std::uint64_t FileTimeNow();

struct RegistryHive {
  std::string branch;  // from ";; All keys relative to ...", e.g. "REGISTRY\\Machine"
  std::string arch;    // "win32" / "win64" / empty when the file has no #arch line
  RegistryNode root;
  bool readOnly = false;   // set when the file did not parse completely: never saved
  std::string parseError;  // "file:line: what" when readOnly because of a parse failure
  // "#..." header lines other than #arch, kept and written back after it unchanged.
  std::vector<std::string> extraHeaderLines;
};

}  // namespace corvane
