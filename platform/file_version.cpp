#include "platform/file_version.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string_view>
#include <vector>

namespace corvane {

namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
constexpr char kOwnVersionSection[] = ".corvane_version";

#ifndef CORVANE_VERSION_MAJOR
#error "the build defines the project's version"
#endif

constexpr std::uint32_t kOwnMS = (CORVANE_VERSION_MAJOR << 16) | CORVANE_VERSION_MINOR;
constexpr std::uint32_t kOwnLS = (CORVANE_VERSION_PATCH << 16) | CORVANE_VERSION_TWEAK;

}  // namespace

// Our executable's version block, in the layout of VS_FIXEDFILEINFO: signature, structure
// version 1.0, file version, product version, flags mask, flags, VOS_NT_WINDOWS32, VFT_APP,
// sub-type and date. "used" keeps it although nothing reads it in memory: it is read from the
// file, as the version of a Windows program is.
[[gnu::used, gnu::section(".corvane_version")]] const std::uint32_t kCorvaneVersionBlock[13] = {
    kFixedInfoSignature, 0x00010000, kOwnMS, kOwnLS, kOwnMS, kOwnLS, 0x3F, 0,
    0x00040004,          1,          0,      0,      0};

namespace {

// Bounded reads of a file: every offset and length is checked against its size.
class FileReader {
 public:
  explicit FileReader(const std::string& path) : stream_(path, std::ios::binary) {
    if (stream_) {
      stream_.seekg(0, std::ios::end);
      size_ = static_cast<std::uint64_t>(stream_.tellg());
    }
  }
  [[nodiscard]] bool Read(std::uint64_t offset, void* out, std::size_t length) {
    if (!stream_ || offset > size_ || length > size_ - offset) return false;
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
    return static_cast<bool>(stream_);
  }
  [[nodiscard]] std::optional<std::uint16_t> U16(std::uint64_t offset) {
    std::array<unsigned char, 2> b{};
    if (!Read(offset, b.data(), b.size())) return std::nullopt;
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  [[nodiscard]] std::optional<std::uint32_t> U32(std::uint64_t offset) {
    std::array<unsigned char, 4> b{};
    if (!Read(offset, b.data(), b.size())) return std::nullopt;
    return static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16 |
                                      static_cast<std::uint32_t>(b[3]) << 24);
  }
  [[nodiscard]] std::optional<std::uint64_t> U64(std::uint64_t offset) {
    const auto low = U32(offset);
    const auto high = U32(offset + 4);
    if (!low || !high) return std::nullopt;
    return *low | static_cast<std::uint64_t>(*high) << 32;
  }

 private:
  std::ifstream stream_;
  std::uint64_t size_ = 0;
};

std::uint32_t LoadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
         static_cast<std::uint32_t>(p[3]) << 24;
}

// A fixed version block at `offset`, when its signature is there.
std::optional<FixedFileVersion> ReadFixedBlock(FileReader& file, std::uint64_t offset) {
  std::array<unsigned char, kFixedInfoSize> block{};
  if (!file.Read(offset, block.data(), block.size())) return std::nullopt;
  if (LoadU32(block.data()) != kFixedInfoSignature) return std::nullopt;
  return FixedFileVersion{LoadU32(block.data() + 8), LoadU32(block.data() + 12),
                          LoadU32(block.data() + 16), LoadU32(block.data() + 20)};
}

struct PeSection {
  std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

std::optional<std::uint64_t> RvaToOffset(const std::vector<PeSection>& sections,
                                         std::uint32_t rva) {
  for (const PeSection& s : sections) {
    const std::uint64_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span &&
        rva - s.virtualAddress < s.rawSize) {
      return static_cast<std::uint64_t>(s.rawOffset) + (rva - s.virtualAddress);
    }
  }
  return std::nullopt;
}

