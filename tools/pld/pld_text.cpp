#include "tools/pld/pld_text.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "app/registry_patterns.h"
#include "platform/text.h"

namespace corvane {
namespace {

constexpr std::array<HKEY, 7> kRoots = {
    HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE, HKEY_USERS,
    HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

struct RootAlias {
  std::string_view name;
  HKEY root;
};
constexpr std::array<RootAlias, 5> kRootAliases = {{{"HKCR", HKEY_CLASSES_ROOT},
                                                    {"HKCU", HKEY_CURRENT_USER},
                                                    {"HKLM", HKEY_LOCAL_MACHINE},
                                                    {"HKU", HKEY_USERS},
                                                    {"HKCC", HKEY_CURRENT_CONFIG}}};

struct KindName {
  std::int32_t kind;
  std::string_view section;
};
constexpr std::array<KindName, 3> kFileSections = {{{kCustomItemOneFile, "file"},
                                                    {kCustomItemFolderFiles, "folder"},
                                                    {kCustomItemFolderTree, "tree"}}};
constexpr std::array<KindName, 3> kRegistrySections = {{{kCustomItemOneFile, "registry-value"},
                                                        {kCustomItemFolderFiles, "registry-key"},
                                                        {kCustomItemFolderTree, "registry-tree"}}};
constexpr std::string_view kFileItemSection = "file-item";
constexpr std::string_view kRegistryItemSection = "registry-item";

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A raw value as it stands, or a quoted one with its escapes resolved.
std::optional<std::string> Unquote(std::string_view raw, std::string& why) {
  if (raw.empty() || raw.front() != '"') return std::string(raw);
  if (raw.size() < 2 || raw.back() != '"') {
    why = "a quoted value must end with a double quote";
    return std::nullopt;
  }
  const std::string_view body = raw.substr(1, raw.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '"') {
      why = "a double quote inside a quoted value must be written \\\"";
      return std::nullopt;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == body.size()) {
      why = "a quoted value ends in the middle of an escape";
      return std::nullopt;
    }
    switch (body[i]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (i + 2 >= body.size() || HexDigit(body[i + 1]) < 0 || HexDigit(body[i + 2]) < 0) {
          why = "\\x takes two hexadecimal digits";
          return std::nullopt;
        }
        AppendUtf8(out, static_cast<char32_t>(HexDigit(body[i + 1]) * 16 + HexDigit(body[i + 2])));
        i += 2;
        break;
      }
      default:
        why = std::string("unknown escape \\") + body[i];
        return std::nullopt;
    }
  }
  return out;
}

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
      value.back() == '\t' || value.front() == '"') {
    return true;
  }
  for (const char c : value) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

std::string Quote(std::string_view value) {
  if (!NeedsQuotes(value)) return std::string(value);
  std::string out = "\"";
  for (const char c : value) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02x", b);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    std::uint32_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data() + 2, end, value, 16);
    if (error != std::errc() || at != end || text.size() == 2) return std::nullopt;
    return static_cast<std::int32_t>(value);
  }
  std::int32_t value = 0;
  const auto* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end) return std::nullopt;
  return value;
}

std::optional<std::uint8_t> ParseByte(std::string_view text) {
  if (text == "yes" || text == "true" || text == "on") return 1;
  if (text == "no" || text == "false" || text == "off") return 0;
  const auto number = ParseNumber(text);
  if (!number || *number < 0 || *number > 255) return std::nullopt;
  return static_cast<std::uint8_t>(*number);
}

std::optional<std::uint32_t> ParseRoot(std::string_view text) {
  for (const HKEY root : kRoots) {
    if (RegistryRootName(root) == text) return static_cast<std::uint32_t>(root);
  }
  for (const auto& alias : kRootAliases) {
    if (alias.name == text) return static_cast<std::uint32_t>(alias.root);
  }
  const auto number = ParseNumber(text);
  if (!number) return std::nullopt;
  return static_cast<std::uint32_t>(*number);
}

