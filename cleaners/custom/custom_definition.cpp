#include "cleaners/custom/custom_definition.h"

#include <cstring>

#include "platform/file_handle.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace corvane {
namespace {

// Definitions list a few dozen paths; anything this large is not one, and reading it whole would
// only cost memory.
constexpr std::uint64_t kMaxDefinitionFileSize = 16u << 20;

// The fewest bytes each record can take, so that a count can be checked against what is left
// before anything is allocated for it.
constexpr std::size_t kMinString = 4;
constexpr std::size_t kMinFileItem = 4 + 4 + 4 + 3 + 16 + 4 + 4 + 4;
constexpr std::size_t kMinRegistryItem = 4 + 4 + 4 + 4 + 4;
constexpr std::size_t kMinNamePair = 4 + 4 + 4;
constexpr std::size_t kMinEntryRecord = 8 * 4;
constexpr std::size_t kMinGroupRecord = 4 + 4 + 4;

// Takes fields off the front of the bytes; every read fails rather than run past the end.
class FieldReader {
 public:
  explicit FieldReader(std::string_view bytes) : rest_(bytes) {}

  [[nodiscard]] bool AtEnd() const { return rest_.empty(); }

  [[nodiscard]] bool Raw(void* out, std::size_t size) {
    if (rest_.size() < size) return false;
    std::memcpy(out, rest_.data(), size);
    rest_.remove_prefix(size);
    return true;
  }

  [[nodiscard]] bool Byte(std::uint8_t& out) { return Raw(&out, 1); }

  [[nodiscard]] bool Number(std::int32_t& out) {
    std::uint32_t value = 0;
    if (!Unsigned(value)) return false;
    out = static_cast<std::int32_t>(value);
    return true;
  }

  // The stored bytes of a string, unconverted.
  [[nodiscard]] bool RawString(std::string_view& out) {
    std::uint32_t size = 0;
    if (!Unsigned(size) || size > rest_.size()) return false;
    out = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return true;
  }

  [[nodiscard]] bool String(std::string& out) {
    std::string_view raw;
    if (!RawString(raw)) return false;
    out = Cp1252ToUtf8(raw);
    return true;
  }

  // A count of records of at least minRecord bytes each: a negative count, or one the remaining
  // bytes could not hold, fails here.
  [[nodiscard]] bool Count(std::size_t minRecord, std::size_t& out) {
    std::int32_t count = 0;
    if (!Number(count) || count < 0) return false;
    if (static_cast<std::size_t>(count) > rest_.size() / minRecord) return false;
    out = static_cast<std::size_t>(count);
    return true;
  }

  [[nodiscard]] bool Strings(std::vector<std::string>& out) {
    std::size_t count = 0;
    if (!Count(kMinString, count)) return false;
    out.resize(count);
    for (auto& text : out) {
      if (!String(text)) return false;
    }
    return true;
  }

 private:
  [[nodiscard]] bool Unsigned(std::uint32_t& out) {
    std::uint8_t b[4];
    if (!Raw(b, sizeof b)) return false;
    out = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
          static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return true;
  }

  std::string_view rest_;
};

// Reads `count` records of at least minRecord bytes, each by `read`.
template <typename Record, typename ReadRecord>
[[nodiscard]] bool ReadRecords(FieldReader& in, std::size_t minRecord, std::vector<Record>& out,
                               ReadRecord read) {
  std::size_t count = 0;
  if (!in.Count(minRecord, count)) return false;
  out.resize(count);
  for (auto& record : out) {
    if (!read(record)) return false;
  }
  return true;
}

[[nodiscard]] bool ReadFileItem(FieldReader& in, CustomFileItem& item) {
  return in.String(item.path) && in.Number(item.kind) && in.String(item.masks) &&
         in.Byte(item.flagA) && in.Byte(item.overwrite) && in.Byte(item.flagC) &&
         in.Raw(item.date.data(), item.date.size()) && in.Number(item.number) &&
         in.Strings(item.exclusions) && in.Strings(item.names);
}

[[nodiscard]] bool ReadRegistryItem(FieldReader& in, CustomRegistryItem& item) {
  std::int32_t root = 0;
  if (!in.String(item.keyPath) || !in.String(item.valueName) || !in.Number(root)) return false;
  item.root = static_cast<std::uint32_t>(root);
  return in.Number(item.kind) && in.String(item.pattern);
}

[[nodiscard]] bool ReadTrailingSections(FieldReader& in, CustomDefinition& definition) {
  if (in.AtEnd()) return true;
  auto& entries = definition.entries.emplace();
  if (!ReadRecords(in, kMinEntryRecord, entries, [&in](CustomEntryRecord& r) {
        return in.String(r.text1) && in.String(r.text2) && in.Number(r.number1) &&
               in.Number(r.number2) && in.String(r.text3) && in.String(r.text4) &&
               in.Number(r.number3) && in.Number(r.number4);
      })) {
    return false;
  }
  if (in.AtEnd()) return true;
  auto& groups = definition.groups.emplace();
  if (!ReadRecords(in, kMinGroupRecord, groups, [&in](CustomGroupRecord& r) {
        return in.String(r.name) && in.Number(r.number) && in.Strings(r.texts);
      })) {
    return false;
  }
  if (in.AtEnd()) return true;
  auto& trailer = definition.trailer.emplace();
  if (!in.Number(trailer.number) || !in.String(trailer.text)) return false;
  if (in.AtEnd()) return true;
  return in.String(definition.finalText.emplace());
}

// Writes fields in the file's little-endian layout.
class FieldWriter {
 public:
  void Byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void Raw(const void* data, std::size_t size) {
    out_.append(static_cast<const char*>(data), size);
  }
  void Number(std::int32_t value) { Unsigned(static_cast<std::uint32_t>(value)); }
  void String(std::string_view text) { RawString(Utf8ToCp1252(text)); }
  void RawString(std::string_view bytes) {
    Unsigned(static_cast<std::uint32_t>(bytes.size()));
    out_.append(bytes);
  }
  void Count(std::size_t count) { Number(static_cast<std::int32_t>(count)); }
  void Strings(const std::vector<std::string>& texts) {
    Count(texts.size());
    for (const auto& text : texts) String(text);
  }
  [[nodiscard]] std::string Take() { return std::move(out_); }