// A resource directory's entry: the one with `id`, or the first one when `id` is empty. Answers
// the entry's OffsetToData.
std::optional<std::uint32_t> ResourceEntry(FileReader& file, std::uint64_t base,
                                           std::uint32_t directory,
                                           std::optional<std::uint32_t> id) {
  const auto named = file.U16(base + directory + 12);
  const auto ids = file.U16(base + directory + 14);
  if (!named || !ids) return std::nullopt;
  const std::uint32_t count = *named + *ids;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = base + directory + 16 + 8ull * i;
    const auto name = file.U32(entry);
    const auto data = file.U32(entry + 4);
    if (!name || !data) return std::nullopt;
    if (!id || (!(*name & 0x80000000u) && *name == *id)) return *data;
  }
  return std::nullopt;
}

std::optional<FixedFileVersion> ReadPeVersion(FileReader& file) {
  const auto peOffset = file.U32(0x3C);
  const auto signature = peOffset ? file.U32(*peOffset) : std::nullopt;
  if (!signature || *signature != 0x00004550) return std::nullopt;  // "PE\0\0"
  const std::uint64_t coff = *peOffset + 4ull;
  const auto sectionCount = file.U16(coff + 2);
  const auto optionalSize = file.U16(coff + 16);
  const auto magic = file.U16(coff + 20);
  if (!sectionCount || !optionalSize || !magic) return std::nullopt;
  const std::uint64_t optional = coff + 20;
  std::uint64_t directories = 0;
  std::uint64_t countField = 0;
  if (*magic == 0x10b) {
    countField = optional + 92;
    directories = optional + 96;
  } else if (*magic == 0x20b) {
    countField = optional + 108;
    directories = optional + 112;
  } else {
    return std::nullopt;
  }
  const auto directoryCount = file.U32(countField);
  constexpr std::uint32_t kResourceDirectory = 2;
  if (!directoryCount || *directoryCount <= kResourceDirectory ||
      directories + 8ull * (kResourceDirectory + 1) > optional + *optionalSize) {
    return std::nullopt;
  }
  const auto resourceRva = file.U32(directories + 8ull * kResourceDirectory);
  if (!resourceRva || *resourceRva == 0) return std::nullopt;

  std::vector<PeSection> sections;
  const std::uint64_t table = optional + *optionalSize;
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t header = table + 40ull * i;
    const auto vsize = file.U32(header + 8), va = file.U32(header + 12);
    const auto rsize = file.U32(header + 16), raw = file.U32(header + 20);
    if (!vsize || !va || !rsize || !raw) return std::nullopt;
    sections.push_back({*va, *vsize, *raw, *rsize});
  }
  const auto base = RvaToOffset(sections, *resourceRva);
  if (!base) return std::nullopt;

  // Type RT_VERSION (16), then its first name, then its first language: a data entry.
  constexpr std::uint32_t kRtVersion = 16;
  constexpr std::uint32_t kSubdirectory = 0x80000000u;
  std::uint32_t offset = 0;
  for (int level = 0; level < 2; ++level) {
    const auto entry =
        ResourceEntry(file, *base, offset, level == 0 ? std::optional(kRtVersion) : std::nullopt);
    if (!entry || !(*entry & kSubdirectory)) return std::nullopt;
    offset = *entry & ~kSubdirectory;
  }
  const auto leaf = ResourceEntry(file, *base, offset, std::nullopt);
  if (!leaf || (*leaf & kSubdirectory)) return std::nullopt;
  const auto dataRva = file.U32(*base + *leaf);
  const auto dataSize = file.U32(*base + *leaf + 4);
  if (!dataRva || !dataSize) return std::nullopt;
  const auto data = RvaToOffset(sections, *dataRva);
  // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to 32 bits, then
  // the fixed block as its value.
  constexpr std::uint64_t kValueOffset = 40;
  const auto valueLength = data ? file.U16(*data + 2) : std::nullopt;
  if (!valueLength || *valueLength < kFixedInfoSize || *dataSize < kValueOffset + kFixedInfoSize) {
    return std::nullopt;
  }
  std::array<unsigned char, 32> key{};
  constexpr std::u16string_view kKey = u"VS_VERSION_INFO";
  if (!file.Read(*data + 6, key.data(), key.size())) return std::nullopt;
  for (std::size_t i = 0; i < kKey.size(); ++i) {
    if (key[2 * i] != kKey[i] || key[2 * i + 1] != 0) return std::nullopt;
  }
  return ReadFixedBlock(file, *data + kValueOffset);
}

