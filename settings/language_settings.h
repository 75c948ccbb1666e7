#pragma once
// The user-interface languages: every text the user sees comes from a folder below "html" named
// after its language. The installed languages and the current one are kept under the key
// "Software\Corvane\Erase\Internationalization" of HKEY_LOCAL_MACHINE: "CurrentLanguage"
// ("x_x" while none was chosen), "LanguageNumber" and "Item1" ... "Item<N>".

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class RegistryStore;

inline constexpr char kInternationalizationKeyPath[] =
    "Software\\Corvane\\Erase\\Internationalization";
// The registry's mark for "no language set".
inline constexpr char kLanguageNotSet[] = "x_x";
// The language shown when no other one is chosen or found.
inline constexpr char kDefaultLanguage[] = "English";

class LanguageSettings {
 public:
  // Reads "CurrentLanguage" at once (LoadCurrent); the list is read on first use.
  explicit LanguageSettings(std::string keyPath = kInternationalizationKeyPath);

  // The process-wide settings of the machine whose registry is open: made at first use, and made
  // again when another machine's registry has been opened since.
  [[nodiscard]] static LanguageSettings& Instance();

  // Reads "CurrentLanguage"; answers whether it names a language (is not "x_x").
  bool LoadCurrent();
  // The current language, or "x_x" when none is set.
  [[nodiscard]] std::string GetCurrent();
  // Reads "LanguageNumber" and every "Item<i>"; answers whether the list is complete. A
  // "LanguageNumber" that is no REG_DWORD counts as none.
  bool LoadList();
  // The installed languages in "Item" order; empty while the list is incomplete.
  [[nodiscard]] std::vector<std::string> GetLanguages();
  // Makes `name` current when it is one of the installed languages and writes it to the
  // registry; answers whether the write succeeded. Any other name changes nothing.
  bool SetCurrent(const std::string& name);

  // When the registry lists no language ("LanguageNumber" missing or 0), writes the list of
  // `folders` (a program run from its build folder or an unpacked archive has no installer to do
  // it). Answers whether it wrote one.
  bool RegisterLanguages(const std::vector<std::string>& folders);

  // The folder pages come from at start-up: the current language; without one, the installed
  // language of the user's locale; else English.
  [[nodiscard]] std::string StartupFolder();

 private:
  std::string keyPath_;
  bool hasCurrent_ = false;
  std::string current_;
  bool listLoaded_ = false;
  std::vector<std::string> languages_;
  unsigned count_ = 0;
};

// The language folders below the program folder's "html" (every folder but "Common"), English
// first, then by name.
[[nodiscard]] std::vector<std::string> InstalledLanguageFolders();

// The language of the user's locale (LC_ALL, else LC_MESSAGES, else LANG; "de_DE.UTF-8" is
// German) when it is one of `languages`; empty otherwise.
[[nodiscard]] std::string LocaleLanguage(const std::vector<std::string>& languages);

}  // namespace corvane
