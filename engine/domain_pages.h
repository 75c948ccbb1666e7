#pragma once
// The details and report pages of the browser cleaners: one filled row template per domain row,
// a totals block, and the page around them, all from the plug-in's own folder. The cache
// cleaner's five-column layout is ready-made; the other browser cleaners, whose rows show other
// columns, build theirs with BuildDomainPage and fill functions of their own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "engine/browser_scan_result.h"
#include "engine/plugin.h"
#include "platform/dom/element.h"
#include "ui/template_store.h"

namespace corvane {

enum class DomainPageKind { Details, Report };

// The templates of a page: "details.html" around "domaindetails.html" rows and a
// "totaldetails.html" block, or the "report" ones; `empty` (of the shared folder) replaces the
// rows when there are none at all.
struct DomainPageTemplates {
  std::string_view page;
  std::string_view row;
  std::string_view totals;
  std::string_view empty;
};
[[nodiscard]] DomainPageTemplates DomainTemplates(DomainPageKind kind);

// What the totals block counts: every row, shown or not.
struct DomainTotals {
  std::size_t rows = 0;
  std::size_t shownRows = 0;  // rows written (a report writes only failed and erased ones)
  std::uint64_t items = 0;
  std::uint64_t size = 0;
  bool anyRow = false;  // there was at least one row (the report's rows may all be hidden)
};

// The replacements of one row or of the totals. List placeholders that take data (names, URLs)
// last: a later replacement scans the text again, and data must never be taken for a
// placeholder.
using DomainRowFill = std::function<TemplateStore::Replacements(const DomainRow&)>;
using DomainTotalsFill = std::function<TemplateStore::Replacements(const DomainTotals&)>;

// A details page lists the entries of each row's domain, collapsed, in the row's "#entries#": at
// most kShownDomainEntries of a domain and kShownPageEntries of a page are written, so that a
// page stays quick however many entries a scan found; the rest are counted ("and N more").
inline constexpr std::size_t kShownDomainEntries = 300;
inline constexpr std::size_t kShownPageEntries = 3000;

// The collapsed list of a domain's entries (address, size, last access) out of `total` (more when
// the record kept only some), writing at most `pageBudget` rows and taking them from it; nothing
// when there are no entries.
[[nodiscard]] std::string DomainEntriesHtml(std::span<const DomainEntry> entries, std::size_t total,
                                            std::string_view languageFolder,
                                            std::size_t& pageBudget);

// The page's HTML. Each row's "#row#" becomes its number in the list, from 1 (what its check box
// is named after). With `entries` (the results the rows were built from) a details page fills
// each row's "#entries#" first; without, or on a report, "#entries#" is left out. A report writes
// only rows whose status is Failed or Erased, with "#result#" replaced (before the row's own
// replacements) by the plug-in's "res_Error.html" or "res_Erased.html" text. The page gets
// "#total#" = the totals text, then "#volumes#" = the rows.
[[nodiscard]] std::string BuildDomainPage(const Plugin& plugin, std::span<const DomainRow> rows,
                                          DomainPageKind kind, const DomainRowFill& fillRow,
                                          const DomainTotalsFill& fillTotals,
                                          const BrowserResults* entries = nullptr);

// The cache cleaner's layout: rows with "#name#", "#num#", "#size#" (FormatSize) and "#browser#";
// totals with "#numdom#", "#numit#", "#size#" and, on the details page, "#icon#" (the no-icon
// when there are rows, the ok icon when there are none).
[[nodiscard]] std::string BuildDomainDetails(const Plugin& plugin, std::span<const DomainRow> rows,
                                             const BrowserResults* entries = nullptr);
[[nodiscard]] std::string BuildDomainReport(const Plugin& plugin, std::span<const DomainRow> rows);

// Puts the page `build` makes into the element: 1 and the element untouched (nothing built) when
// the plug-in has not been scanned, else 0.
int ShowDomainPage(const Plugin& plugin, dom::Element& element,
                   const std::function<std::string()>& build);

// The check boxes of a browser cleaner's page: 1 when the plug-in has not been scanned or the
// element cannot be read; 0 for an id that is not "cbw" followed by a non-zero number; otherwise
// 0 when "checked" reads as a boolean, 1 when it does not.
[[nodiscard]] int OnDomainCheckbox(const Plugin& plugin, std::string_view elementId,
                                   const dom::Element& element);

}  // namespace corvane
