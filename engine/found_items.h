#pragma once
// The items a scan found, for the details pages: every one is counted, the first few hundred are
// kept with their name, size and date, so a page stays quick however much a cleaner finds. Any
// cleaner fills one during its scan (on the worker) and reads it for its page (after the scan).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct FoundItem {
  std::string name;            // a path as the machine names it, or a registry value
  std::uint64_t size = 0;      // bytes; files only
  std::int64_t modified = -1;  // seconds since 1970 (UTC); -1 when unknown
};

class FoundItems {
 public:
  static constexpr std::size_t kShownRows = 300;

  void Clear();
  void Add(FoundItem item);
  [[nodiscard]] std::size_t Count() const { return count_; }
  [[nodiscard]] const std::vector<FoundItem>& Shown() const { return shown_; }

 private:
  std::size_t count_ = 0;
  std::vector<FoundItem> shown_;
};

// The list as a collapsed block of a details page: a summary line that opens it on a click, a
// table of the kept rows (name; size and date for files) and "and N more" for the rest. Texts
// come from "html\<language>\found_*.html"; nothing at all when the list is empty.
[[nodiscard]] std::string FoundItemsHtml(const FoundItems& items, std::string_view languageFolder,
                                         bool files);

// The same block for any list: `shown` are the rows written, `count` all there are, `listTemplate`
// the language's file around them ("#count#", "#rows#", "#more#"); `sizes` adds the size and date
// columns. A "#" of an item's name is written as a character reference, so that no placeholder
// filled after the block can be found inside a name.
[[nodiscard]] std::string ItemListHtml(std::span<const FoundItem> shown, std::size_t count,
                                       std::string_view languageFolder,
                                       std::string_view listTemplate, bool sizes);

}  // namespace corvane
