#include "platform/urlcache/url_cache_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace corvane {

namespace {

// The layout (little-endian). The header and the allocation bitmap fill the first 16 KiB; the
// 128-byte blocks that hold hash tables and records follow.
constexpr std::uint32_t kEntryStart = 0x4000;
constexpr std::uint32_t kBlockSize = 128;
constexpr std::uint32_t kBitmapOffset = 0x250;
constexpr std::uint32_t kBitmapSize = kEntryStart - kBitmapOffset;
constexpr std::uint32_t kMinBlocks = 0x80;
constexpr std::uint32_t kMaxBlocks = kBitmapSize * 8;
constexpr std::uint32_t kMaxDirectories = 32;
constexpr std::uint32_t kDirectoryNameLength = 8;

constexpr std::size_t kHeaderFileSize = 28;
constexpr std::size_t kHeaderHashTable = 32;
constexpr std::size_t kHeaderCapacity = 36;
constexpr std::size_t kHeaderBlocksInUse = 40;
constexpr std::size_t kHeaderCacheLimit = 48;
constexpr std::size_t kHeaderCacheUsage = 56;
constexpr std::size_t kHeaderExemptUsage = 64;
constexpr std::size_t kHeaderDirectoryCount = 72;
constexpr std::size_t kHeaderDirectories = 76;
constexpr std::size_t kDirectorySize = 12;

// Hash tables: "HASH", blocks, next table, number; then (key, offset) slots. Wine uses 448 slots
// in 64 buckets of 7; Windows fills the table's blocks.
constexpr std::uint32_t kHashHeader = 16;
constexpr std::uint32_t kHashBlocks = 0x20;
constexpr std::uint32_t kWineHashSlots = 448;
constexpr std::uint32_t kHashBuckets = 64;
constexpr std::uint32_t kBucketSlots = kWineHashSlots / kHashBuckets;
constexpr std::uint32_t kSlotDeleted = 1;
constexpr std::uint32_t kSlotFree = 3;
constexpr std::uint32_t kHashFlagBits = 6;

// URL records.
constexpr std::uint32_t kRecordHeader = 0x68;
constexpr std::size_t kRecordModified = 8;
constexpr std::size_t kRecordAccess = 16;
constexpr std::size_t kRecordExpire = 24;
constexpr std::size_t kRecordSize = 32;
constexpr std::size_t kRecordExempt = 44;
constexpr std::size_t kRecordUnknown3 = 48;
constexpr std::size_t kRecordUrl = 52;
constexpr std::size_t kRecordDirectory = 56;
constexpr std::size_t kRecordUnknown5 = 58;
constexpr std::size_t kRecordLocalName = 60;
constexpr std::size_t kRecordType = 64;
constexpr std::size_t kRecordHeaderInfo = 68;
constexpr std::size_t kRecordHeaderInfoSize = 72;
constexpr std::size_t kRecordExtension = 76;
constexpr std::size_t kRecordSync = 80;
constexpr std::size_t kRecordHitRate = 84;
constexpr std::size_t kRecordUseCount = 88;

constexpr std::string_view kWineSignature = "WINE URLCache Ver 0.2012001";
constexpr std::string_view kWindowsSignature = "Client UrlCache MMF Ver 5.2";
constexpr std::uint32_t kUrlTag = 0x204C5255;   // "URL "
constexpr std::uint32_t kHashTag = 0x48534148;  // "HASH"

constexpr std::uint64_t FileSizeFor(std::uint64_t blocks) {
  return kEntryStart + blocks * kBlockSize;
}

constexpr std::uint32_t AlignToDword(std::uint32_t value) {
  return (value + 3) & ~3u;
}

// The byte permutation the key is built with (the same table as the shell's URL hash).
constexpr std::array<std::uint8_t, 256> kHashPermutation = {
    0x01, 0x0E, 0x6E, 0x19, 0x61, 0xAE, 0x84, 0x77, 0x8A, 0xAA, 0x7D, 0x76, 0x1B, 0xE9, 0x8C, 0x33,
    0x57, 0xC5, 0xB1, 0x6B, 0xEA, 0xA9, 0x38, 0x44, 0x1E, 0x07, 0xAD, 0x49, 0xBC, 0x28, 0x24, 0x41,
    0x31, 0xD5, 0x68, 0xBE, 0x39, 0xD3, 0x94, 0xDF, 0x30, 0x73, 0x0F, 0x02, 0x43, 0xBA, 0xD2, 0x1C,
    0x0C, 0xB5, 0x67, 0x46, 0x16, 0x3A, 0x4B, 0x4E, 0xB7, 0xA7, 0xEE, 0x9D, 0x7C, 0x93, 0xAC, 0x90,
    0xB0, 0xA1, 0x8D, 0x56, 0x3C, 0x42, 0x80, 0x53, 0x9C, 0xF1, 0x4F, 0x2E, 0xA8, 0xC6, 0x29, 0xFE,
    0xB2, 0x55, 0xFD, 0xED, 0xFA, 0x9A, 0x85, 0x58, 0x23, 0xCE, 0x5F, 0x74, 0xFC, 0xC0, 0x36, 0xDD,
    0x66, 0xDA, 0xFF, 0xF0, 0x52, 0x6A, 0x9E, 0xC9, 0x3D, 0x03, 0x59, 0x09, 0x2A, 0x9B, 0x9F, 0x5D,
    0xA6, 0x50, 0x32, 0x22, 0xAF, 0xC3, 0x64, 0x63, 0x1A, 0x96, 0x10, 0x91, 0x04, 0x21, 0x08, 0xBD,
    0x79, 0x40, 0x4D, 0x48, 0xD0, 0xF5, 0x82, 0x7A, 0x8F, 0x37, 0x69, 0x86, 0x1D, 0xA4, 0xB9, 0xC2,
    0xC1, 0xEF, 0x65, 0xF2, 0x05, 0xAB, 0x7E, 0x0B, 0x4A, 0x3B, 0x89, 0xE4, 0x6C, 0xBF, 0xE8, 0x8B,
    0x06, 0x18, 0x51, 0x14, 0x7F, 0x11, 0x5B, 0x5C, 0xFB, 0x97, 0xE1, 0xCF, 0x15, 0x62, 0x71, 0x70,
    0x54, 0xE2, 0x12, 0xD6, 0xC7, 0xBB, 0x0D, 0x20, 0x5E, 0xDC, 0xE0, 0xD4, 0xF7, 0xCC, 0xC4, 0x2B,
    0xF9, 0xEC, 0x2D, 0xF4, 0x6F, 0xB6, 0x99, 0x88, 0x81, 0x5A, 0xD9, 0xCA, 0x13, 0xA5, 0xE7, 0x47,
    0xE6, 0x8E, 0x60, 0xE3, 0x3E, 0xB3, 0xF6, 0x72, 0xA2, 0x35, 0xA0, 0xD7, 0xCD, 0xB4, 0x2F, 0x6D,
    0x2C, 0x26, 0x1F, 0x95, 0x87, 0x00, 0xD8, 0x34, 0x3F, 0x17, 0x25, 0x45, 0x27, 0x75, 0x92, 0xB8,
    0xA3, 0xC8, 0xDE, 0xEB, 0xF8, 0xF3, 0xDB, 0x0A, 0x98, 0x83, 0x7B, 0xE5, 0xCB, 0x4C, 0x78, 0xD1,
};

// A fixed-size text field up to its first NUL (short: a plain loop beats a library call).
std::string_view FieldText(std::string_view field) {
  std::size_t length = 0;
  while (length < field.size() && field[length] != '\0') ++length;
  return field.substr(0, length);
}

}  // namespace

