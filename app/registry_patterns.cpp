#include "app/registry_patterns.h"

#include <vector>

#include "platform/text.h"

namespace corvane {

namespace {

// Name buffers of the walks, in UTF-16 characters including the NUL.
constexpr DWORD kCountNameChars = 1000;
constexpr DWORD kDeleteNameChars = 1024;
constexpr DWORD kSubkeyNameChars = 256;

bool Cancelled(const CancelCheck& cancel) {
  return cancel && cancel();
}

}  // namespace

bool MatchWildcard(std::string_view name, std::string_view pattern) {
  if (name.empty()) return pattern.empty();
  if (pattern.empty()) return true;
  std::size_t at = 0;  // index into name
  std::size_t p = 0;   // index into pattern
  while (true) {
    bool afterStar = false;
    while (p < pattern.size() && pattern[p] == '*') {
      afterStar = true;
      ++p;
    }
    if (p == pattern.size()) return true;
    const std::size_t pieceEnd = std::min(pattern.find('*', p), pattern.size());
    const std::string_view piece = pattern.substr(p, pieceEnd - p);
    if (afterStar) {
      // The star takes at least one whole character.
      if (at >= name.size()) return false;
      (void)DecodeUtf8(name, at);
      at = name.find(piece, at);
      if (at == std::string_view::npos) return false;
    } else if (name.substr(at, piece.size()) != piece) {
      return false;
    }
    at += piece.size();
    p = pieceEnd;
    if (p == pattern.size()) return at == name.size();
    if (at >= name.size()) return false;  // a star must still have a character to take
  }
}

bool CountMatchingValues(HKEY root, std::string_view keyPath, std::string_view pattern,
                         std::uint32_t& counter, const MatchingValueSink& found) {
  HKEY key = 0;
  if (RegOpenKeyW(root, keyPath, &key) != ERROR_SUCCESS) return false;
  std::string name;
  for (DWORD index = 0;; ++index) {
    DWORD nameChars = kCountNameChars;
    if (RegEnumValueW(key, index, &name, &nameChars, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (!MatchWildcard(name, pattern)) continue;
    ++counter;
    if (found) found(keyPath, name);
  }
  RegCloseKey(key);
  return true;
}

bool CountMatchingValuesInTree(HKEY root, std::string_view keyPath, std::string_view pattern,
                               std::uint32_t& counter, const CancelCheck& cancel,
                               const MatchingValueSink& found) {
  bool result = CountMatchingValues(root, keyPath, pattern, counter, found);
  HKEY key = 0;
  if (RegOpenKeyW(root, keyPath, &key) != ERROR_SUCCESS) return false;
  std::string subkey;
  for (DWORD index = 0; RegEnumKeyW(key, index, &subkey, kSubkeyNameChars) == ERROR_SUCCESS;
       ++index) {
    if (Cancelled(cancel)) {
      result = false;
      break;
    }
    // Below this key the paths are the sub-key's own: the sink hears them from here on.
    MatchingValueSink below;
    if (found) {
      below = [&](std::string_view path, std::string_view name) {
        found(std::string(keyPath) + "\\" + std::string(path), name);
      };
    }
    if (!CountMatchingValuesInTree(key, subkey, pattern, counter, cancel, below)) {
      result = false;
      if (Cancelled(cancel)) break;
    }
  }
  RegCloseKey(key);
  return result;
}

bool DeleteMatchingValues(HKEY root, std::string_view keyPath, std::string_view pattern,
                          std::uint32_t& deleted, std::uint32_t* notDeleted) {
  HKEY key = 0;
  if (RegOpenKeyW(root, keyPath, &key) != ERROR_SUCCESS) return false;
  bool result = true;
  std::string name;
  std::string vanished;
  DWORD index = 0;
  while (true) {
    DWORD nameChars = kDeleteNameChars;
    if (RegEnumValueW(key, index, &name, &nameChars, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (!MatchWildcard(name, pattern)) {
      ++index;
      continue;
    }
    // After a deletion the next value has moved into this index.
    const LONG error = RegDeleteValueW(key, name);
    if (error == ERROR_SUCCESS) {
      ++deleted;
    } else if (error == ERROR_FILE_NOT_FOUND) {
      // Gone already (another thread); a name that keeps coming back is stepped over.
      if (name == vanished) ++index;
      vanished = name;
    } else {
      result = false;
      if (notDeleted != nullptr) ++*notDeleted;
      ++index;
    }
  }
  RegCloseKey(key);
  return result;
}

bool DeleteMatchingValuesInTree(HKEY root, std::string_view keyPath, std::string_view pattern,
                                const CancelCheck& cancel, DeletionTally* tally) {
  std::uint32_t deletedHere = 0;
  std::uint32_t notDeletedHere = 0;
  bool result = DeleteMatchingValues(root, keyPath, pattern, deletedHere, &notDeletedHere);
  // Values deleted before a failure were still deleted: they are counted either way.
  if (tally != nullptr && (result || deletedHere != 0)) tally->AddDone({deletedHere, 0});
  if (tally != nullptr && notDeletedHere != 0) tally->AddFailed({notDeletedHere, 0});
  HKEY key = 0;
  if (RegOpenKeyW(root, keyPath, &key) != ERROR_SUCCESS) return false;
  std::vector<std::string> subkeys;
  std::string subkey;
  LONG enumResult = ERROR_SUCCESS;
  for (DWORD index = 0;
       (enumResult = RegEnumKeyW(key, index, &subkey, kSubkeyNameChars)) == ERROR_SUCCESS;
       ++index) {
    subkeys.push_back(subkey);
  }
  if (enumResult != ERROR_NO_MORE_ITEMS) result = false;
  for (const std::string& name : subkeys) {
    if (Cancelled(cancel)) {
      result = false;
      break;
    }
    if (!DeleteMatchingValuesInTree(key, name, pattern, cancel, tally)) {
      result = false;
      if (Cancelled(cancel)) break;
    }
  }
  (void)SHDeleteEmptyKeyW(root, keyPath);
  RegCloseKey(key);
  return result;
}

std::string RegistryRootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
      return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
      return "HKEY_USERS";
    case HKEY_PERFORMANCE_DATA:
      return "HKEY_PERFORMANCE_DATA";
    case HKEY_CURRENT_CONFIG:
      return "HKEY_CURRENT_CONFIG";
    case HKEY_DYN_DATA:
      return "HKEY_DYN_DATA";
    case HKEY_PERFORMANCE_TEXT:
      return "HKEY_PERFORMANCE_TEXT";
    case HKEY_PERFORMANCE_NLSTEXT:
      return "HKEY_PERFORMANCE_NLSTEXT";
    default:
      return {};
  }
}

}  // namespace corvane
