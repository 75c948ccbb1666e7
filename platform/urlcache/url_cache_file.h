#pragma once
// One URL cache container file ("index.dat") held in memory: what WinInet keeps of the cache,
// cookie and history entries of a profile. Both signatures are read: Wine's own and the one a
// profile copied from a Windows disk carries; the layout is the same.
//
// Nothing in the bytes is trusted. Parsing checks every offset, length and chain, and fails on
// a header or hash-table chain it cannot follow; a single record that does not hold together is
// left out and noted. A container is only changed when it is consistent the way Wine checks it
// when it opens one (Wine throws a container away, with every entry and file in it, when its
// size, capacity or allocation count disagree), and when no two of its records share a block.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvane {

// CacheEntryType bits.
inline constexpr std::uint32_t NORMAL_CACHE_ENTRY = 0x00000001;
inline constexpr std::uint32_t STICKY_CACHE_ENTRY = 0x00000004;
inline constexpr std::uint32_t COOKIE_CACHE_ENTRY = 0x00100000;
inline constexpr std::uint32_t URLHISTORY_CACHE_ENTRY = 0x00200000;

// A record's directory index when its file lies in the container folder itself.
inline constexpr std::uint8_t kUrlCacheNoSubdirectory = 0xFE;

// Where a text of a record lies in the file (absolute offset, length without the NUL).
struct UrlCacheText {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

// One "URL " record as the file holds it. Text fields point at the stored bytes (Wine writes URLs
// as UTF-8 and file names in the ANSI code page); read them with UrlCacheFile::Text.
struct UrlCacheRecord {
  std::uint32_t offset = 0;      // of the record in the file
  std::uint32_t slotOffset = 0;  // of its hash-table slot in the file
  std::uint32_t blocks = 0;
  UrlCacheText url;
  UrlCacheText localName;  // length 0 when the entry has no file
  UrlCacheText headerInfo;
  UrlCacheText fileExtension;
  std::uint8_t directory = kUrlCacheNoSubdirectory;
  std::uint32_t entryType = 0;
  std::uint64_t size = 0;
  std::uint64_t lastModified = 0;  // FILETIME
  std::uint64_t lastAccess = 0;    // FILETIME
  std::uint16_t expireDate = 0, expireTime = 0, syncDate = 0, syncTime = 0;
  std::uint32_t hitRate = 0;
  std::uint32_t useCount = 0;
  std::uint32_t exemptDelta = 0;
  bool deleted = false;  // removed since the file was parsed
};

// What a new record holds (see UrlCacheFile::Add).
struct UrlCacheNewEntry {
  std::string url;
  std::string localName;  // the file's name inside its directory; empty for none
  std::uint8_t directory = kUrlCacheNoSubdirectory;
  std::uint32_t entryType = NORMAL_CACHE_ENTRY;
  std::uint64_t size = 0;
  std::uint64_t lastModified = 0;
  std::uint64_t lastAccess = 0;
  std::uint32_t hitRate = 1;
  std::string headerInfo;
};

class UrlCacheFile {
 public:
  enum class Signature { Wine, Windows };

  // The container in `bytes`; nullopt with the reason in *problem when its header or hash-table
  // chain cannot be trusted. Records that do not hold together are skipped and counted.
  [[nodiscard]] static std::optional<UrlCacheFile> Parse(std::string_view bytes,
                                                         std::string* problem);
  // As above, taking over a buffer of `size` bytes (read straight from the file, never zeroed).
  [[nodiscard]] static std::optional<UrlCacheFile> Parse(std::unique_ptr<char[]> bytes,
                                                         std::size_t size, std::string* problem);
  // An empty container as WinInet makes one: 128 blocks, one hash table, and the given cache
  // directory names (8 characters each; none for cookies and history).
  [[nodiscard]] static UrlCacheFile Create(Signature signature,
                                           const std::vector<std::string>& directories);

