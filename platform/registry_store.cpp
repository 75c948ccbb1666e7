#include "platform/registry_store.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/registry_hive_file.h"
#include "platform/security_descriptor.h"
#include "platform/text.h"
#include "platform/wine_server.h"

namespace corvane {

namespace {

std::atomic<RegistryStore*> g_current{nullptr};
// Handle values are unique across stores, so a handle of one store never works in another.
std::atomic<HKEY> g_nextHandle{0x1000};

// Links may point at links; a loop must end.
constexpr int kMaxLinkHops = 16;

bool IsPredefined(HKEY key) {
  switch (key) {
    case HKEY_CLASSES_ROOT:
    case HKEY_CURRENT_USER:
    case HKEY_LOCAL_MACHINE:
    case HKEY_USERS:
    case HKEY_PERFORMANCE_DATA:
    case HKEY_CURRENT_CONFIG:
    case HKEY_DYN_DATA:
    case HKEY_PERFORMANCE_TEXT:
    case HKEY_PERFORMANCE_NLSTEXT:
      return true;
    default:
      return false;
  }
}

bool IsServedRoot(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
         key == HKEY_USERS;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

DWORD Utf16Length(std::string_view text) {
  return static_cast<DWORD>(Utf8ToUtf16(text).size());
}

// Copies a name into a caller's buffer of `*capacity` UTF-16 characters (NUL included).
DWORD ReturnName(const std::string& text, std::string* out, DWORD* capacity) {
  const DWORD length = Utf16Length(text);
  if (length >= *capacity) return ERROR_MORE_DATA;
  if (out != nullptr) *out = text;
  *capacity = length;
  return ERROR_SUCCESS;
}

// The answer to every security query: the hives keep no ACLs, so everyone has full access.
SecurityBytes DefaultDescriptor(SECURITY_INFORMATION information) {
  const SecurityBytes administrators = MakeSid(SECURITY_NT_AUTHORITY, {32, 544});
  const SecurityBytes system = MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID});
  SecurityBytes dacl;
  if ((information & DACL_SECURITY_INFORMATION) != 0) {
    const SecurityBytes everyone = MakeSid(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    if (!InitializeAcl(dacl, kAclHeaderSize + kAceHeaderSize + everyone.size(), ACL_REVISION) ||
        !AddAccessAllowedAce(dacl, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS,
                             everyone)) {
      dacl.clear();
    }
  }
  const bool owner = (information & OWNER_SECURITY_INFORMATION) != 0;
  const bool group = (information & GROUP_SECURITY_INFORMATION) != 0;
  return MakeSelfRelativeDescriptor(
      owner ? std::span<const std::uint8_t>(administrators) : std::span<const std::uint8_t>(),
      group ? std::span<const std::uint8_t>(system) : std::span<const std::uint8_t>(), dacl);
}

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path prefix) : prefix_(std::move(prefix)) {
  machine_.path = prefix_ / "system.reg";
  machine_.defaultBranch = "REGISTRY\\Machine";
  user_.path = prefix_ / "user.reg";
  user_.defaultBranch = "REGISTRY\\User\\S-1-5-21-0-0-0-1000";
  defaultUser_.path = prefix_ / "userdef.reg";
  defaultUser_.defaultBranch = "REGISTRY\\User\\.Default";
}

RegistryStore::~RegistryStore() {
  RegistryStore* self = this;
  g_current.compare_exchange_strong(self, nullptr);
  std::lock_guard lock(mutex_);
  (void)FlushLocked();
}

RegistryStore* RegistryStore::Current() {
  return g_current.load();
}

void RegistryStore::SetCurrent(RegistryStore* store) {
  g_current.store(store);
}

bool RegistryStore::Flush() {
  std::lock_guard lock(mutex_);
  return FlushLocked();
}

std::string RegistryStore::LastSaveProblem() const {
  std::lock_guard lock(mutex_);
  return lastProblem_;
}

bool RegistryStore::HasUnsavedChanges() const {
  std::lock_guard lock(mutex_);
  return machine_.dirty || user_.dirty || defaultUser_.dirty;
}

std::string RegistryStore::UserSid() {
  std::lock_guard lock(mutex_);
  return UserSidLocked();
}

bool RegistryStore::FlushLocked() {
  std::vector<Hive*> changed;
  for (Hive* hive : {&machine_, &user_, &defaultUser_}) {
    if (hive->dirty && !hive->data.readOnly) changed.push_back(hive);
  }
  if (changed.empty()) return true;
  if (IsWineServerRunning(prefix_)) {
    ReportProblem("Registry: a wineserver is running for " + prefix_.string() +
                  "; registry changes are kept in memory and not saved");
    return false;
  }
  bool allSaved = true;
  for (Hive* hive : changed) {
    if (SaveHiveFile(hive->path, hive->data)) {
      hive->dirty = false;
    } else {
      ReportProblem("Registry: cannot save " + hive->path.string() + " (error " +
                    std::to_string(GetLastError()) + "); the changes are kept in memory");
      allSaved = false;
    }
  }
  return allSaved;
}

void RegistryStore::ReportProblem(std::string problem) {
  // The one place a registry problem is reported: kept for LastSaveProblem() and, once the trace
  // log is linked into the platform layer, written to it as well.
  lastProblem_ = std::move(problem);
}

RegistryStore::Hive& RegistryStore::Loaded(Hive& hive) {
  if (hive.loaded) return hive;
  hive.loaded = true;
  switch (LoadHiveFile(hive.path, hive.data)) {
    case HiveLoadResult::Loaded:
      break;
    case HiveLoadResult::Missing:
      // A hive Wine has not written yet (userdef.reg in a fresh prefix): starts empty and is
      // created when something is stored in it.
      hive.data = RegistryHive{};
      hive.data.branch = hive.defaultBranch;
      if (&hive != &machine_) hive.data.arch = Loaded(machine_).data.arch;
      break;
    case HiveLoadResult::Unreadable: {
      const DWORD error = GetLastError();
      hive.data = RegistryHive{};
      hive.data.readOnly = true;
      hive.data.parseError =
          hive.path.string() + ": cannot be read (error " + std::to_string(error) + ")";
      ReportProblem("Registry: " + hive.data.parseError + "; it is left as it is");
      break;
    }
    case HiveLoadResult::Damaged:
      hive.data.readOnly = true;
      ReportProblem("Registry: " + hive.data.parseError +
                    "; the hive is used read-only and never saved");
      break;
  }
  return hive;
}

std::string RegistryStore::UserSidLocked() {
  const std::vector<std::string> parts = SplitPath(Loaded(user_).data.branch);
  if (parts.empty() || !parts.back().starts_with("S-")) return {};
  return parts.back();
}

std::vector<std::string> RegistryStore::UsersRootNames() {
  std::vector<std::string> names{".Default"};
  if (std::string sid = UserSidLocked(); !sid.empty()) names.push_back(std::move(sid));
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CompareRegistryNames(a, b) < 0;
  });
  return names;
}