std::optional<FixedFileVersion> ReadElfVersion(FileReader& file) {
  std::array<unsigned char, 6> ident{};
  if (!file.Read(0, ident.data(), ident.size()) ||
      std::memcmp(ident.data(),
                  "\x7f"
                  "ELF",
                  4) != 0 ||
      ident[5] != 1) {  // little-endian only, as the block is
    return std::nullopt;
  }
  const bool wide = ident[4] == 2;
  // Offsets and sizes are 64-bit in ELF64, 32-bit in ELF32.
  auto address = [&](std::uint64_t at) -> std::optional<std::uint64_t> {
    if (wide) return file.U64(at);
    return file.U32(at);
  };
  const auto tableOffset = address(0x28 - (wide ? 0 : 8));
  const auto entrySize = file.U16(wide ? 0x3A : 0x2E);
  const auto count = file.U16(wide ? 0x3C : 0x30);
  const auto namesIndex = file.U16(wide ? 0x3E : 0x32);
  if (!tableOffset || !entrySize || !count || !namesIndex || *namesIndex >= *count ||
      *entrySize < (wide ? 0x28 : 0x18)) {
    return std::nullopt;
  }
  auto header = [&](std::uint32_t i) { return *tableOffset + std::uint64_t{*entrySize} * i; };
  auto offsetOf = [&](std::uint32_t i) { return address(header(i) + (wide ? 0x18 : 0x10)); };
  auto sizeOf = [&](std::uint32_t i) { return address(header(i) + (wide ? 0x20 : 0x14)); };
  const auto names = offsetOf(*namesIndex);
  const auto namesSize = sizeOf(*namesIndex);
  if (!names || !namesSize) return std::nullopt;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto nameOffset = file.U32(header(i));
    if (!nameOffset || *nameOffset >= *namesSize) continue;
    std::array<char, sizeof kOwnVersionSection> name{};
    if (!file.Read(*names + *nameOffset, name.data(), name.size()) ||
        std::memcmp(name.data(), kOwnVersionSection, sizeof kOwnVersionSection) != 0) {
      continue;
    }
    const auto offset = offsetOf(i);
    const auto size = sizeOf(i);
    if (!offset || !size || *size < kFixedInfoSize) return std::nullopt;
    return ReadFixedBlock(file, *offset);
  }
  return std::nullopt;
}

}  // namespace

std::optional<FixedFileVersion> ReadFixedFileVersion(const std::string& path) {
  FileReader file(path);
  const auto magic = file.U16(0);
  if (!magic) return std::nullopt;
  if (*magic == 0x5A4D) return ReadPeVersion(file);  // "MZ"
  return ReadElfVersion(file);
}

std::string GetFileVersionString(const std::string& path) {
  static std::mutex mutex;
  static std::string lastPath;
  static std::string lastAnswer;
  std::lock_guard lock(mutex);
  if (!lastAnswer.empty() && path == lastPath) return lastAnswer;
  std::string answer = "0.0.0.0";
  if (const auto v = ReadFixedFileVersion(path)) {
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", v->productVersionMS >> 16,
                  v->fileVersionMS & 0xFFFFu, v->fileVersionLS >> 16,
                  v->productVersionLS & 0xFFFFu);
    answer = text;
  }
  lastPath = path;
  lastAnswer = answer;
  return answer;
}

std::string OwnExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

}  // namespace corvane
