#include "settings/language_settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app/registry_key.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/registry_store.h"

namespace corvane {

namespace {

constexpr char kCurrentValue[] = "CurrentLanguage";
constexpr char kCountValue[] = "LanguageNumber";
// More languages than any installation has: a junk count must not make us create thousands of
// "Item" values.
constexpr unsigned kMaxLanguages = 256;

std::string ItemName(unsigned index) {
  return "Item" + std::to_string(index);
}

// Whether the value is missing or has `type`. A value of another type is not ours to read as
// ours, nor to replace: the objects that read it leave it alone.
bool MissingOrOfType(const std::string& keyPath, std::string_view name, DWORD wanted) {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
  DWORD type = REG_NONE;
  DWORD size = 0;
  const LONG result = RegQueryValueExW(key, name, &type, nullptr, &size);
  RegCloseKey(key);
  return result != ERROR_SUCCESS || type == wanted || (wanted == REG_SZ && type == REG_EXPAND_SZ);
}

// Locale codes and the folder names languages are installed under.
struct LocaleFolder {
  std::string_view code;
  std::string_view folder;
};
constexpr LocaleFolder kLocaleFolders[] = {
    {"de", "German"},    {"en", "English"},  {"fr", "French"},     {"es", "Spanish"},
    {"it", "Italian"},   {"nl", "Dutch"},    {"pt", "Portuguese"}, {"pl", "Polish"},
    {"cs", "Czech"},     {"da", "Danish"},   {"sv", "Swedish"},    {"nb", "Norwegian"},
    {"fi", "Finnish"},   {"ru", "Russian"},  {"uk", "Ukrainian"},  {"tr", "Turkish"},
    {"hu", "Hungarian"}, {"ja", "Japanese"}, {"zh", "Chinese"},    {"ko", "Korean"},
};

}  // namespace

LanguageSettings::LanguageSettings(std::string keyPath) : keyPath_(std::move(keyPath)) {
  LoadCurrent();
}

LanguageSettings& LanguageSettings::Instance() {
  static std::mutex mutex;
  static std::unique_ptr<LanguageSettings> instance;
  static const RegistryStore* madeFor = nullptr;
  static std::filesystem::path madeForPrefix;
  std::lock_guard lock(mutex);
  // A store made after another one was destroyed may sit at its address: the prefix tells them
  // apart.
  const RegistryStore* store = RegistryStore::Current();
  if (!instance || madeFor != store || (store != nullptr && madeForPrefix != store->Prefix())) {
    madeFor = store;
    madeForPrefix = store != nullptr ? store->Prefix() : std::filesystem::path();
    instance = std::make_unique<LanguageSettings>();
  }
  return *instance;
}

bool LanguageSettings::LoadCurrent() {
  RegistryString value(HKEY_LOCAL_MACHINE, keyPath_, kCurrentValue, kLanguageNotSet);
  value.SetReadOnly(!MissingOrOfType(keyPath_, kCurrentValue, REG_SZ));
  current_ = value.value;
  hasCurrent_ = current_ != kLanguageNotSet && !current_.empty();
  return hasCurrent_;
}

std::string LanguageSettings::GetCurrent() {
  if (hasCurrent_ || LoadCurrent()) return current_;
  return kLanguageNotSet;
}

bool LanguageSettings::LoadList() {
  const bool countIsDword = MissingOrOfType(keyPath_, kCountValue, REG_DWORD);
  RegistryDword count(HKEY_LOCAL_MACHINE, keyPath_, kCountValue, 0);
  if (!countIsDword) {
    count.SetReadOnly(true);  // someone else's value: leave it as it is
    count.value = 0;
  }
  count_ = std::min(count.value, kMaxLanguages);
  listLoaded_ = false;
  if (count_ == 0) return false;
  languages_.clear();
  for (unsigned i = 1; i <= count_; ++i) {
    RegistryString item(HKEY_LOCAL_MACHINE, keyPath_, ItemName(i), kLanguageNotSet);
    item.SetReadOnly(!MissingOrOfType(keyPath_, ItemName(i), REG_SZ));
    if (item.value == kLanguageNotSet || item.value.empty()) return false;
    languages_.push_back(item.value);
  }
  listLoaded_ = true;
  return true;
}

std::vector<std::string> LanguageSettings::GetLanguages() {
  if (listLoaded_ || LoadList()) return languages_;
  return {};
}

bool LanguageSettings::SetCurrent(const std::string& name) {
  if (!listLoaded_) LoadList();
  if (std::find(languages_.begin(), languages_.end(), name) == languages_.end()) return false;
  current_ = name;
  hasCurrent_ = true;
  RegistryString value(HKEY_LOCAL_MACHINE, keyPath_, kCurrentValue, name);
  value.SetReadOnly(true);  // written once, here
  value.value = name;
  value.type = REG_SZ;
  value.Write();
  return value.Status() == RegistryStatus::Ok;
}

bool LanguageSettings::RegisterLanguages(const std::vector<std::string>& folders) {
  if (folders.empty() || !MissingOrOfType(keyPath_, kCountValue, REG_DWORD)) return false;
  RegistryDword count(HKEY_LOCAL_MACHINE, keyPath_, kCountValue, 0);
  count.SetReadOnly(true);
  if (count.value != 0) return false;
  const unsigned n = static_cast<unsigned>(std::min<std::size_t>(folders.size(), kMaxLanguages));
  for (unsigned i = 1; i <= n; ++i) {
    RegistryString item(HKEY_LOCAL_MACHINE, keyPath_, ItemName(i), folders[i - 1]);
    item.SetReadOnly(true);
    item.Write();
  }
  count.value = n;
  count.Write();
  listLoaded_ = false;
  return count.Status() == RegistryStatus::Ok;
}

std::string LanguageSettings::StartupFolder() {
  const std::string current = GetCurrent();
  if (current != kLanguageNotSet) return current;
  const std::string fromLocale = LocaleLanguage(GetLanguages());
  return fromLocale.empty() ? kDefaultLanguage : fromLocale;
}

std::vector<std::string> InstalledLanguageFolders() {
  std::vector<std::string> folders;
  const std::optional<std::string> html = ProgramFilePath("html");
  if (!html) return folders;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(*html, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == "Common" || name.starts_with('.') || !it->is_directory(ec)) continue;
    folders.push_back(name);
  }
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    if ((a == kDefaultLanguage) != (b == kDefaultLanguage)) return a == kDefaultLanguage;
    return a < b;
  });
  return folders;
}

std::string LocaleLanguage(const std::vector<std::string>& languages) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  // "de_DE.UTF-8@euro": the language code is what comes before "_", "." or "@".
  const std::string code = locale.substr(0, locale.find_first_of("_.@"));
  for (const LocaleFolder& entry : kLocaleFolders) {
    if (entry.code != code) continue;
    if (std::find(languages.begin(), languages.end(), entry.folder) != languages.end()) {
      return std::string(entry.folder);
    }
  }
  return {};
}

}  // namespace corvane