std::optional<std::array<std::uint8_t, 16>> ParseDate(std::string_view text) {
  if (text.size() != 32) return std::nullopt;
  std::array<std::uint8_t, 16> date{};
  for (std::size_t i = 0; i < date.size(); ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    date[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return date;
}

// Where the lines of the current section go.
enum class Section {
  Header,
  FileItem,
  RegistryItem,
  List1,
  List2,
  List3,
  Pair,
  Entry,
  Group,
  Trailer,
  Final
};

const std::map<std::string_view, Section> kRecordSections = {
    {"list-1", Section::List1},    {"list-2", Section::List2}, {"list-3", Section::List3},
    {"pair", Section::Pair},       {"entry", Section::Entry},  {"group", Section::Group},
    {"trailer", Section::Trailer}, {"final", Section::Final}};

class Parser {
 public:
  explicit Parser(PldTextError* error) : error_(error) {}

  std::optional<CustomDefinition> Run(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      if (!Line(Trim(text.substr(start, end - start)))) return std::nullopt;
      start = end + 1;
    }
    if (!FinishSection()) return std::nullopt;
    return std::move(definition_);
  }

 private:
  bool Fail(std::string message) {
    if (error_) *error_ = {line_, std::move(message)};
    return false;
  }

  bool Line(std::string_view line) {
    if (line.empty() || line.front() == '#' || line.front() == ';') return true;
    if (line.front() == '[') {
      if (line.back() != ']') return Fail("a section line must end with ]");
      return StartSection(Trim(line.substr(1, line.size() - 2)));
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return Fail("expected key = value");
    const std::string_view key = Trim(line.substr(0, equals));
    std::string why;
    const auto value = Unquote(Trim(line.substr(equals + 1)), why);
    if (!value) return Fail(why);
    if (Cp1252ToUtf8(Utf8ToCp1252(*value)) != *value) {
      return Fail("\"" + std::string(key) + "\" holds text that a definition file cannot store");
    }
    if (IsSingle(key) && !seen_.insert(std::string(key)).second) {
      return Fail("\"" + std::string(key) + "\" is given twice");
    }
    return Assign(key, *value);
  }

  // Keys that may appear once in a section; the others add one entry per line.
  static bool IsSingle(std::string_view key) {
    return key != "exclude" && key != "name-entry" && key != "text";
  }

  bool FinishSection() {
    if (section_ == Section::FileItem && needsKind_ && !seen_.contains("kind")) {
      return Fail("a [file-item] needs a kind");
    }
    if (section_ == Section::RegistryItem && needsKind_ && !seen_.contains("kind")) {
      return Fail("a [registry-item] needs a kind");
    }
    if (section_ == Section::FileItem && !seen_.contains("path")) {
      return Fail("a file item needs a path");
    }
    return true;
  }

  bool StartSection(std::string_view name) {
    if (!FinishSection()) return false;
    seen_.clear();
    needsKind_ = false;
    for (const auto& [kind, section] : kFileSections) {
      if (name == section) return StartFileItem(kind);
    }
    if (name == kFileItemSection) {
      needsKind_ = true;
      return StartFileItem(0);
    }
    for (const auto& [kind, section] : kRegistrySections) {
      if (name == section) return StartRegistryItem(kind);
    }
    if (name == kRegistryItemSection) {
      needsKind_ = true;
      return StartRegistryItem(0);
    }
    const auto record = kRecordSections.find(name);
    if (record == kRecordSections.end()) return Fail("unknown section [" + std::string(name) + "]");
    section_ = record->second;
    switch (section_) {
      case Section::Pair:
        definition_.pairs.emplace_back();
        break;
      case Section::Entry:
        Entries().emplace_back();
        break;
      case Section::Group:
        Groups().emplace_back();
        break;
      case Section::Trailer:
        if (trailerGiven_) return Fail("there is only one [trailer]");
        trailerGiven_ = true;
        Trailer();
        break;
      case Section::Final:
        if (finalGiven_) return Fail("there is only one [final]");
        finalGiven_ = true;
        Trailer();
        definition_.finalText.emplace();
        break;
      default:
        break;
    }
    return true;
  }

  // The optional sections are positional: a later one implies the ones before it.
  std::vector<CustomEntryRecord>& Entries() {
    if (!definition_.entries) definition_.entries.emplace();
    return *definition_.entries;
  }
  std::vector<CustomGroupRecord>& Groups() {
    Entries();
    if (!definition_.groups) definition_.groups.emplace();
    return *definition_.groups;
  }

  CustomTrailer& Trailer() {
    Groups();
    if (!definition_.trailer) definition_.trailer.emplace();
    return *definition_.trailer;
  }

  bool StartFileItem(std::int32_t kind) {
    section_ = Section::FileItem;
    definition_.files.emplace_back().kind = kind;
    return true;
  }
  bool StartRegistryItem(std::int32_t kind) {
    section_ = Section::RegistryItem;
    definition_.registry.emplace_back().kind = kind;
    return true;
  }

  bool Number(std::string_view key, const std::string& value, std::int32_t& out) {
    const auto number = ParseNumber(value);
    if (!number) return Fail("\"" + std::string(key) + "\" takes a number");
    out = *number;
    return true;
  }
  bool Byte(std::string_view key, const std::string& value, std::uint8_t& out) {
    const auto byte = ParseByte(value);
    if (!byte) return Fail("\"" + std::string(key) + "\" takes 0 to 255, yes or no");
    out = *byte;
    return true;
  }
  bool Unknown(std::string_view key) {
    return Fail("unknown key \"" + std::string(key) + "\" here");
  }

  bool Assign(std::string_view key, const std::string& value) {
    switch (section_) {
      case Section::Header:
        return Header(key, value);
      case Section::FileItem:
        return FileItem(key, value, definition_.files.back());
      case Section::RegistryItem:
        return RegistryItem(key, value, definition_.registry.back());
      case Section::List1:
        return Text(key, value, definition_.texts1);
      case Section::List2:
        return Text(key, value, definition_.texts2);
      case Section::List3:
        return Text(key, value, definition_.texts3);
      case Section::Pair: {
        auto& pair = definition_.pairs.back();
        if (key == "first") return pair.first = value, true;
        if (key == "second") return pair.second = value, true;
        if (key == "number") return Number(key, value, pair.number);
        return Unknown(key);
      }
      case Section::Entry: {
        auto& entry = definition_.entries->back();
        const std::map<std::string_view, std::string*> texts = {{"text1", &entry.text1},
                                                                {"text2", &entry.text2},
                                                                {"text3", &entry.text3},
                                                                {"text4", &entry.text4}};
        const std::map<std::string_view, std::int32_t*> numbers = {{"number1", &entry.number1},
                                                                   {"number2", &entry.number2},
                                                                   {"number3", &entry.number3},
                                                                   {"number4", &entry.number4}};
        if (const auto text = texts.find(key); text != texts.end())
          return *text->second = value, true;
        if (const auto number = numbers.find(key); number != numbers.end()) {
          return Number(key, value, *number->second);
        }
        return Unknown(key);
      }
      case Section::Group: {
        auto& group = definition_.groups->back();
        if (key == "name") return group.name = value, true;
        if (key == "number") return Number(key, value, group.number);
        if (key == "text") return group.texts.push_back(value), true;
        return Unknown(key);
      }
      case Section::Trailer:
        if (key == "number") return Number(key, value, definition_.trailer->number);
        if (key == "text") {
          if (!seen_.insert("trailer-text").second) return Fail("\"text\" is given twice");
          return definition_.trailer->text = value, true;
        }
        return Unknown(key);
      case Section::Final:
        if (key == "text") {
          if (!seen_.insert("final-text").second) return Fail("\"text\" is given twice");
          return *definition_.finalText = value, true;
        }
        return Unknown(key);
    }
    return Unknown(key);
  }

  bool Header(std::string_view key, const std::string& value) {
    if (key == "name") return definition_.name = value, true;
    if (key == "description") return definition_.description = value, true;
    if (key == "enabled") return Byte(key, value, definition_.defaultEnabled);
    if (key == "number") return Number(key, value, definition_.number);
    if (key == "optional-sections") {
      std::int32_t count = 0;
      if (!Number(key, value, count) || count < 0 || count > 4) {
        return Fail("\"optional-sections\" takes 0 to 4");
      }
      if (count >= 1) Entries();
      if (count >= 2) Groups();
      if (count >= 3) Trailer();
      if (count >= 4 && !definition_.finalText) definition_.finalText.emplace();
      return true;
    }
    return Unknown(key);
  }

  bool FileItem(std::string_view key, const std::string& value, CustomFileItem& item) {
    if (key == "path") return item.path = value, true;
    if (key == "masks") return item.masks = value, true;
    if (key == "overwrite") return Byte(key, value, item.overwrite);
    if (key == "flag-a") return Byte(key, value, item.flagA);
    if (key == "flag-c") return Byte(key, value, item.flagC);
    if (key == "number") return Number(key, value, item.number);
    if (key == "exclude") return item.exclusions.push_back(value), true;
    if (key == "name-entry") return item.names.push_back(value), true;
    if (key == "kind" && needsKind_) return Number(key, value, item.kind);
    if (key == "date") {
      const auto date = ParseDate(value);
      if (!date) return Fail("\"date\" takes 32 hexadecimal digits (16 bytes)");
      item.date = *date;
      return true;
    }
    return Unknown(key);
  }

  bool RegistryItem(std::string_view key, const std::string& value, CustomRegistryItem& item) {
    if (key == "key") return item.keyPath = value, true;
    if (key == "value") return item.valueName = value, true;
    if (key == "pattern") return item.pattern = value, true;
    if (key == "kind" && needsKind_) return Number(key, value, item.kind);
    if (key == "root") {
      const auto root = ParseRoot(value);
      if (!root) return Fail("\"root\" takes a root key name such as HKEY_CURRENT_USER");
      item.root = *root;
      return true;
    }
    return Unknown(key);
  }

  bool Text(std::string_view key, const std::string& value, std::vector<std::string>& texts) {
    if (key != "text") return Unknown(key);
    texts.push_back(value);
    return true;
  }

  PldTextError* error_;
  std::size_t line_ = 0;
  Section section_ = Section::Header;
  std::set<std::string> seen_;
  bool needsKind_ = false;
  bool trailerGiven_ = false;
  bool finalGiven_ = false;
  CustomDefinition definition_;
};

class Formatter {
 public:
  void Key(std::string_view key, std::string_view value) {
    out_ += std::string(key) + " = " + Quote(value) + "\n";
  }
  void Number(std::string_view key, std::int64_t value) {
    out_ += std::string(key) + " = " + std::to_string(value) + "\n";
  }
  void Section(std::string_view name) { out_ += "\n[" + std::string(name) + "]\n"; }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

template <std::size_t N>
std::string_view SectionOf(const std::array<KindName, N>& sections, std::int32_t kind) {
  for (const auto& entry : sections) {
    if (entry.kind == kind) return entry.section;
  }
  return {};
}

std::string RootText(std::uint32_t root) {
  const std::string name = RegistryRootName(root);
  if (!name.empty()) return name;
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", root);
  return text;
}

}  // namespace

std::optional<CustomDefinition> ParsePldText(std::string_view text, PldTextError* error) {
  return Parser(error).Run(text);
}

std::string FormatPldText(const CustomDefinition& d) {
  Formatter out;
  out.Key("name", d.name);
  out.Key("description", d.description);
  out.Number("enabled", d.defaultEnabled);
  if (d.number != 0) out.Number("number", d.number);
  const int optional = d.finalText ? 4 : d.trailer ? 3 : d.groups ? 2 : d.entries ? 1 : 0;
  if (optional != 0) out.Number("optional-sections", optional);

  for (const auto& item : d.files) {
    const std::string_view section = SectionOf(kFileSections, item.kind);
    out.Section(section.empty() ? kFileItemSection : section);
    if (section.empty()) out.Number("kind", item.kind);
    out.Key("path", item.path);
    if (!item.masks.empty() || item.kind != kCustomItemOneFile) out.Key("masks", item.masks);
    if (item.overwrite != 0) out.Number("overwrite", item.overwrite);
    if (item.flagA != 0) out.Number("flag-a", item.flagA);
    if (item.flagC != 0) out.Number("flag-c", item.flagC);
    if (item.date != std::array<std::uint8_t, 16>{}) {
      std::string hex;
      for (const std::uint8_t b : item.date) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", b);
        hex += pair;
      }
      out.Key("date", hex);
    }
    if (item.number != 0) out.Number("number", item.number);
    for (const auto& exclusion : item.exclusions) out.Key("exclude", exclusion);
    for (const auto& name : item.names) out.Key("name-entry", name);
  }
  for (const auto& item : d.registry) {
    const std::string_view section = SectionOf(kRegistrySections, item.kind);
    out.Section(section.empty() ? kRegistryItemSection : section);
    if (section.empty()) out.Number("kind", item.kind);
    out.Key("root", RootText(item.root));
    out.Key("key", item.keyPath);
    if (!item.valueName.empty() || item.kind == kCustomItemOneFile) {
      out.Key("value", item.valueName);
    }
    if (!item.pattern.empty()) out.Key("pattern", item.pattern);
  }
  const auto list = [&out](std::string_view name, const std::vector<std::string>& texts) {
    if (texts.empty()) return;
    out.Section(name);
    for (const auto& text : texts) out.Key("text", text);
  };
  list("list-1", d.texts1);
  list("list-2", d.texts2);
  list("list-3", d.texts3);
  for (const auto& pair : d.pairs) {
    out.Section("pair");
    out.Key("first", pair.first);
    out.Key("second", pair.second);
    out.Number("number", pair.number);
  }
  for (const auto& entry : d.entries.value_or(std::vector<CustomEntryRecord>{})) {
    out.Section("entry");
    out.Key("text1", entry.text1);
    out.Key("text2", entry.text2);
    out.Number("number1", entry.number1);
    out.Number("number2", entry.number2);
    out.Key("text3", entry.text3);
    out.Key("text4", entry.text4);
    out.Number("number3", entry.number3);
    out.Number("number4", entry.number4);
  }
  for (const auto& group : d.groups.value_or(std::vector<CustomGroupRecord>{})) {
    out.Section("group");
    out.Key("name", group.name);
    out.Number("number", group.number);
    for (const auto& text : group.texts) out.Key("text", text);
  }
  if (d.trailer) {
    out.Section("trailer");
    out.Number("number", d.trailer->number);
    out.Key("text", d.trailer->text);
  }
  if (d.finalText) {
    out.Section("final");
    out.Key("text", *d.finalText);
  }
  return out.Take();
}

}  // namespace corvane
