#include "platform/registry_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <utility>

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
  // Names are nearly always ASCII, one UTF-16 unit per byte: no need to convert them.
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return static_cast<DWORD>(text.size());
  }
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
  const std::unique_lock lock = LockSettled();
  (void)FlushLocked();
}

RegistryStore* RegistryStore::Current() {
  return g_current.load();
}

void RegistryStore::SetCurrent(RegistryStore* store) {
  g_current.store(store);
}

bool RegistryStore::Flush() {
  const std::unique_lock lock = LockSettled();
  return FlushLocked();
}

std::string RegistryStore::LastSaveProblem() const {
  std::lock_guard lock(mutex_);
  return lastProblem_;
}

bool RegistryStore::HasUnsavedChanges() const {
  std::lock_guard lock(mutex_);
  return !machine_.changes.empty() || !user_.changes.empty() || !defaultUser_.changes.empty();
}

std::string RegistryStore::UserSid() {
  std::lock_guard lock(mutex_);
  return UserSidLocked();
}

bool RegistryStore::FlushLocked() {
  std::vector<Hive*> changed;
  for (Hive* hive : {&machine_, &user_, &defaultUser_}) {
    if (!hive->changes.empty() && !hive->data->readOnly) changed.push_back(hive);
  }
  if (changed.empty()) return true;
  if (IsWineServerRunning(prefix_)) {
    ReportProblem("Flush: a wineserver is running for " + prefix_.string() +
                  "; registry changes are kept in memory and not saved");
    return false;
  }
  bool allSaved = true;
  for (Hive* hive : changed) {
    // Wine saved the file since we read it: our changes go onto its version, never over it.
    if (StampOf(hive->path) != hive->stamp && !Reload(*hive)) {
      allSaved = false;
      continue;
    }
    if (SaveHiveFile(hive->path, *hive->data)) {
      hive->stamp = StampOf(hive->path);
      hive->changes.clear();
      lastProblem_.clear();
    } else {
      ReportProblem("Flush: cannot save " + hive->path.string() + " (error " +
                    std::to_string(GetLastError()) + "); the changes are kept in memory");
      allSaved = false;
    }
  }
  return allSaved;
}

void RegistryStore::SetProblemReporter(ProblemReporter reporter) {
  std::lock_guard lock(mutex_);
  reporter_ = std::move(reporter);
}

void RegistryStore::ReportProblem(std::string problem) {
  if (problem == lastProblem_) return;
  lastProblem_ = std::move(problem);
  if (reporter_) reporter_(lastProblem_);
}

RegistryStore::FileStamp RegistryStore::StampOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size), static_cast<std::uint64_t>(info.st_mtim.tv_sec),
          static_cast<std::uint64_t>(info.st_mtim.tv_nsec)};
}

std::unique_ptr<RegistryHive> RegistryStore::ReadHiveFile(Hive& hive) {
  auto data = std::make_unique<RegistryHive>();
  switch (LoadHiveFile(hive.path, *data)) {
    case HiveLoadResult::Loaded:
      break;
    case HiveLoadResult::Missing:
      // A hive Wine has not written yet (userdef.reg in a fresh prefix): starts empty and is
      // created when something is stored in it.
      data = std::make_unique<RegistryHive>();
      data->branch = hive.defaultBranch;
      if (&hive != &machine_) data->arch = Loaded(machine_).data->arch;
      break;
    case HiveLoadResult::Unreadable: {
      const DWORD error = GetLastError();
      data = std::make_unique<RegistryHive>();
      data->readOnly = true;
      data->parseError =
          hive.path.string() + ": cannot be read (error " + std::to_string(error) + ")";
      break;
    }
    case HiveLoadResult::Damaged:
      data->readOnly = true;
      break;
  }
  if (data->readOnly) {
    ReportProblem("LoadHive: " + data->parseError + "; the hive is used read-only, never saved");
  }
  return data;
}

RegistryStore::Hive& RegistryStore::Loaded(Hive& hive) {
  if (!hive.loaded) {
    hive.loaded = true;
    // Stamped before reading: a change made while we read shows as a change next time.
    hive.stamp = StampOf(hive.path);
    hive.data = ReadHiveFile(hive);
  }
  return hive;
}

void RegistryStore::RefreshIfChanged(Hive& hive) {
  if (hive.loaded && hive.changes.empty() && StampOf(hive.path) != hive.stamp) (void)Reload(hive);
}

std::unique_lock<std::mutex> RegistryStore::LockSettled() {
  std::unique_lock lock(mutex_);
  SettleRemovals();
  return lock;
}