HKEY RegistryStore::AddHandle(const KeyRef& key) {
  const HKEY handle = g_nextHandle.fetch_add(4);
  handles_[handle] = Handle{key, false};
  return handle;
}

void RegistryStore::Changed(Hive& hive, RegistryNode& node) {
  node.modified = FileTimeNow();
  hive.dirty = true;
}

DWORD RegistryStore::Resolve(HKEY key, KeyRef& out) {
  return Locate(key, {}, Walk::Open, out);
}

DWORD RegistryStore::Locate(HKEY key, std::string_view subKey, Walk walk, KeyRef& out) {
  if (subKey.starts_with('\\')) return ERROR_BAD_PATHNAME;
  std::vector<std::string> parts = SplitPath(subKey);
  if (walk == Walk::Create) {
    for (const std::string& part : parts) {
      if (Utf16Length(part) > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    }
  }
  const DWORD missing = walk == Walk::Create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  KeyRef from;
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      from = {&Loaded(machine_), &machine_.data.root};
      break;
    case HKEY_CLASSES_ROOT:
      from = {&Loaded(machine_), &machine_.data.root};
      parts.insert(parts.begin(), {"Software", "Classes"});
      break;
    case HKEY_CURRENT_USER:
      from = {&Loaded(user_), &user_.data.root};
      break;
    case HKEY_USERS:
      break;
    default: {
      if (IsPredefined(key)) return missing;
      const auto it = handles_.find(key);
      if (it == handles_.end()) return ERROR_INVALID_HANDLE;
      if (it->second.deleted) return ERROR_KEY_DELETED;
      from = it->second.key;
    }
  }
  if (from.IsUsersRoot() && !parts.empty()) {
    const std::string sid = UserSidLocked();
    if (EqualsNoCase(parts.front(), ".Default")) {
      from = {&Loaded(defaultUser_), &defaultUser_.data.root};
    } else if (!sid.empty() && EqualsNoCase(parts.front(), sid)) {
      from = {&Loaded(user_), &user_.data.root};
    } else {
      return missing;
    }
    parts.erase(parts.begin());
  }
  if (from.IsUsersRoot()) {
    out = from;
    return ERROR_SUCCESS;
  }
  return WalkPath(from, parts, walk, 0, out);
}

