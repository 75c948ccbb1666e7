#pragma once
// Windows wildcard masks for the last component of a file search. "*" matches any run of
// characters and "?" one character, with the old DOS refinements Windows still applies: "*.*"
// matches every name (also one without a dot), "*." only names without an extension, "?" also
// matches nothing at a dot or at the end ("file.??" finds "file.c"), and "*" before a dot stops at
// the name's last dot. Letters compare case-insensitively.

#include <string_view>
#include <vector>

namespace corvane {

class FileMask {
 public:
  explicit FileMask(std::string_view mask);

  [[nodiscard]] bool Matches(std::string_view name) const;
  // True for "*" and "*.*": every name matches, so a listing need not test each one.
  [[nodiscard]] bool MatchesEverything() const { return everything_; }
  // False for a plain name, which names at most one entry.
  [[nodiscard]] bool HasWildcards() const { return wildcards_; }

 private:
  std::vector<char32_t> tokens_;  // folded letters and the wildcard tokens
  bool everything_ = false;
  bool wildcards_ = false;
};

// FileMask(mask).Matches(name). An empty mask matches nothing.
[[nodiscard]] bool MatchFileMask(std::string_view name, std::string_view mask);

}  // namespace corvane
