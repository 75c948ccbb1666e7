// Writes a hive in Wine's text format. Every choice here (escapes, value forms, where hex lines
// wrap, the key line's seconds) reproduces what wineserver writes, so that a hive loaded and saved
// unchanged comes out byte for byte the same and Wine reads back exactly what we meant.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry_hive_file.h"
#include "platform/text.h"

namespace corvane {
namespace {

constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
constexpr std::int64_t kTicksPerSecond = 10000000;
// Wine breaks a hex line once it has grown past this many characters.
constexpr std::size_t kHexLineLimit = 76;

enum class EscapeKind { KeyName, Quoted };

bool IsAsciiHexDigit(char16_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void AppendHex(std::string& out, std::uint64_t v, int minDigits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = kDigits[v & 0xf];
    v >>= 4;
  } while (v != 0);
  for (int i = n; i < minDigits; ++i) out += '0';
  while (n > 0) out += buffer[--n];
}

void AppendOctal(std::string& out, unsigned v, int minDigits) {
  char buffer[4];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + (v & 7));
    v >>= 3;
  } while (v != 0);
  for (int i = n; i < minDigits; ++i) out += '0';
  while (n > 0) out += buffer[--n];
}

// The file is pure ASCII: everything else is escaped one UTF-16 unit at a time. A numeric escape
// is padded to its full width only where the next character would otherwise be read as one more
// digit of it.
void AppendEscaped(std::string& out, std::u16string_view units, EscapeKind kind) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    const char16_t next = i + 1 < units.size() ? units[i + 1] : u'\0';
    const bool hasNext = i + 1 < units.size();
    if (c > 127) {
      out += "\\x";
      AppendHex(out, c, hasNext && IsAsciiHexDigit(next) ? 4 : 1);
      continue;
    }
    if (c < 32) {
      out += '\\';
      switch (c) {
        case 7:
          out += 'a';
          break;
        case 8:
          out += 'b';
          break;
        case 9:
          out += 't';
          break;
        case 10:
          out += 'n';
          break;
        case 11:
          out += 'v';
          break;
        case 12:
          out += 'f';
          break;
        case 13:
          out += 'r';
          break;
        case 27:
          out += 'e';
          break;
        default:
          AppendOctal(out, c, hasNext && next >= '0' && next <= '7' ? 3 : 1);
      }
      continue;
    }
    const bool escape = c == '\\' || (kind == EscapeKind::KeyName && (c == '[' || c == ']')) ||
                        (kind == EscapeKind::Quoted && c == '"');
    if (escape) out += '\\';
    out += static_cast<char>(c);
  }
}

// UTF-8 text (a name or class): printable ASCII with nothing to escape, the common case, is
// copied as it is; anything else goes through UTF-16.
void AppendEscaped(std::string& out, std::string_view text, EscapeKind kind) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u > 127 || c == '\\' || c == '"' || c == '[' || c == ']') {
      AppendEscaped(out, std::u16string_view(Utf8ToUtf16(text)), kind);
      return;
    }
  }
  out += text;
}