  [[nodiscard]] Signature GetSignature() const { return signature_; }
  [[nodiscard]] std::string_view Bytes() const { return {bytes_.get(), size_}; }
  // Every record reached through the hash tables, in table and slot order; deleted ones stay in
  // the list, marked.
  [[nodiscard]] const std::vector<UrlCacheRecord>& Records() const { return records_; }
  // A text of a live record.
  [[nodiscard]] std::string_view Text(UrlCacheText text) const {
    return Bytes().substr(text.offset, text.length);
  }
  // How many slots pointed at something that is not a well-formed record.
  [[nodiscard]] std::uint32_t SkippedRecords() const { return skipped_; }
  // The name of cache directory `index`, empty when there is no such directory.
  [[nodiscard]] std::string_view DirectoryName(std::uint8_t index) const;
  [[nodiscard]] std::uint32_t DirectoryCount() const;

  // True when the file may be changed: consistent as Wine checks it and with no shared blocks.
  // Otherwise *problem (when given) says why not.
  [[nodiscard]] bool IsWritable(std::string* problem = nullptr) const;

  // The index in Records() of the live record with exactly this URL.
  [[nodiscard]] std::optional<std::size_t> Find(std::string_view url) const;

  // Removes record `index` as WinInet does (its slot marked deleted, its blocks freed, the
  // directory's file count and the usage lowered) and overwrites the record's bytes with zeros,
  // so the URL cannot be read from the file afterwards. Only on a writable file.
  void Delete(std::size_t index);
  // Adds a record (replacing a live one with the same URL), growing the file when it is full.
  // False when the file is at its largest size, not writable, or has a slot naming free space.
  [[nodiscard]] bool Add(const UrlCacheNewEntry& entry);

  // The byte ranges changed since the last call, sorted and merged (with the unchanged bytes
  // between ranges that lie close together): what must be written back.
  [[nodiscard]] std::vector<std::pair<std::uint32_t, std::uint32_t>> TakeChangedRanges();
  // True when the file grew: it must be written whole.
  [[nodiscard]] bool Grew() const { return grew_; }

 private:
  UrlCacheFile() = default;

  [[nodiscard]] std::uint32_t Read32(std::size_t offset) const;
  [[nodiscard]] std::uint64_t Read64(std::size_t offset) const;
  void Write32(std::size_t offset, std::uint32_t value);
  void Write64(std::size_t offset, std::uint64_t value);
  void MarkChanged(std::size_t offset, std::size_t length);
  [[nodiscard]] bool ParseTables(std::string* problem);
  [[nodiscard]] std::string ConsistencyProblem() const;
  [[nodiscard]] std::optional<UrlCacheRecord> ParseRecord(std::uint32_t offset) const;
  [[nodiscard]] std::optional<std::uint32_t> AllocateBlocks(std::uint32_t count);
  [[nodiscard]] bool Grow();
  [[nodiscard]] std::optional<std::uint32_t> FreeSlot(std::uint32_t hash);

  Signature signature_ = Signature::Wine;
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::vector<UrlCacheRecord> records_;
  std::vector<std::uint32_t> tables_;  // hash table offsets, in chain order
  // URL → record index, made on the first Find and dropped when the bytes move.
  mutable std::unordered_map<std::string_view, std::size_t> byUrl_;
  mutable bool indexed_ = false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> changed_;
  std::uint32_t skipped_ = 0;
  std::uint32_t allocationHint_ = 0;
  std::string unsound_;       // why the file must not be changed although it can be read
  bool strayClaims_ = false;  // some slot names a free block: adding could give it a record
  mutable std::string writableProblem_;
  mutable bool writableChecked_ = false;
  bool grew_ = false;
};

// The hash key WinInet files a URL under (its low 6 bits carry the slot's state).
[[nodiscard]] std::uint32_t UrlCacheHashKey(std::string_view url);

}  // namespace corvane