std::uint32_t UrlCacheHashKey(std::string_view url) {
  if (url.empty()) return 0;
  std::array<std::uint8_t, 4> key{};
  const auto first = static_cast<std::uint8_t>(url[0]);
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = kHashPermutation[(first + i) & 0xFF];
  for (std::size_t pos = 1; pos < url.size(); ++pos) {
    const auto c = static_cast<std::uint8_t>(url[pos]);
    for (std::uint8_t& byte : key) byte = kHashPermutation[c ^ byte];
  }
  return key[0] | (key[1] << 8) | (key[2] << 16) | (static_cast<std::uint32_t>(key[3]) << 24);
}

std::uint32_t UrlCacheFile::Read32(std::size_t offset) const {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes_.get() + offset, sizeof value);
  return value;
}

std::uint64_t UrlCacheFile::Read64(std::size_t offset) const {
  std::uint64_t value = 0;
  std::memcpy(&value, bytes_.get() + offset, sizeof value);
  return value;
}

void UrlCacheFile::Write32(std::size_t offset, std::uint32_t value) {
  std::memcpy(bytes_.get() + offset, &value, sizeof value);
  MarkChanged(offset, sizeof value);
}

void UrlCacheFile::Write64(std::size_t offset, std::uint64_t value) {
  std::memcpy(bytes_.get() + offset, &value, sizeof value);
  MarkChanged(offset, sizeof value);
}