DWORD RegistryStore::WalkPath(KeyRef from, const std::vector<std::string>& components, Walk walk,
                              int linkHops, KeyRef& out) {
  KeyRef at = from;
  for (std::size_t i = 0; i < components.size(); ++i) {
    RegistryNode* child = at.node->FindSubkey(components[i]);
    if (child == nullptr) {
      if (walk != Walk::Create) return ERROR_FILE_NOT_FOUND;
      if (at.hive->data.readOnly) return ERROR_ACCESS_DENIED;
      child = &at.node->AddSubkey(components[i]);
      Changed(*at.hive, *at.node);
    }
    at.node = child;
    const bool last = i + 1 == components.size();
    if (child->isLink && !(walk == Walk::KeepLastLink && last)) {
      const Walk linkWalk = walk == Walk::Create ? Walk::Create : Walk::Open;
      if (const DWORD error = FollowLink(*child, linkWalk, linkHops + 1, at)) return error;
    }
  }
  out = at;
  return ERROR_SUCCESS;
}

DWORD RegistryStore::FollowLink(const RegistryNode& link, Walk walk, int linkHops, KeyRef& out) {
  if (linkHops > kMaxLinkHops) return ERROR_FILE_NOT_FOUND;
  const RegistryValue* target = link.FindValue("SymbolicLinkValue");
  if (target == nullptr || target->type != REG_LINK) return ERROR_FILE_NOT_FOUND;
  std::vector<std::string> parts = SplitPath(Utf16LeBytesToUtf8(target->data));
  // "\Registry\Machine\..." or "\Registry\User\<.Default or the user's SID>\..."
  if (parts.size() < 2 || !EqualsNoCase(parts[0], "Registry")) return ERROR_FILE_NOT_FOUND;
  KeyRef from;
  std::size_t skip = 2;
  if (EqualsNoCase(parts[1], "Machine")) {
    from = {&Loaded(machine_), &machine_.data.root};
  } else if (EqualsNoCase(parts[1], "User") && parts.size() >= 3) {
    skip = 3;
    if (EqualsNoCase(parts[2], ".Default")) {
      from = {&Loaded(defaultUser_), &defaultUser_.data.root};
    } else if (EqualsNoCase(parts[2], UserSidLocked())) {
      from = {&Loaded(user_), &user_.data.root};
    } else {
      return ERROR_FILE_NOT_FOUND;
    }
  } else {
    return ERROR_FILE_NOT_FOUND;
  }
  parts.erase(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(skip));
  return WalkPath(from, parts, walk, linkHops, out);
}

LONG RegistryStore::OpenKey(HKEY key, std::string_view subKey, HKEY* result) {
  std::lock_guard lock(mutex_);
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  if (IsServedRoot(key) && SplitPath(subKey).empty() && !subKey.starts_with('\\')) {
    *result = key;
    return ERROR_SUCCESS;
  }
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::Open, found)) return static_cast<LONG>(error);
  *result = AddHandle(found);
  return ERROR_SUCCESS;
}

LONG RegistryStore::CreateKey(HKEY key, std::string_view subKey, HKEY* result) {
  std::lock_guard lock(mutex_);
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  if (IsServedRoot(key) && SplitPath(subKey).empty() && !subKey.starts_with('\\')) {
    *result = key;
    return ERROR_SUCCESS;
  }
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::Create, found)) return static_cast<LONG>(error);
  *result = AddHandle(found);
  return ERROR_SUCCESS;
}