// Little-endian UTF-16 data without its final NUL unit.
std::u16string UnitsOf(std::string_view bytes) {
  std::u16string units(bytes.size() / 2 - 1, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return units;
}

// Stored string data without its final NUL, escaped; plain ASCII is copied byte by byte.
void AppendStringData(std::string& out, std::string_view data) {
  const std::size_t units = data.size() / 2 - 1;
  for (std::size_t i = 0; i < units; ++i) {
    const char c = data[2 * i];
    if (data[2 * i + 1] != '\0' || static_cast<unsigned char>(c) < 32 ||
        static_cast<unsigned char>(c) > 127 || c == '\\' || c == '"') {
      AppendEscaped(out, std::u16string_view(UnitsOf(data)), EscapeKind::Quoted);
      return;
    }
  }
  for (std::size_t i = 0; i < units; ++i) out += data[2 * i];
}

// String forms are only possible when the data is what a string setter would have stored:
// whole UTF-16 units ending in a NUL.
bool IsStoredString(std::string_view data) {
  return !data.empty() && data.size() % 2 == 0 && data[data.size() - 1] == '\0' &&
         data[data.size() - 2] == '\0';
}

void AppendValue(std::string& out, const RegistryValue& value) {
  const std::size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    out += '"';
    AppendEscaped(out, std::string_view(value.name), EscapeKind::Quoted);
    out += '"';
  }
  out += '=';
  const std::string& data = value.data;
  const bool stringType =
      value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
  if (stringType && IsStoredString(data)) {
    if (value.type == REG_EXPAND_SZ) out += "str(2):";
    if (value.type == REG_MULTI_SZ) out += "str(7):";
    out += '"';
    AppendStringData(out, data);
    out += "\"\n";
    return;
  }
  if (value.type == REG_DWORD && data.size() == 4) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(data[i]);
    out += "dword:";
    AppendHex(out, v, 8);
    out += '\n';
    return;
  }
  if (value.type == REG_BINARY) {
    out += "hex:";
  } else {
    out += "hex(";
    AppendHex(out, value.type, 1);
    out += "):";
  }
  std::size_t column = out.size() - lineStart;
  for (std::size_t i = 0; i < data.size(); ++i) {
    AppendHex(out, static_cast<unsigned char>(data[i]), 2);
    column += 2;
    if (i + 1 == data.size()) break;
    out += ',';
    ++column;
    if (column > kHexLineLimit) {
      out += "\\\n  ";
      column = 2;
    }
  }
  out += '\n';
}

// The seconds on the key line are derived from the FILETIME with Wine's arithmetic: a signed
// difference from 1970 divided towards zero, printed as an unsigned 32-bit number.
std::uint32_t KeyLineSeconds(std::uint64_t modified) {
  const auto sinceEpoch = static_cast<std::int64_t>(modified - kTicks1601To1970);
  return static_cast<std::uint32_t>(sinceEpoch / kTicksPerSecond);
}

bool HasSavedSubkey(const RegistryNode& node) {
  for (const auto& subkey : node.subkeys) {
    if (!subkey->isVolatile) return true;
  }
  return false;
}

void AppendKey(std::string& out, const RegistryNode& node, const std::string& path) {
  out += "\n[";
  out += path;
  out += "] ";
  out += std::to_string(KeyLineSeconds(node.modified));
  out += "\n#time=";
  AppendHex(out, node.modified >> 32, 1);
  AppendHex(out, node.modified & 0xffffffffU, 8);
  out += '\n';
  if (node.hasClass) {
    out += "#class=\"";
    AppendEscaped(out, std::string_view(node.className), EscapeKind::Quoted);
    out += "\"\n";
  }
  if (node.isLink) out += "#link\n";
  for (const std::string& line : node.extraLines) {
    out += line;
    out += '\n';
  }
  for (const RegistryValue& value : node.values) AppendValue(out, value);
}

// Parents before children. A key that only holds sub-keys is left implicit: loading its
// children recreates it. Volatile keys and everything below them are never written.
void AppendTree(std::string& out, const RegistryNode& node, const std::string& path) {
  const bool isRoot = node.parent == nullptr;
  if (!isRoot || !node.values.empty() || node.hasClass) {
    if (!node.values.empty() || !HasSavedSubkey(node) || node.hasClass || node.isLink ||
        !node.extraLines.empty()) {
      AppendKey(out, node, path);
    }
  }
  for (const auto& subkey : node.subkeys) {
    if (subkey->isVolatile) continue;
    std::string subkeyPath = path;
    if (!isRoot) subkeyPath += "\\\\";
    AppendEscaped(subkeyPath, std::string_view(subkey->name), EscapeKind::KeyName);
    AppendTree(out, *subkey, subkeyPath);
  }
}

}  // namespace

std::string SerializeHive(const RegistryHive& hive) {
  std::string out = "WINE REGISTRY Version 2\n;; All keys relative to ";
  AppendEscaped(out, std::string_view(hive.branch), EscapeKind::KeyName);
  out += '\n';
  if (!hive.arch.empty() || !hive.extraHeaderLines.empty()) out += '\n';
  if (!hive.arch.empty()) {
    out += "#arch=";
    out += hive.arch;
    out += '\n';
  }
  for (const std::string& line : hive.extraHeaderLines) {
    out += line;
    out += '\n';
  }
  AppendTree(out, hive.root, std::string());
  return out;
}

}  // namespace corvane