void UrlCacheFile::MarkChanged(std::size_t offset, std::size_t length) {
  changed_.emplace_back(static_cast<std::uint32_t>(offset),
                        static_cast<std::uint32_t>(offset + length));
}

std::optional<UrlCacheFile> UrlCacheFile::Parse(std::string_view bytes, std::string* problem) {
  auto copy = std::make_unique_for_overwrite<char[]>(bytes.size());
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return Parse(std::move(copy), bytes.size(), problem);
}

std::optional<UrlCacheFile> UrlCacheFile::Parse(std::unique_ptr<char[]> bytes, std::size_t size,
                                                std::string* problem) {
  const auto fail = [problem](std::string reason) -> std::optional<UrlCacheFile> {
    if (problem != nullptr) *problem = std::move(reason);
    return std::nullopt;
  };
  if (size < kEntryStart) return fail("shorter than a container header");
  if (size > FileSizeFor(kMaxBlocks)) return fail("larger than a container can be");
  UrlCacheFile file;
  file.bytes_ = std::move(bytes);
  file.size_ = size;
  const std::string_view signature = FieldText(file.Bytes().substr(0, 28));
  if (signature == kWineSignature) {
    file.signature_ = Signature::Wine;
  } else if (signature == kWindowsSignature) {
    file.signature_ = Signature::Windows;
  } else {
    return fail("not a URL cache container of a known version");
  }
  if (file.Read32(kHeaderFileSize) != file.size_)
    return fail("its header gives another size than the file has");
  if (FileSizeFor(file.Read32(kHeaderCapacity)) > file.size_)
    return fail("its capacity lies beyond the end of the file");
  if (file.Read32(kHeaderDirectoryCount) > kMaxDirectories)
    return fail("it names more cache folders than a container holds");
  if (!file.ParseTables(problem)) return std::nullopt;
  return file;
}

bool UrlCacheFile::ParseTables(std::string* problem) {
  const auto fail = [problem](const char* reason) {
    if (problem != nullptr) *problem = reason;
    return false;
  };
  const std::uint32_t capacity = Read32(kHeaderCapacity);
  const std::uint64_t end = FileSizeFor(capacity);
  const auto placed = [&](std::uint64_t offset, std::uint64_t length) {
    return offset >= kEntryStart && (offset - kEntryStart) % kBlockSize == 0 &&
           offset + length <= end;
  };

  // The slot naming each block (its offset + 1), to visit the records in file order.
  std::vector<std::uint32_t> slotOf(capacity, 0);
  std::size_t named = 0;
  std::uint32_t table = Read32(kHeaderHashTable);
  while (table != 0) {
    if (!placed(table, kHashHeader)) return fail("a hash table lies outside the file");
    if (Read32(table) != kHashTag) return fail("a hash table has no HASH signature");
    const std::uint32_t blocks = Read32(table + 4);
    if (blocks == 0 || !placed(table, std::uint64_t{blocks} * kBlockSize))
      return fail("a hash table runs past the end of the file");
    if (std::find(tables_.begin(), tables_.end(), table) != tables_.end())
      return fail("its hash tables form a loop");
    const std::uint32_t room = (blocks * kBlockSize - kHashHeader) / 8;
    const std::uint32_t slots =
        signature_ == Signature::Wine ? std::min(kWineHashSlots, room) : room;
    tables_.push_back(table);
    for (std::uint32_t slot = 0; slot < slots; ++slot) {
      const std::uint32_t slotOffset = table + kHashHeader + slot * 8;
      const std::uint32_t key = Read32(slotOffset);
      const std::uint32_t offset = Read32(slotOffset + 4);
      if (key == kSlotFree || key == kSlotDeleted || !placed(offset, kRecordHeader)) continue;
      const std::uint32_t block = (offset - kEntryStart) / kBlockSize;
      // A slot that names free space would name whatever is written there next.
      if ((static_cast<std::uint8_t>(bytes_[kBitmapOffset + block / 8]) & (1u << (block % 8))) == 0)
        strayClaims_ = true;
      if (slotOf[block] != 0) {
        ++skipped_;
        if (Read32(offset) == kUrlTag) unsound_ = "two hash slots name the same record";
        continue;
      }
      slotOf[block] = slotOffset + 1;
      ++named;
    }
    table = Read32(table + 8);
  }
  // The records in file order: reading them front to back is what keeps parsing and enumerating
  // a large container close to the speed of reading it.
  records_.reserve(named);
  for (std::uint32_t block = 0; block < capacity; ++block) {
    if (slotOf[block] == 0) continue;
    const std::uint32_t offset = kEntryStart + block * kBlockSize;
    if (Read32(offset) != kUrlTag) continue;  // redirects and leaked records are no entries
    std::optional<UrlCacheRecord> record = ParseRecord(offset);
    if (!record) {
      ++skipped_;
      continue;
    }
    record->slotOffset = slotOf[block] - 1;
    records_.push_back(std::move(*record));
  }
  return true;
}

