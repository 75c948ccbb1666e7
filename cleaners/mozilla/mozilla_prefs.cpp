#include "cleaners/mozilla/mozilla_prefs.h"

#include <cstring>

#include "platform/machine.h"

namespace corvane {

namespace {

// A preference line worth reading is short; a longer one is passed over whole, so its end is
// never taken for a line of its own.
constexpr std::size_t kMaxPrefLine = 64 * 1024;

enum class LineVerdict { NotIt, Found, FoundWithoutValue };

LineVerdict JudgeLine(std::string_view line, std::string_view name, std::string& value) {
  if (line.empty() || line.front() == '#' || line.front() == '\r') return LineVerdict::NotIt;
  if (line.find(name) == std::string_view::npos) return LineVerdict::NotIt;
  const std::size_t comma = line.find(',');
  const std::size_t open = comma == std::string_view::npos ? comma : line.find('"', comma);
  const std::size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
  if (close == std::string_view::npos) return LineVerdict::FoundWithoutValue;
  const std::string_view quoted = line.substr(open + 1, close - open - 1);
  if (PathLength(quoted) > kMaxPrefValue) return LineVerdict::FoundWithoutValue;
  value = quoted;
  return LineVerdict::Found;
}

}  // namespace

std::optional<std::string> ReadPref(std::string_view path, std::string_view name) {
  FileHandle file = OpenExistingFile(path, FileAccess::Read);
  if (!file) return std::nullopt;
  return ReadPref(file, name);
}

std::optional<std::string> ReadPref(FileHandle& file, std::string_view name) {
  if (name.empty()) return std::nullopt;
  constexpr std::size_t kBlock = 64 * 1024;
  std::string block(kBlock, '\0');
  std::string line;
  bool overlong = false;  // the current line has outgrown kMaxPrefLine: skip to its end
  std::string value;
  const auto judge = [&]() {
    const LineVerdict verdict = overlong ? LineVerdict::NotIt : JudgeLine(line, name, value);
    line.clear();
    overlong = false;
    return verdict;
  };
  for (;;) {
    std::size_t read = 0;
    if (!file.Read(block.data(), kBlock, &read)) return std::nullopt;
    std::size_t pos = 0;
    while (pos < read) {
      const char* start = block.data() + pos;
      const auto* newline = static_cast<const char*>(std::memchr(start, '\n', read - pos));
      const std::size_t length =
          newline != nullptr ? static_cast<std::size_t>(newline - start) : read - pos;
      if (!overlong) {
        if (line.size() + length > kMaxPrefLine) {
          overlong = true;
          line.clear();
        } else {
          line.append(start, length);
        }
      }
      pos += length;
      if (newline == nullptr) break;
      ++pos;
      switch (judge()) {
        case LineVerdict::Found:
          return value;
        case LineVerdict::FoundWithoutValue:
          return std::nullopt;
        case LineVerdict::NotIt:
          break;
      }
    }
    if (read < kBlock) break;
  }
  if (judge() == LineVerdict::Found) return value;
  return std::nullopt;
}

}  // namespace corvane
