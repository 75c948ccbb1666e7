#pragma once
// Finds every occurrence of a short byte string in a file of any size, reading it in blocks, and
// shows each one with a bounded amount of text around it. The history and form files are searched
// this way: their size is the browser's business, so memory stays the same for 1 KB or 1 GB.

#include <string.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

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
    constexpr std::size_t kBlock = 1 << 20;
    std::string buffer;
    std::size_t searchFrom = 0;  // in buffer
    bool atEnd = false;
    while (!atEnd) {
      const std::size_t kept = buffer.size();
      buffer.resize(kept + kBlock);
      std::size_t read = 0;
      if (!file.Read(buffer.data() + kept, kBlock, &read)) return false;
      buffer.resize(kept + read);
      atEnd = read < kBlock;
      // A match is handled once the bytes after it are in, or the file has none.
      const std::size_t tail = needle_.size() + after_;
      const std::size_t limit =
          atEnd ? buffer.size() : (buffer.size() > tail ? buffer.size() - tail + 1 : 0);
      const std::string_view text(buffer);
      while (searchFrom < limit) {
        const void* found = ::memmem(text.data() + searchFrom, text.size() - searchFrom,
                                     needle_.data(), needle_.size());
        if (found == nullptr) break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        if (at >= limit) break;
        const std::size_t start = at > before_ ? at - before_ : 0;
        const std::size_t end = std::min(text.size(), at + tail);
        onMatch(text.substr(start, end - start), at - start);
        searchFrom = at + needle_.size();
      }
      // Keep what the next block's matches may still need: the bytes not yet searched and the
      // context before them.
      const std::size_t next = std::max(searchFrom, std::min(limit, buffer.size()));
      const std::size_t drop = next > before_ ? next - before_ : 0;
      buffer.erase(0, drop);
      searchFrom = next - drop;
    }
    return true;
  }

 private:
  std::string needle_;
  std::size_t before_;
  std::size_t after_;
};

}  // namespace corvane