std::optional<UrlCacheRecord> UrlCacheFile::ParseRecord(std::uint32_t offset) const {
  UrlCacheRecord record;
  record.offset = offset;
  record.blocks = Read32(offset + 4);
  const std::uint64_t extent = std::uint64_t{record.blocks} * kBlockSize;
  if (record.blocks == 0 || extent < kRecordHeader ||
      offset + extent > FileSizeFor(Read32(kHeaderCapacity)))
    return std::nullopt;
  const std::string_view body = Bytes().substr(offset, extent);
  // A text field: its offset from the record's start, NUL-terminated inside the record.
  const auto text = [&](std::size_t field, UrlCacheText& out, bool required) {
    const std::uint32_t at = Read32(offset + field);
    if (at == 0) return !required;
    if (at < kRecordHeader || at >= extent) return false;
    const std::size_t nul = body.find('\0', at);
    if (nul == std::string_view::npos) return false;
    out = {offset + at, static_cast<std::uint32_t>(nul - at)};
    return true;
  };
  if (!text(kRecordUrl, record.url, true) || !text(kRecordLocalName, record.localName, false) ||
      !text(kRecordExtension, record.fileExtension, false))
    return std::nullopt;
  const std::uint32_t headerAt = Read32(offset + kRecordHeaderInfo);
  const std::uint32_t headerSize = Read32(offset + kRecordHeaderInfoSize);
  if (headerAt != 0) {
    if (headerAt < kRecordHeader || headerAt > extent || headerSize > extent - headerAt)
      return std::nullopt;
    record.headerInfo = {offset + headerAt, headerSize};
  }
  record.directory = static_cast<std::uint8_t>(bytes_[offset + kRecordDirectory]);
  record.entryType = Read32(offset + kRecordType);
  record.size = Read64(offset + kRecordSize);
  record.lastModified = Read64(offset + kRecordModified);
  record.lastAccess = Read64(offset + kRecordAccess);
  const std::uint32_t expire = Read32(offset + kRecordExpire);
  record.expireDate = static_cast<std::uint16_t>(expire);
  record.expireTime = static_cast<std::uint16_t>(expire >> 16);
  const std::uint32_t sync = Read32(offset + kRecordSync);
  record.syncDate = static_cast<std::uint16_t>(sync);
  record.syncTime = static_cast<std::uint16_t>(sync >> 16);
  record.hitRate = Read32(offset + kRecordHitRate);
  record.useCount = Read32(offset + kRecordUseCount);
  record.exemptDelta = Read32(offset + kRecordExempt);
  return record;
}

