#include "platform/file_mask.h"

#include <algorithm>

#include "platform/text.h"

namespace corvane {

namespace {

// Wildcard tokens live above the last code point, so they never equal a letter.
constexpr char32_t kStar = 0x110000;     // any run of characters
constexpr char32_t kDosStar = 0x110001;  // any run that does not pass the name's last dot
constexpr char32_t kDosQm = 0x110002;    // one character, or none at a dot or the end
constexpr char32_t kDosDot = 0x110003;   // a dot, or nothing at the end

std::vector<char32_t> FoldedCodePoints(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) out.push_back(FoldCase(DecodeUtf8(text, pos)));
  return out;
}

}  // namespace

FileMask::FileMask(std::string_view mask) {
  const std::vector<char32_t> chars = FoldedCodePoints(mask);
  tokens_.reserve(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const char32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
    switch (chars[i]) {
      case '?':
        tokens_.push_back(kDosQm);
        wildcards_ = true;
        break;
      case '*':
        tokens_.push_back(next == '.' ? kDosStar : kStar);
        wildcards_ = true;
        break;
      case '.':
        tokens_.push_back((next == '?' || next == '*' || next == 0) ? kDosDot : U'.');
        break;
      default:
        tokens_.push_back(chars[i]);
    }
  }
  everything_ = tokens_ == std::vector<char32_t>{kStar} ||
                tokens_ == std::vector<char32_t>{kDosStar, kDosDot, kStar};
}

bool FileMask::Matches(std::string_view name) const {
  if (tokens_.empty()) return false;
  if (everything_) return true;
  const std::vector<char32_t> text = FoldedCodePoints(name);
  const std::size_t n = text.size();
  std::size_t lastDot = n;  // n: the name has no dot
  for (std::size_t j = n; j-- > 0;) {
    if (text[j] == '.') {
      lastDot = j;
      break;
    }
  }
  // reach[j]: the tokens so far can match the first j characters of the name. One pass per token
  // keeps hostile masks ("*a*a*a*b") from backtracking without end.
  std::vector<char> reach(n + 1, 0);
  std::vector<char> next(n + 1, 0);
  reach[0] = 1;
  for (const char32_t token : tokens_) {
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t j = 0; j <= n; ++j) {
      if (!reach[j]) continue;
      switch (token) {
        case kStar:
          std::fill(next.begin() + static_cast<std::ptrdiff_t>(j), next.end(), 1);
          j = n;  // every later position is reached already
          break;
        case kDosStar: {
          const std::size_t limit = (lastDot < n && j <= lastDot) ? lastDot : n;
          std::fill(next.begin() + static_cast<std::ptrdiff_t>(j),
                    next.begin() + static_cast<std::ptrdiff_t>(limit) + 1, 1);
          break;
        }
        case kDosQm:
          if (j < n && text[j] != '.') {
            next[j + 1] = 1;
          } else {
            next[j] = 1;
          }
          break;
        case kDosDot:
          if (j < n && text[j] == '.') next[j + 1] = 1;
          if (j == n) next[j] = 1;
          break;
        default:
          if (j < n && text[j] == token) next[j + 1] = 1;
      }
    }
    if (std::find(next.begin(), next.end(), 1) == next.end()) return false;
    reach.swap(next);
  }
  return reach[n] != 0;
}

bool MatchFileMask(std::string_view name, std::string_view mask) {
  return FileMask(mask).Matches(name);
}

}  // namespace corvane
