#pragma once
// Finds every occurrence of a short byte string in a file of any size, reading it in blocks, and
// shows each one with a bounded amount of text around it. The history and form files are searched
// this way: their size is the browser's business, so memory stays the same for 1 KB or 1 GB.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"

namespace corvane {

class MatchScanner {
 public:
  // `before` and `after`: how many bytes before the match and after its end each call sees (fewer
  // only at the file's ends).
  MatchScanner(std::string_view needle, std::size_t before, std::size_t after)
      : needle_(needle), before_(before), after_(after) {}

  // Calls onMatch(window, at) for each occurrence in file order, where window[at] is the match's
  // first byte. The next search starts right after the match. False when a read failed (the last
  // error says why); the matches before it have been shown.
  template <typename OnMatch>
  [[nodiscard]] bool Run(FileHandle& file, OnMatch&& onMatch) const {
    // Small enough that a block read is still in the processor's cache when it is searched.
    constexpr std::size_t kBlock = 128 * 1024;
    const std::size_t tail = needle_.size() + after_;
    // What stays between blocks is at most the context before and the tail after a match.
    std::vector<char> buffer(kBlock + before_ + tail);
    std::size_t filled = 0;
    std::size_t searchFrom = 0;
    bool atEnd = false;
    while (!atEnd) {
      const std::size_t room = buffer.size() - filled;
      std::size_t read = 0;
      if (!file.Read(buffer.data() + filled, room, &read)) return false;
      filled += read;
      atEnd = read < room;
      // A match is handled once the bytes after it are in, or the file has none.
      const std::size_t limit = atEnd ? filled : (filled > tail ? filled - tail + 1 : 0);
      const std::string_view text(buffer.data(), filled);
      while (searchFrom < limit) {
        const std::size_t at = Find(text, searchFrom);
        if (at >= limit) break;
        const std::size_t start = at > before_ ? at - before_ : 0;
        const std::size_t end = std::min(text.size(), at + tail);
        onMatch(text.substr(start, end - start), at - start);
        searchFrom = at + needle_.size();
      }
      // Keep what the next block's matches may still need: the bytes not yet searched and the
      // context before them.
      const std::size_t next = std::max(searchFrom, limit);
      const std::size_t drop = std::min(filled, next > before_ ? next - before_ : 0);
      std::memmove(buffer.data(), buffer.data() + drop, filled - drop);
      filled -= drop;
      searchFrom = next - drop;
    }
    return true;
  }

 private:
  // The first occurrence at or after `from`, or text.size(). The needle's first byte is looked
  // for with memchr, which runs at memory speed; in a history file ":" is a rare byte.
  [[nodiscard]] std::size_t Find(std::string_view text, std::size_t from) const {
    const char first = needle_.front();
    const std::string_view rest = std::string_view(needle_).substr(1);
    while (from < text.size()) {
      const auto* hit =
          static_cast<const char*>(std::memchr(text.data() + from, first, text.size() - from));
      if (hit == nullptr) break;
      const auto at = static_cast<std::size_t>(hit - text.data());
      if (text.substr(at + 1, rest.size()) == rest) return at;
      from = at + 1;
    }
    return text.size();
  }

  std::string needle_;
  std::size_t before_;
  std::size_t after_;
};

}  // namespace corvane
