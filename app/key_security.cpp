#include "app/key_security.h"

#include <cinttypes>
#include <cstdio>

#include "platform/registry_store.h"
#include "platform/windows_version.h"

namespace corvane {

namespace {

constexpr DWORD kSubkeyNameChars = 261;

}  // namespace

bool GetCurrentUserSid(SecurityBytes& sid) {
  RegistryStore* store = RegistryStore::Current();
  if (store == nullptr) return false;
  SecurityBytes parsed = SidFromString(store->UserSid());
  if (parsed.empty()) return false;
  sid = std::move(parsed);
  return true;
}

std::string SidToString(std::span<const std::uint8_t> sid) {
  const std::size_t length = GetLengthSid(sid);
  if (length == 0) return {};
  std::uint64_t authority = 0;
  for (std::size_t i = 2; i < 8; ++i) authority = (authority << 8) | sid[i];
  char number[32];
  // Windows writes authorities that do not fit 32 bits in hex.
  if (authority > 0xFFFFFFFFULL) {
    std::snprintf(number, sizeof number, "0x%012" PRIX64, authority);
  } else {
    std::snprintf(number, sizeof number, "%" PRIu64, authority);
  }
  std::string text = std::string("S-1-") + number;
  for (std::size_t at = 8; at < length; at += 4) {
    const std::uint32_t sub = static_cast<std::uint32_t>(sid[at]) |
                              (static_cast<std::uint32_t>(sid[at + 1]) << 8) |
                              (static_cast<std::uint32_t>(sid[at + 2]) << 16) |
                              (static_cast<std::uint32_t>(sid[at + 3]) << 24);
    text += "-" + std::to_string(sub);
  }
  return text;
}

bool ReadKeyDacl(HKEY root, std::string_view keyPath, SecurityBytes& descriptor) {
  HKEY key = 0;
  if (RegOpenKeyExW(root, keyPath, 0, READ_CONTROL, &key) != ERROR_SUCCESS) return false;
  descriptor.clear();
  DWORD size = 0;
  LONG result = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  if (result == ERROR_INSUFFICIENT_BUFFER) {
    descriptor.resize(size);
    result = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size);
    if (result != ERROR_SUCCESS) descriptor.clear();
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool BuildFullAccessDacl(std::span<const std::uint8_t> userSid, SecurityBytes& descriptor) {
  const std::size_t userLength = GetLengthSid(userSid);
  if (userLength == 0) return false;
  const SecurityBytes system = MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID});
  const std::size_t aclSize = userLength + system.size() + kAclHeaderSize + 2 * kAceHeaderSize;
  constexpr std::uint8_t kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  SecurityBytes acl;
  if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
      !AddAccessAllowedAce(acl, kInherit, KEY_ALL_ACCESS, userSid.first(userLength)) ||
      !AddAccessAllowedAce(acl, kInherit, KEY_ALL_ACCESS, system)) {
    return false;
  }
  descriptor = MakeSelfRelativeDescriptor({}, {}, acl);
  return true;
}

bool WriteKeyDacl(HKEY root, std::string_view keyPath, std::span<const std::uint8_t> descriptor,
                  DaclScope scope) {
  if (keyPath.empty()) return false;
  HKEY key = 0;
  if (RegOpenKeyExW(root, keyPath, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
  const LONG set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) return false;
  if (scope == DaclScope::KeyOnly) return true;
  if (RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
  DWORD subkeyCount = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, &subkeyCount, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    std::string name;
    for (DWORD index = 0; index < subkeyCount; ++index) {
      const LONG result = RegEnumKeyW(key, index, &name, kSubkeyNameChars);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result == ERROR_SUCCESS) (void)WriteKeyDacl(key, name, descriptor, scope);
    }
  }
  RegCloseKey(key);
  return true;
}

bool IsWindowsNT() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace corvane
