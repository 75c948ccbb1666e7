#pragma once
// The HTML templates installed below the program folder, and how pages are filled from them:
// "#name#" placeholders replaced by values, lists built from a row template. Nothing is cached:
// every use reads the file again, so an edited template shows at its next use.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

class TemplateStore {
 public:
  // Placeholder and value pairs, applied in order, each to the text the previous one left.
  using Replacements = std::vector<std::pair<std::string_view, std::string>>;

  // The UTF-8 text of the file at `relative` below the program folder ("/" or "\" as separator).
  // A missing, unreadable or non-regular file, or a path that climbs out of the folder with "..",
  // reads as empty text. Invalid UTF-8 becomes U+FFFD; a byte-order mark stays as U+FEFF.
  [[nodiscard]] static std::string Load(std::string_view relative);

  // Replaces every occurrence of `placeholder` in `text` with `value`, left to right, without
  // overlap and without scanning inserted values again. Returns the number of replacements; an
  // empty placeholder replaces nothing.
  static std::size_t Replace(std::string& text, std::string_view placeholder,
                             std::string_view value);
  // Applies each replacement in order.
  static void Fill(std::string& text, const Replacements& replacements);

  // The outer template with every `listPlaceholder` replaced by one filled copy of the row
  // template per row, in order; no rows leave the placeholder replaced by nothing.
  [[nodiscard]] static std::string BuildList(std::string outer, std::string_view row,
                                             std::string_view listPlaceholder,
                                             std::span<const Replacements> rows);

  // The file:// URI of a page below "html/" of the program folder ("Common\layout.html"), its path
  // percent-encoded. Empty when the page name climbs out with ".." or the folder is unknown.
  [[nodiscard]] static std::string PageUrl(std::string_view pageName);
};

}  // namespace corvane