void RegistryStore::SettleRemovals() {
  if (pending_.node != nullptr) {
    auto& values = pending_.node->values;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(pending_.begin),
                 values.begin() + static_cast<std::ptrdiff_t>(pending_.end));
  }
  pending_ = {};
}

std::size_t RegistryStore::ValuePosition(const RegistryNode& node, std::size_t index) const {
  if (&node != pending_.node || index < pending_.begin) return index;
  return index + (pending_.end - pending_.begin);
}

namespace {

RegistryNode* FindPath(RegistryNode& root, const std::vector<std::string>& path) {
  RegistryNode* node = &root;
  for (const std::string& part : path) {
    node = node->FindSubkey(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

void RemoveNode(RegistryNode& node) {
  RegistryNode* parent = node.parent;
  parent->modified = FileTimeNow();
  parent->RemoveSubkey(node.name);
}

}  // namespace

void RegistryStore::Replay(RegistryHive& hive, const Change& change) {
  using Kind = Change::Kind;
  if (change.kind == Kind::CreateKey || change.kind == Kind::SetValue) {
    RegistryNode* node = &hive.root;
    for (const std::string& part : change.path) node = &node->AddSubkey(part);
    if (change.kind == Kind::SetValue) node->SetValue(change.name, change.type, change.data);
    node->modified = FileTimeNow();
    return;
  }
  RegistryNode* node = FindPath(hive.root, change.path);
  if (node == nullptr) return;  // gone already
  switch (change.kind) {
    case Kind::DeleteValue:
      if (node->RemoveValue(change.name)) node->modified = FileTimeNow();
      break;
    case Kind::DeleteKey:
      if (node->parent != nullptr && node->subkeys.empty()) RemoveNode(*node);
      break;
    case Kind::DeleteEmptyKey:
      if (node->parent != nullptr && node->subkeys.empty() && node->values.empty()) {
        RemoveNode(*node);
      }
      break;
    case Kind::DeleteTree:
      if (node->parent != nullptr) RemoveNode(*node);
      break;
    default:
      break;
  }
}

void RegistryStore::ReplayValueDeletions(RegistryHive& hive, std::span<const Change> deletions) {
  RegistryNode* node = FindPath(hive.root, deletions.front().path);
  if (node == nullptr) return;  // gone already
  const auto less = [](const std::string& a, const std::string& b) {
    return CompareRegistryNames(a, b) < 0;
  };
  std::set<std::string, decltype(less)> names(less);
  for (const Change& change : deletions) names.insert(change.name);
  if (std::erase_if(node->values,
                    [&](const RegistryValue& value) { return names.contains(value.name); }) != 0) {
    node->modified = FileTimeNow();
  }
}

bool RegistryStore::Reload(Hive& hive) {
  const FileStamp stamp = StampOf(hive.path);
  std::unique_ptr<RegistryHive> fresh = ReadHiveFile(hive);
  if (fresh->readOnly && !hive.changes.empty()) {
    ReportProblem("Flush: " + hive.path.string() +
                  " changed on disk and cannot be read completely; the changes are kept in "
                  "memory");
    return false;
  }
  for (std::size_t i = 0; i < hive.changes.size();) {
    // A run of value deletions in one key goes in one pass, as it was made.
    std::size_t end = i + 1;
    while (hive.changes[i].kind == Change::Kind::DeleteValue && end < hive.changes.size() &&
           hive.changes[end].kind == Change::Kind::DeleteValue &&
           hive.changes[end].path == hive.changes[i].path) {
      ++end;
    }
    if (end - i > 1) {
      ReplayValueDeletions(*fresh, std::span(hive.changes).subspan(i, end - i));
    } else {
      Replay(*fresh, hive.changes[i]);
    }
    i = end;
  }
  // Open handles follow their keys into the new version; a key that is gone is deleted for them.
  std::vector<std::pair<Handle*, std::vector<std::string>>> moved;
  for (auto& [value, handle] : handles_) {
    if (!handle.deleted && handle.key.hive == &hive) {
      moved.emplace_back(&handle, SplitPath(handle.key.node->Path()));
    }
  }
  hive.data = std::move(fresh);
  hive.stamp = stamp;
  for (auto& [handle, path] : moved) {
    RegistryNode* node = FindPath(hive.data->root, path);
    if (node != nullptr) {
      handle->key.node = node;
    } else {
      *handle = Handle{KeyRef{}, true};
    }
  }
  return true;
}

std::string RegistryStore::UserSidLocked() {
  const std::vector<std::string> parts = SplitPath(Loaded(user_).data->branch);
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

void RegistryStore::Record(Hive& hive, Change::Kind kind, const RegistryNode& node,
                           std::string_view name, DWORD type, std::string data) {
  hive.changes.push_back(
      Change{kind, SplitPath(node.Path()), std::string(name), type, std::move(data)});
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
  // Before a hive is looked at, this call sees what Wine saved in it since the last one.
  const auto rootOf = [this](Hive& hive) {
    RefreshIfChanged(Loaded(hive));
    return KeyRef{&hive, &hive.data->root};
  };
  KeyRef from;
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      from = rootOf(machine_);
      break;
    case HKEY_CLASSES_ROOT:
      from = rootOf(machine_);
      parts.insert(parts.begin(), {"Software", "Classes"});
      break;
    case HKEY_CURRENT_USER:
      from = rootOf(user_);
      break;
    case HKEY_USERS:
      break;
    default: {
      if (IsPredefined(key)) return missing;
      const auto it = handles_.find(key);
      if (it == handles_.end()) return ERROR_INVALID_HANDLE;
      // A reload moves the handle onto the new version of its key, or marks it deleted.
      if (!it->second.deleted) RefreshIfChanged(*it->second.key.hive);
      if (it->second.deleted) return ERROR_KEY_DELETED;
      from = it->second.key;
    }
  }
  if (from.IsUsersRoot() && !parts.empty()) {
    const std::string sid = UserSidLocked();
    if (EqualsNoCase(parts.front(), ".Default")) {
      from = rootOf(defaultUser_);
    } else if (!sid.empty() && EqualsNoCase(parts.front(), sid)) {
      from = rootOf(user_);
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
      if (at.hive->data->readOnly) return ERROR_ACCESS_DENIED;
      child = &at.node->AddSubkey(components[i]);
      at.node->modified = FileTimeNow();
      Record(*at.hive, Change::Kind::CreateKey, *child);
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
  Hive* hive = nullptr;
  std::size_t skip = 2;
  if (EqualsNoCase(parts[1], "Machine")) {
    hive = &machine_;
  } else if (EqualsNoCase(parts[1], "User") && parts.size() >= 3) {
    skip = 3;
    if (EqualsNoCase(parts[2], ".Default")) {
      hive = &defaultUser_;
    } else if (EqualsNoCase(parts[2], UserSidLocked())) {
      hive = &user_;
    } else {
      return ERROR_FILE_NOT_FOUND;
    }
  } else {
    return ERROR_FILE_NOT_FOUND;
  }
  parts.erase(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(skip));
  // Not reloaded here: the walk may hold nodes of this hive (Wine's links stay in system.reg).
  Loaded(*hive);
  return WalkPath(KeyRef{hive, &hive->data->root}, parts, walk, linkHops, out);
}

LONG RegistryStore::OpenKey(HKEY key, std::string_view subKey, HKEY* result) {
  const std::unique_lock lock = LockSettled();
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
  const std::unique_lock lock = LockSettled();
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
  const std::unique_lock lock = LockSettled();
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
  const std::unique_lock lock = LockSettled();
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot() || found.hive->data->readOnly) return ERROR_ACCESS_DENIED;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const RegistryValue* old = found.node->FindValue(valueName);
      old != nullptr && old->type == type && old->data == bytes) {
    return ERROR_SUCCESS;  // the same value again: nothing to save
  }
  found.node->SetValue(valueName, type, bytes);
  found.node->modified = FileTimeNow();
  Record(*found.hive, Change::Kind::SetValue, *found.node, valueName, type, std::move(bytes));
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteValue(HKEY key, std::string_view valueName) {
  std::lock_guard lock(mutex_);
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot()) return ERROR_FILE_NOT_FOUND;
  RegistryNode& node = *found.node;
  if (&node != pending_.node) SettleRemovals();
  const std::optional<std::size_t> at = LivePosition(node, valueName);
  if (!at) return ERROR_FILE_NOT_FOUND;
  if (found.hive->data->readOnly) return ERROR_ACCESS_DENIED;
  Record(*found.hive, Change::Kind::DeleteValue, node, node.values[*at].name);
  MoveGapOver(node, *at);
  node.modified = FileTimeNow();
  return ERROR_SUCCESS;
}

std::optional<std::size_t> RegistryStore::LivePosition(const RegistryNode& node,
                                                       std::string_view valueName) const {
  const std::vector<RegistryValue>& values = node.values;
  const auto search = [&](std::size_t from, std::size_t to) -> std::optional<std::size_t> {
    const auto last = values.begin() + static_cast<std::ptrdiff_t>(to);
    const auto it = std::lower_bound(values.begin() + static_cast<std::ptrdiff_t>(from), last,
                                     valueName, [](const RegistryValue& value, std::string_view n) {
                                       return CompareRegistryNames(value.name, n) < 0;
                                     });
    if (it == last || CompareRegistryNames(it->name, valueName) != 0) return std::nullopt;
    return static_cast<std::size_t>(it - values.begin());
  };
  if (&node != pending_.node) return search(0, values.size());
  if (const auto before = search(0, pending_.begin)) return before;
  return search(pending_.end, values.size());
}

void RegistryStore::MoveGapOver(RegistryNode& node, std::size_t at) {
  if (&node != pending_.node) {
    pending_ = {&node, at, at + 1};
    return;
  }
  // The values between the gap and `at` cross it, so a walk in either direction moves each value
  // at most once.
  const auto values = node.values.begin();
  const auto offset = [](std::size_t n) { return static_cast<std::ptrdiff_t>(n); };
  if (at >= pending_.end) {
    std::move(values + offset(pending_.end), values + offset(at), values + offset(pending_.begin));
    pending_.begin += at - pending_.end;
    pending_.end = at + 1;
  } else {
    const std::size_t crossing = pending_.begin - at - 1;
    std::move_backward(values + offset(at + 1), values + offset(pending_.begin),
                       values + offset(pending_.end));
    pending_.begin = at;
    pending_.end -= crossing;
  }
}

LONG RegistryStore::EnumValue(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                              DWORD* type, BYTE* data, DWORD* dataSize) {
  std::lock_guard lock(mutex_);
  if (nameChars == nullptr || (data != nullptr && dataSize == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (found.IsUsersRoot()) return ERROR_NO_MORE_ITEMS;
  const std::size_t at = ValuePosition(*found.node, index);
  if (at >= found.node->values.size()) return ERROR_NO_MORE_ITEMS;
  const RegistryValue& value = found.node->values[at];
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
  const std::unique_lock lock = LockSettled();
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
  const std::unique_lock lock = LockSettled();
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

DWORD RegistryStore::RemoveKey(const KeyRef& key, Change::Kind kind) {
  if (key.IsUsersRoot() || key.node->parent == nullptr || key.hive->data->readOnly) {
    return ERROR_ACCESS_DENIED;
  }
  Record(*key.hive, kind, *key.node);
  ForgetHandlesBelow(*key.node);
  RemoveNode(*key.node);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteKey(HKEY key, std::string_view subKey) {
  const std::unique_lock lock = LockSettled();
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  if (!found.IsUsersRoot() && !found.node->subkeys.empty()) return ERROR_ACCESS_DENIED;
  return static_cast<LONG>(RemoveKey(found, Change::Kind::DeleteKey));
}

LONG RegistryStore::DeleteTree(HKEY key, std::string_view subKey) {
  const std::unique_lock lock = LockSettled();
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  return static_cast<LONG>(RemoveKey(found, Change::Kind::DeleteTree));
}

LONG RegistryStore::DeleteEmptyKey(HKEY key, std::string_view subKey) {
  const std::unique_lock lock = LockSettled();
  if (IsPredefined(key) && SplitPath(subKey).empty()) return ERROR_ACCESS_DENIED;
  KeyRef found;
  if (const DWORD error = Locate(key, subKey, Walk::KeepLastLink, found)) {
    return static_cast<LONG>(error);
  }
  if (found.IsUsersRoot() || !found.node->subkeys.empty() || !found.node->values.empty()) {
    return ERROR_KEY_HAS_CHILDREN;
  }
  return static_cast<LONG>(RemoveKey(found, Change::Kind::DeleteEmptyKey));
}

LONG RegistryStore::GetKeySecurity(HKEY key, SECURITY_INFORMATION information, BYTE* descriptor,
                                   DWORD* size) {
  const std::unique_lock lock = LockSettled();
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
  const std::unique_lock lock = LockSettled();
  KeyRef found;
  if (const DWORD error = Resolve(key, found)) return static_cast<LONG>(error);
  if (!IsValidSelfRelativeDescriptor(descriptor)) return ERROR_INVALID_SECURITY_DESCR;
  return ERROR_SUCCESS;
}

}  // namespace corvane