 private:
  void Unsigned(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) Byte(static_cast<std::uint8_t>(value >> shift));
  }

  std::string out_;
};

}  // namespace

std::optional<CustomDefinition> ReadCustomDefinition(std::string_view bytes) {
  FieldReader in(bytes);
  std::string_view marker;
  if (!in.RawString(marker) || marker != kCustomDefinitionMarker) return std::nullopt;

  CustomDefinition definition;
  const bool ok =
      in.String(definition.name) && in.String(definition.description) &&
      in.Byte(definition.defaultEnabled) && in.Number(definition.number) &&
      ReadRecords(in, kMinFileItem, definition.files,
                  [&in](CustomFileItem& item) { return ReadFileItem(in, item); }) &&
      ReadRecords(in, kMinRegistryItem, definition.registry,
                  [&in](CustomRegistryItem& item) { return ReadRegistryItem(in, item); }) &&
      in.Strings(definition.texts1) && in.Strings(definition.texts2) &&
      in.Strings(definition.texts3) &&
      ReadRecords(in, kMinNamePair, definition.pairs,
                  [&in](CustomNamePair& r) {
                    return in.String(r.first) && in.String(r.second) && in.Number(r.number);
                  }) &&
      ReadTrailingSections(in, definition);
  if (!ok) return std::nullopt;
  return definition;
}

std::optional<CustomDefinition> ReadCustomDefinitionFile(std::string_view path) {
  FileHandle file = OpenExistingFile(path, FileAccess::Read);
  if (!file) return std::nullopt;
  const auto size = file.Size();
  if (!size) return std::nullopt;
  if (*size > kMaxDefinitionFileSize) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  // One byte more than the size, so a file that grew since is noticed rather than cut short.
  std::string bytes(static_cast<std::size_t>(*size) + 1, '\0');
  std::size_t total = 0;
  while (total < bytes.size()) {
    std::size_t read = 0;
    if (!file.Read(bytes.data() + total, bytes.size() - total, &read)) return std::nullopt;
    if (read == 0) break;
    total += read;
  }
  if (total > *size) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  bytes.resize(total);
  auto definition = ReadCustomDefinition(bytes);
  if (!definition) SetLastError(ERROR_INVALID_DATA);
  return definition;
}

std::string WriteCustomDefinition(const CustomDefinition& definition) {
  FieldWriter out;
  out.RawString(kCustomDefinitionMarker);
  out.String(definition.name);
  out.String(definition.description);
  out.Byte(definition.defaultEnabled);
  out.Number(definition.number);
  out.Count(definition.files.size());
  for (const auto& item : definition.files) {
    out.String(item.path);
    out.Number(item.kind);
    out.String(item.masks);
    out.Byte(item.flagA);
    out.Byte(item.overwrite);
    out.Byte(item.flagC);
    out.Raw(item.date.data(), item.date.size());
    out.Number(item.number);
    out.Strings(item.exclusions);
    out.Strings(item.names);
  }
  out.Count(definition.registry.size());
  for (const auto& item : definition.registry) {
    out.String(item.keyPath);
    out.String(item.valueName);
    out.Number(static_cast<std::int32_t>(item.root));
    out.Number(item.kind);
    out.String(item.pattern);
  }
  out.Strings(definition.texts1);
  out.Strings(definition.texts2);
  out.Strings(definition.texts3);
  out.Count(definition.pairs.size());
  for (const auto& pair : definition.pairs) {
    out.String(pair.first);
    out.String(pair.second);
    out.Number(pair.number);
  }

  // Each optional section is written when it or any later one is present.
  const bool withFinal = definition.finalText.has_value();
  const bool withTrailer = withFinal || definition.trailer.has_value();
  const bool withGroups = withTrailer || definition.groups.has_value();
  const bool withEntries = withGroups || definition.entries.has_value();
  if (withEntries) {
    const auto entries = definition.entries.value_or(std::vector<CustomEntryRecord>{});
    out.Count(entries.size());
    for (const auto& r : entries) {
      out.String(r.text1);
      out.String(r.text2);
      out.Number(r.number1);
      out.Number(r.number2);
      out.String(r.text3);
      out.String(r.text4);
      out.Number(r.number3);
      out.Number(r.number4);
    }
  }
  if (withGroups) {
    const auto groups = definition.groups.value_or(std::vector<CustomGroupRecord>{});
    out.Count(groups.size());
    for (const auto& r : groups) {
      out.String(r.name);
      out.Number(r.number);
      out.Strings(r.texts);
    }
  }
  if (withTrailer) {
    const auto trailer = definition.trailer.value_or(CustomTrailer{});
    out.Number(trailer.number);
    out.String(trailer.text);
  }
  if (withFinal) out.String(*definition.finalText);
  return out.Take();
}

}  // namespace corvane
