#include "engine/found_items.h"

#include <ctime>

#include "engine/format_size.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

std::string LanguageText(std::string_view languageFolder, std::string_view name) {
  return TemplateStore::Load("html\\" + std::string(languageFolder) + "\\" + std::string(name));
}

// "2026-12-09 03:41": one form for every language, sortable as text.
std::string ShownDate(std::int64_t seconds) {
  if (seconds < 0) return {};
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return {};
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) != 0 ? text : "";
}

}  // namespace

void FoundItems::Clear() {
  count_ = 0;
  shown_.clear();
}

void FoundItems::Add(FoundItem item) {
  ++count_;
  if (shown_.size() < kShownRows) shown_.push_back(std::move(item));
}

std::string ItemListHtml(std::span<const FoundItem> shown, std::size_t count,
                         std::string_view languageFolder, std::string_view listTemplate,
                         bool sizes) {
  if (count == 0) return {};
  const std::string separator = LanguageText(languageFolder, "thousands_separator.txt");
  std::string rows;
  for (const FoundItem& item : shown) {
    // Paths break at their separators, not inside names.
    std::string name;
    for (const char c : HtmlEscapePath(item.name)) {
      if (c == '#') {
        name += "&#35;";
      } else {
        name += c;
      }
    }
    rows += "<tr><td class=\"item-path\">" + name + "</td>";
    if (sizes) {
      rows += "<td class=\"num\">" + FormatSizeOrDash(item.size) + "</td><td class=\"num\">" +
              ShownDate(item.modified) + "</td>";
    }
    rows += "</tr>";
  }
  std::string more;
  if (count > shown.size()) {
    more = LanguageText(languageFolder, "found_more.html");
    TemplateStore::Fill(more, {{"#count#", FormatCount(count - shown.size(), separator)}});
  }
  std::string html = LanguageText(languageFolder, listTemplate);
  TemplateStore::Fill(
      html, {{"#count#", FormatCount(count, separator)}, {"#rows#", rows}, {"#more#", more}});
  return html;
}

std::string FoundItemsHtml(const FoundItems& items, std::string_view languageFolder, bool files) {
  return ItemListHtml(items.Shown(), items.Count(), languageFolder,
                      files ? "found_files.html" : "found_values.html", files);
}

}  // namespace corvane
