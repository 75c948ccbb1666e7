#pragma once
// The cookie domain lists: the blacklist (domains whose cookies are tracking or advertising ones,
// replaced only by a download) and the whitelist (domains whose cookies are never erased, edited
// by the user). Each is a text file below the program folder, one domain per line, and lives in
// memory from its first use to the end of the program.
//
// Matching is by lookup, whatever the order of the entries: a file edited by hand keeps its own
// order, and every domain in it still counts. The lists are shared by the user-interface thread
// (the editor) and the cookies cleaner's worker, so every operation takes the list's lock.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/net/internet_download.h"

namespace corvane {

inline constexpr char kBlacklistFile[] = "files\\web_blacklist.txt";
inline constexpr char kWhitelistFile[] = "files\\web_whitelist.txt";
// The file below the program folder whose first line is the address the blacklist is downloaded
// from. Without it (or with an empty first line) the download is not offered.
inline constexpr char kBlacklistSourceFile[] = "files\\web_blacklist_source.txt";
// An entry whose UTF-8 form is longer is written as an empty line.
inline constexpr std::size_t kMaxSavedEntryBytes = 1024;

// Whether the text may stand on a line of a downloaded blacklist: letters, digits, "-", "." and
// "_" only, at most 253 characters, not empty.
[[nodiscard]] bool IsHostName(std::string_view text);

// How a download of the blacklist went.
enum class DomainListDownload {
  Replaced,   // the list and its file now hold the answer's domains
  NoAddress,  // no address to download from
  Failed,     // no complete 2xx answer (the reason is traced)
  NotAList,   // an answer that is not a list of host names
  NotSaved,   // the answer was good but the file could not be written: nothing changed
};

class DomainList {
 public:
  // `filePath` is relative to the program folder; with `saveOnExit` the list writes itself to it
  // when destroyed.
  explicit DomainList(std::string filePath = {}, bool saveOnExit = false);
  ~DomainList();
  DomainList(const DomainList&) = delete;
  DomainList& operator=(const DomainList&) = delete;

  // The two lists of the program, loaded from their files on first use.
  [[nodiscard]] static DomainList& Blacklist();
  [[nodiscard]] static DomainList& Whitelist();

  // Appends the domains of the file: `path` when given and readable (it becomes the list's file),
  // else the list's own file. False when neither can be read.
  bool Load(std::string_view path = {});
  // Appends the domains of the text: one per line ending in "\n" ("\r\n" too), and the text after
  // the last line end as a last line. Empty lines and duplicates are kept as they stand.
  void Parse(std::string_view text);
  // Writes every entry as a line ending in CR LF to `path` (which becomes the list's file) or to
  // the list's own file. The file is replaced whole, never left half-written. False when there is
  // no file name or it cannot be written.
  bool Save(std::string_view path = {});

  // Inserts the domain before the first entry greater than it (byte order, letter case matters),
  // unless it is already listed. Answers whether it was added.
  bool Add(std::string_view domain);
  // Removes every entry equal to the domain; answers how many went.
  std::size_t Remove(std::string_view domain);
  void Clear();

  // Whether an entry equals the domain exactly (letter case matters; an entry does not cover the
  // sub-domains of what it names).
  [[nodiscard]] bool Contains(std::string_view domain) const;
  [[nodiscard]] std::vector<std::string> Entries() const;
  [[nodiscard]] std::size_t Size() const;
  [[nodiscard]] std::string FilePath() const;

  // Replaces the list with the one at `url` (the last address used when empty). Only a complete
  // 2xx answer whose lines after the first (a header) are host names and that holds at least one
  // replaces the list, and only once its file has been written; anything else leaves the list in
  // memory and on disk as it was.
  [[nodiscard]] DomainListDownload DownloadFrom(std::string url, const DownloadLimits& limits = {},
                                                Host* host = nullptr);

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  using Index = std::unordered_set<std::string, Hash, std::equal_to<>>;

  void ParseLocked(std::string_view text);
  bool SaveLocked(std::string_view path);

  mutable std::mutex lock_;
  std::vector<std::string> entries_;
  Index index_;
  std::string filePath_;
  std::string sourceUrl_;
  bool saveOnExit_;
};

// The address of the blacklist download: the first line of kBlacklistSourceFile, trimmed; empty
// when there is none.
[[nodiscard]] std::string BlacklistSourceUrl();

}  // namespace corvane