LONG RegistryStore::CloseKey(HKEY key) {
  std::lock_guard lock(mutex_);
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return handles_.erase(key) == 1 ? ERROR_SUCCESS : static_cast<LONG>(ERROR_INVALID_HANDLE);
}

LONG RegistryStore::QueryValue(HKEY key, std::string_view valueName, DWORD* type, BYTE* data,
                               DWORD* dataSize) {
  std::lock_guard lock(mutex_);
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot()) return ERROR_FILE_NOT_FOUND;
  const RegistryValue* value = found.node->FindValue(valueName);
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  const auto size = static_cast<DWORD>(value->data.size());
  if (type != nullptr) *type = value->type;
  if (data != nullptr) {
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, value->data.data(), size);
  }
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegistryStore::SetValue(HKEY key, std::string_view valueName, DWORD type, const BYTE* data,
                             DWORD size) {
  std::lock_guard lock(mutex_);
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot() || found.hive->data.readOnly) return ERROR_ACCESS_DENIED;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const RegistryValue* old = found.node->FindValue(valueName);
      old != nullptr && old->type == type && old->data == bytes) {
    return ERROR_SUCCESS;  // the same value again: nothing to save
  }
  found.node->SetValue(valueName, type, std::move(bytes));
  Changed(*found.hive, *found.node);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteValue(HKEY key, std::string_view valueName) {
  std::lock_guard lock(mutex_);
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot() || found.node->FindValue(valueName) == nullptr) {
    return ERROR_FILE_NOT_FOUND;
  }
  if (found.hive->data.readOnly) return ERROR_ACCESS_DENIED;
  found.node->RemoveValue(valueName);
  Changed(*found.hive, *found.node);
  return ERROR_SUCCESS;
}

