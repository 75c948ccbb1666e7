#pragma once
// The global options that change how cleaning works, shown as check boxes at the end of the
// Settings page and kept as strings under HKEY_LOCAL_MACHINE "Software\Corvane\Erase\Options".
// An option is on when its string is not empty; the page writes "1" for on and "" for off. Clicks
// change the store in memory only: the registry is written at the next Save.

#include <map>
#include <string>
#include <string_view>

#include "platform/dom/document.h"
#include "platform/dom/element.h"
#include "settings/registry_section_store.h"

namespace corvane {

// Value name to value. Indexing a missing name inserts it with the empty string, so an option that
// was never stored reads as off and is written as "" at the next save.
using StringSection = std::map<std::string, std::string, RegistryNameLess>;

inline constexpr char kOptionsKeyPath[] = "Software\\Corvane\\Erase\\Options";
// Files are overwritten before they are deleted.
inline constexpr std::string_view kOptionOverwrite = "Owerwrite";
// Of the cookies, only those of black-listed domains are deleted.
inline constexpr std::string_view kOptionBlackListOnly = "DeleteBlListOnly";
// "Erase selected" goes ahead without asking first (the question is on by default).
inline constexpr std::string_view kOptionNoEraseQuestion = "NoEraseQuestion";
// Every option, in the order the Settings page shows them.
inline constexpr std::string_view kOptionNames[] = {kOptionOverwrite, kOptionBlackListOnly,
                                                    kOptionNoEraseQuestion};
inline constexpr std::string_view kOverwriteCheckBoxId = "cbOptOw";
inline constexpr std::string_view kBlackListOnlyCheckBoxId = "cbOptBl";
inline constexpr std::string_view kAskBeforeEraseCheckBoxId = "cbOptAsk";

// Whether the option is on in a copy taken with GetGlobalOptions.
[[nodiscard]] bool IsOptionOn(const StringSection& options, std::string_view name);

class OptionsStore final : public RegistrySectionStore<StringSection> {
 public:
  OptionsStore();

  // A copy of the unnamed section: what a cleaner holds for the length of a scan or an erase.
  [[nodiscard]] StringSection GetGlobalOptions() const;

  // Appends the options block to `target` (the Settings page's "SettingsArea") as a new div filled
  // from "html\<languageFolder>\options.html" with the check boxes of the options that are on
  // marked "checked". False when the target element is missing.
  bool RenderOptionsBlock(dom::Document& document, dom::Element target,
                          std::string_view languageFolder);

  // Whether "Erase selected" asks for confirmation first.
  [[nodiscard]] bool AsksBeforeErase() const;

  // A click on the element with id `id`: the options' check boxes set their option from their
  // "checked" state; any other element, or one without a checked state, changes nothing.
  void OnOptionClick(std::string_view id, const dom::Element& element);

 protected:
  // Every value as REG_SZ with its terminating NUL.
  [[nodiscard]] bool WriteSection(const StringSection& section, HKEY key) override;
  // The REG_SZ values that fit a 512-character name and 512 bytes of data; values of other types
  // and values too large are skipped.
  void ReadSection(StringSection& section, HKEY key) override;
};

}  // namespace corvane