UrlCacheFile UrlCacheFile::Create(Signature signature,
                                  const std::vector<std::string>& directories) {
  UrlCacheFile file;
  file.signature_ = signature;
  file.size_ = FileSizeFor(kMinBlocks);
  file.bytes_ = std::make_unique<char[]>(file.size_);  // zeroed
  const std::string_view text = signature == Signature::Wine ? kWineSignature : kWindowsSignature;
  std::memcpy(file.bytes_.get(), text.data(), text.size());
  file.Write32(kHeaderFileSize, static_cast<std::uint32_t>(file.size_));
  file.Write32(kHeaderCapacity, kMinBlocks);
  file.Write64(kHeaderCacheLimit, 0x07ff5400);  // WinInet's default of 127 MB
  const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(directories.size(), 32));
  file.Write32(kHeaderDirectoryCount, count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string& name = directories[i];
    std::memcpy(file.bytes_.get() + kHeaderDirectories + i * kDirectorySize + 4, name.data(),
                std::min<std::size_t>(name.size(), kDirectoryNameLength));
  }
  // A new container holds its first hash table; a fresh file has room for it.
  (void)file.FreeSlot(0);
  file.changed_.clear();
  return file;
}

std::uint32_t UrlCacheFile::DirectoryCount() const {
  return Read32(kHeaderDirectoryCount);
}

std::string_view UrlCacheFile::DirectoryName(std::uint8_t index) const {
  if (index >= DirectoryCount()) return {};
  return FieldText(
      Bytes().substr(kHeaderDirectories + index * kDirectorySize + 4, kDirectoryNameLength));
}

bool UrlCacheFile::IsWritable(std::string* problem) const {
  // Our own changes keep the file consistent, so the answer is worked out once.
  if (!writableChecked_) {
    writableProblem_ = ConsistencyProblem();
    writableChecked_ = true;
  }
  if (problem != nullptr) *problem = writableProblem_;
  return writableProblem_.empty();
}

std::string UrlCacheFile::ConsistencyProblem() const {
  const std::uint32_t capacity = Read32(kHeaderCapacity);
  if (size_ < FileSizeFor(kMinBlocks) || capacity > kMaxBlocks || FileSizeFor(capacity) != size_)
    return "its size and capacity disagree";
  std::uint32_t allocated = 0;
  for (std::uint32_t i = 0; i < kBitmapSize; ++i) {
    const auto bits = static_cast<std::uint8_t>(bytes_[kBitmapOffset + i]);
    if (i < capacity / 8)
      allocated += static_cast<std::uint32_t>(std::popcount(bits));
    else if (bits != 0)
      return "its allocation table marks blocks beyond its capacity";
  }
  if (allocated != Read32(kHeaderBlocksInUse))
    return "its count of blocks in use disagrees with its allocation table";
  if (!unsound_.empty()) return unsound_;
  // Every hash table and record in blocks of its own, all marked in use: freeing one can then
  // never free or wipe another's bytes.
  std::vector<std::uint8_t> owned(capacity, 0);
  const auto claim = [&](std::uint32_t offset, std::uint32_t blocks) -> const char* {
    const std::uint32_t first = (offset - kEntryStart) / kBlockSize;
    for (std::uint32_t block = first; block < first + blocks; ++block) {
      if (owned[block] != 0) return "two of its records share a block";
      if ((static_cast<std::uint8_t>(bytes_[kBitmapOffset + block / 8]) & (1u << (block % 8))) == 0)
        return "a record lies in blocks its allocation table calls free";
      owned[block] = 1;
    }
    return nullptr;
  };
  for (const std::uint32_t table : tables_)
    if (const char* problem = claim(table, Read32(table + 4))) return problem;
  for (const UrlCacheRecord& record : records_)
    if (!record.deleted)
      if (const char* problem = claim(record.offset, record.blocks)) return problem;
  return {};
}

std::optional<std::size_t> UrlCacheFile::Find(std::string_view url) const {
  if (!indexed_) {
    byUrl_.clear();
    for (std::size_t i = 0; i < records_.size(); ++i) {
      if (!records_[i].deleted) byUrl_.emplace(Text(records_[i].url), i);
    }
    indexed_ = true;
  }
  const auto found = byUrl_.find(url);
  if (found == byUrl_.end()) return std::nullopt;
  return found->second;
}