LONG RegistryStore::EnumValue(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                              DWORD* type, BYTE* data, DWORD* dataSize) {
  std::lock_guard lock(mutex_);
  if (nameChars == nullptr || (data != nullptr && dataSize == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot() || index >= found.node->values.size()) return ERROR_NO_MORE_ITEMS;
  const RegistryValue& value = found.node->values[index];
  const auto size = static_cast<DWORD>(value.data.size());
  if (Utf16Length(value.name) >= *nameChars) return ERROR_MORE_DATA;
  if (data != nullptr && *dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  (void)ReturnName(value.name, name, nameChars);
  if (type != nullptr) *type = value.type;
  if (data != nullptr) std::memcpy(data, value.data.data(), size);
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegistryStore::EnumKey(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                            std::string* className, DWORD* classChars,
                            std::uint64_t* lastWriteTime) {
  std::lock_guard lock(mutex_);
  if (nameChars == nullptr) return ERROR_INVALID_PARAMETER;
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  std::string subkeyName;
  std::string subkeyClass;
  std::uint64_t modified = 0;
  if (found.IsUsersRoot()) {
    const std::vector<std::string> names = UsersRootNames();
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    subkeyName = names[index];
  } else {
    if (index >= found.node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryNode& subkey = *found.node->subkeys[index];
    subkeyName = subkey.name;
    subkeyClass = subkey.className;
    modified = subkey.modified;
  }
  if (Utf16Length(subkeyName) >= *nameChars) return ERROR_MORE_DATA;
  if (classChars != nullptr && Utf16Length(subkeyClass) >= *classChars) return ERROR_MORE_DATA;
  (void)ReturnName(subkeyName, name, nameChars);
  if (classChars != nullptr) (void)ReturnName(subkeyClass, className, classChars);
  if (lastWriteTime != nullptr) *lastWriteTime = modified;
  return ERROR_SUCCESS;
}

LONG RegistryStore::QueryInfoKey(HKEY key, std::string* className, DWORD* classChars,
                                 DWORD* subKeys, DWORD* maxSubKeyLength, DWORD* maxClassLength,
                                 DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                                 DWORD* securityDescriptorSize, std::uint64_t* lastWriteTime) {
  std::lock_guard lock(mutex_);
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  DWORD subkeyCount = 0, longestSubkey = 0, longestClass = 0;
  DWORD valueCount = 0, longestValueName = 0, longestData = 0;
  std::string ownClass;
  std::uint64_t modified = 0;
  if (found.IsUsersRoot()) {
    for (const std::string& name : UsersRootNames()) {
      ++subkeyCount;
      longestSubkey = std::max(longestSubkey, Utf16Length(name));
    }
  } else {
    const RegistryNode& node = *found.node;
    ownClass = node.className;
    modified = node.modified;
    subkeyCount = static_cast<DWORD>(node.subkeys.size());
    for (const auto& subkey : node.subkeys) {
      longestSubkey = std::max(longestSubkey, Utf16Length(subkey->name));
      longestClass = std::max(longestClass, Utf16Length(subkey->className));
    }
    valueCount = static_cast<DWORD>(node.values.size());
    for (const RegistryValue& value : node.values) {
      longestValueName = std::max(longestValueName, Utf16Length(value.name));
      longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
  }
  if (classChars != nullptr) {
    if (const DWORD error = ReturnName(ownClass, className, classChars)) {
      return static_cast<LONG>(error);
    }
  }
  if (subKeys != nullptr) *subKeys = subkeyCount;
  if (maxSubKeyLength != nullptr) *maxSubKeyLength = longestSubkey;
  if (maxClassLength != nullptr) *maxClassLength = longestClass;
  if (values != nullptr) *values = valueCount;
  if (maxValueNameLength != nullptr) *maxValueNameLength = longestValueName;
  if (maxValueLength != nullptr) *maxValueLength = longestData;
  if (securityDescriptorSize != nullptr) {
    *securityDescriptorSize =
        static_cast<DWORD>(DefaultDescriptor(OWNER_SECURITY_INFORMATION |
                                             GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION)
                               .size());
  }
  if (lastWriteTime != nullptr) *lastWriteTime = modified;
  return ERROR_SUCCESS;
}

void RegistryStore::ForgetHandlesBelow(const RegistryNode& node) {
  for (auto& [value, handle] : handles_) {
    if (handle.deleted) continue;
    for (const RegistryNode* at = handle.key.node; at != nullptr; at = at->parent) {
      if (at == &node) {
        handle = Handle{KeyRef{}, true};
        break;
      }
    }
  }
}

DWORD RegistryStore::RemoveKey(const KeyRef& key) {
  if (key.IsUsersRoot() || key.node->parent == nullptr || key.hive->data.readOnly) {
    return ERROR_ACCESS_DENIED;
  }
  RegistryNode& parent = *key.node->parent;
  ForgetHandlesBelow(*key.node);
  parent.RemoveSubkey(key.node->name);
  Changed(*key.hive, parent);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteKey(HKEY key, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  if (!found.IsUsersRoot() && !found.node->subkeys.empty()) return ERROR_ACCESS_DENIED;
  return static_cast<LONG>(RemoveKey(found));
}

LONG RegistryStore::DeleteTree(HKEY key, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  return static_cast<LONG>(RemoveKey(found));
}

LONG RegistryStore::DeleteEmptyKey(HKEY key, std::string_view subKey) {
  std::lock_guard lock(mutex_);
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  if (found.IsUsersRoot() || !found.node->subkeys.empty() || !found.node->values.empty()) {
    return ERROR_KEY_HAS_CHILDREN;
  }
  return static_cast<LONG>(RemoveKey(found));
}

LONG RegistryStore::GetKeySecurity(HKEY key, SECURITY_INFORMATION information, BYTE* descriptor,
                                   DWORD* size) {
  std::lock_guard lock(mutex_);
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  const SecurityBytes answer = DefaultDescriptor(information);
  const auto needed = static_cast<DWORD>(answer.size());
  if (descriptor == nullptr || *size < needed) {
    *size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(descriptor, answer.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegistryStore::SetKeySecurity(HKEY key, SECURITY_INFORMATION /*information*/,
                                   std::span<const BYTE> descriptor) {
  std::lock_guard lock(mutex_);
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (!IsValidSelfRelativeDescriptor(descriptor)) return ERROR_INVALID_SECURITY_DESCR;
  return ERROR_SUCCESS;
}

}  // namespace corvane