void UrlCacheFile::Delete(std::size_t index) {
  UrlCacheRecord& record = records_[index];
  if (record.deleted) return;
  if (indexed_) byUrl_.erase(Text(record.url));
  Write32(record.slotOffset, kSlotDeleted);
  if (record.directory < DirectoryCount()) {
    const std::size_t files = kHeaderDirectories + record.directory * kDirectorySize;
    if (const std::uint32_t count = Read32(files); count > 0) Write32(files, count - 1);
  }
  const std::size_t usage =
      (record.entryType & STICKY_CACHE_ENTRY) != 0 ? kHeaderExemptUsage : kHeaderCacheUsage;
  const std::uint64_t used = Read64(usage);
  Write64(usage, used > record.size ? used - record.size : 0);
  const std::uint32_t first = (record.offset - kEntryStart) / kBlockSize;
  for (std::uint32_t block = first; block < first + record.blocks; ++block) {
    char& bits = bytes_[kBitmapOffset + block / 8];
    bits = static_cast<char>(static_cast<std::uint8_t>(bits) & ~(1u << (block % 8)));
  }
  MarkChanged(kBitmapOffset + first / 8, (first + record.blocks - 1) / 8 - first / 8 + 1);
  const std::uint32_t inUse = Read32(kHeaderBlocksInUse);
  Write32(kHeaderBlocksInUse, inUse > record.blocks ? inUse - record.blocks : 0);
  std::memset(bytes_.get() + record.offset, 0, std::size_t{record.blocks} * kBlockSize);
  MarkChanged(record.offset, std::size_t{record.blocks} * kBlockSize);
  record.deleted = true;
}

std::optional<std::uint32_t> UrlCacheFile::AllocateBlocks(std::uint32_t count) {
  // First fit, looking on from the last allocation first so that filling a container stays
  // linear; then from the start; then in a grown file.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::uint32_t capacity = Read32(kHeaderCapacity);
    const std::uint32_t start = attempt == 0 ? std::min(allocationHint_, capacity) : 0;
    std::uint32_t run = 0;
    for (std::uint32_t block = start; block < capacity; ++block) {
      const auto bits = static_cast<std::uint8_t>(bytes_[kBitmapOffset + block / 8]);
      run = (bits & (1u << (block % 8))) != 0 ? 0 : run + 1;
      if (run < count) continue;
      const std::uint32_t first = block + 1 - count;
      for (std::uint32_t b = first; b <= block; ++b)
        bytes_[kBitmapOffset + b / 8] =
            static_cast<char>(bytes_[kBitmapOffset + b / 8] | (1 << (b % 8)));
      MarkChanged(kBitmapOffset + first / 8, block / 8 - first / 8 + 1);
      Write32(kHeaderBlocksInUse, Read32(kHeaderBlocksInUse) + count);
      const std::uint32_t offset = kEntryStart + first * kBlockSize;
      std::memset(bytes_.get() + offset, 0, std::size_t{count} * kBlockSize);
      MarkChanged(offset, std::size_t{count} * kBlockSize);
      allocationHint_ = block + 1;
      return offset;
    }
    if (attempt == 1 && !Grow()) break;
  }
  return std::nullopt;
}

bool UrlCacheFile::Grow() {
  const std::uint32_t capacity = Read32(kHeaderCapacity);
  const std::uint32_t grown = std::min(capacity * 2, kMaxBlocks);
  if (grown <= capacity) return false;
  auto bigger = std::make_unique<char[]>(FileSizeFor(grown));  // zeroed
  std::memcpy(bigger.get(), bytes_.get(), size_);
  bytes_ = std::move(bigger);
  size_ = FileSizeFor(grown);
  Write32(kHeaderFileSize, static_cast<std::uint32_t>(size_));
  Write32(kHeaderCapacity, grown);
  indexed_ = false;  // the index's views pointed into the old buffer
  grew_ = true;
  return true;
}

std::optional<std::uint32_t> UrlCacheFile::FreeSlot(std::uint32_t hash) {
  const std::uint32_t bucket = (hash & (kHashBuckets - 1)) * kBucketSlots;
  for (const std::uint32_t table : tables_) {
    for (std::uint32_t i = 0; i < kBucketSlots; ++i) {
      const std::uint32_t slot = table + kHashHeader + (bucket + i) * 8;
      const std::uint32_t key = Read32(slot);
      if (key == kSlotFree || key == kSlotDeleted) return slot;
    }
  }
  const std::optional<std::uint32_t> table = AllocateBlocks(kHashBlocks);
  if (!table) return std::nullopt;
  Write32(*table, kHashTag);
  Write32(*table + 4, kHashBlocks);
  Write32(*table + 12, static_cast<std::uint32_t>(tables_.size()));
  for (std::uint32_t slot = 0; slot < kWineHashSlots; ++slot) {
    Write32(*table + kHashHeader + slot * 8, kSlotFree);
    Write32(*table + kHashHeader + slot * 8 + 4, kSlotFree);
  }
  Write32(tables_.empty() ? kHeaderHashTable : tables_.back() + 8, *table);
  tables_.push_back(*table);
  return *table + kHashHeader + bucket * 8;
}

bool UrlCacheFile::Add(const UrlCacheNewEntry& entry) {
  if (!IsWritable() || strayClaims_ || entry.url.empty() ||
      entry.url.find('\0') != std::string::npos)
    return false;
  if (const std::optional<std::size_t> existing = Find(entry.url)) Delete(*existing);
  std::uint32_t size =
      AlignToDword(kRecordHeader + static_cast<std::uint32_t>(entry.url.size()) + 1);
  std::uint32_t localAt = 0, headerAt = 0;
  if (!entry.localName.empty()) {
    localAt = size;
    size = AlignToDword(size + static_cast<std::uint32_t>(entry.localName.size()) + 1);
  }
  if (!entry.headerInfo.empty()) {
    headerAt = size;
    size = AlignToDword(size + static_cast<std::uint32_t>(entry.headerInfo.size()));
  }
  const std::uint32_t blocks = (size + kBlockSize - 1) / kBlockSize;
  const std::uint32_t hash = UrlCacheHashKey(entry.url);
  const std::optional<std::uint32_t> slot = FreeSlot(hash);
  if (!slot) return false;
  const std::optional<std::uint32_t> at = AllocateBlocks(blocks);
  if (!at) return false;
  const std::uint32_t offset = *at;
  Write32(offset, kUrlTag);
  Write32(offset + 4, blocks);
  Write64(offset + kRecordModified, entry.lastModified);
  Write64(offset + kRecordAccess, entry.lastAccess);
  Write64(offset + kRecordSize, entry.size);
  Write32(offset + kRecordUnknown3, 0x60);
  Write32(offset + kRecordUrl, kRecordHeader);
  bytes_[offset + kRecordDirectory] = static_cast<char>(entry.directory);
  bytes_[offset + kRecordUnknown5] = 0x10;
  bytes_[offset + kRecordUnknown5 + 1] = 0x10;
  Write32(offset + kRecordLocalName, localAt);
  Write32(offset + kRecordType, entry.entryType);
  Write32(offset + kRecordHeaderInfo, headerAt);
  Write32(offset + kRecordHeaderInfoSize, static_cast<std::uint32_t>(entry.headerInfo.size()));
  Write32(offset + kRecordHitRate, entry.hitRate);
  std::memcpy(bytes_.get() + offset + kRecordHeader, entry.url.data(), entry.url.size());
  if (localAt != 0)
    std::memcpy(bytes_.get() + offset + localAt, entry.localName.data(), entry.localName.size());
  if (headerAt != 0)
    std::memcpy(bytes_.get() + offset + headerAt, entry.headerInfo.data(), entry.headerInfo.size());
  Write32(*slot, (hash >> kHashFlagBits) << kHashFlagBits);
  Write32(*slot + 4, offset);
  if (entry.directory < DirectoryCount()) {
    const std::size_t files = kHeaderDirectories + entry.directory * kDirectorySize;
    Write32(files, Read32(files) + 1);
  }
  const std::size_t usage =
      (entry.entryType & STICKY_CACHE_ENTRY) != 0 ? kHeaderExemptUsage : kHeaderCacheUsage;
  Write64(usage, Read64(usage) + entry.size);
  std::optional<UrlCacheRecord> record = ParseRecord(offset);
  if (!record) return false;
  record->slotOffset = *slot;
  records_.push_back(*record);
  if (indexed_) byUrl_.emplace(Text(records_.back().url), records_.size() - 1);
  return true;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> UrlCacheFile::TakeChangedRanges() {
  // Ranges closer than this are written as one: the bytes between are the file's own, and one
  // larger write costs less than many small ones.
  constexpr std::uint32_t kJoinGap = 64 * 1024;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  std::sort(changed_.begin(), changed_.end());
  for (const auto& range : changed_) {
    if (!ranges.empty() && range.first <= ranges.back().second + kJoinGap)
      ranges.back().second = std::max(ranges.back().second, range.second);
    else
      ranges.push_back(range);
  }
  changed_.clear();
  grew_ = false;
  return ranges;
}

}  // namespace corvane
