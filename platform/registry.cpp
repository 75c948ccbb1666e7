#include "platform/registry.h"

#include "platform/registry_store.h"

namespace corvane {

namespace {

// Every call goes to the current store; without one there is no registry at all.
template <typename Call>
LONG WithStore(Call call) {
  RegistryStore* store = RegistryStore::Current();
  return store != nullptr ? call(*store) : static_cast<LONG>(ERROR_INVALID_HANDLE);
}

}  // namespace

LONG RegOpenKeyW(HKEY key, std::string_view subKey, HKEY* result) {
  return WithStore([&](RegistryStore& store) { return store.OpenKey(key, subKey, result); });
}

// Options and access rights change nothing: the hives carry no ACLs and every key is readable
// and writable.
LONG RegOpenKeyExW(HKEY key, std::string_view subKey, DWORD /*options*/, REGSAM /*access*/,
                   HKEY* result) {
  return RegOpenKeyW(key, subKey, result);
}

LONG RegCreateKeyW(HKEY key, std::string_view subKey, HKEY* result) {
  return WithStore([&](RegistryStore& store) { return store.CreateKey(key, subKey, result); });
}

LONG RegCloseKey(HKEY key) {
  return WithStore([&](RegistryStore& store) { return store.CloseKey(key); });
}

LONG RegQueryValueExW(HKEY key, std::string_view valueName, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  return WithStore(
      [&](RegistryStore& store) { return store.QueryValue(key, valueName, type, data, dataSize); });
}

LONG RegSetValueExW(HKEY key, std::string_view valueName, DWORD type, const BYTE* data,
                    DWORD size) {
  return WithStore(
      [&](RegistryStore& store) { return store.SetValue(key, valueName, type, data, size); });
}

LONG RegDeleteValueW(HKEY key, std::string_view valueName) {
  return WithStore([&](RegistryStore& store) { return store.DeleteValue(key, valueName); });
}

LONG RegEnumValueW(HKEY key, DWORD index, std::string* name, DWORD* nameChars, DWORD* type,
                   BYTE* data, DWORD* dataSize) {
  return WithStore([&](RegistryStore& store) {
    return store.EnumValue(key, index, name, nameChars, type, data, dataSize);
  });
}

LONG RegEnumKeyW(HKEY key, DWORD index, std::string* name, DWORD nameChars) {
  return RegEnumKeyExW(key, index, name, &nameChars, nullptr, nullptr, nullptr);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                   std::string* className, DWORD* classChars, std::uint64_t* lastWriteTime) {
  return WithStore([&](RegistryStore& store) {
    return store.EnumKey(key, index, name, nameChars, className, classChars, lastWriteTime);
  });
}

LONG RegQueryInfoKeyW(HKEY key, std::string* className, DWORD* classChars, DWORD* subKeys,
                      DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values,
                      DWORD* maxValueNameLength, DWORD* maxValueLength,
                      DWORD* securityDescriptorSize, std::uint64_t* lastWriteTime) {
  return WithStore([&](RegistryStore& store) {
    return store.QueryInfoKey(key, className, classChars, subKeys, maxSubKeyLength, maxClassLength,
                              values, maxValueNameLength, maxValueLength, securityDescriptorSize,
                              lastWriteTime);
  });
}

LONG RegDeleteKeyW(HKEY key, std::string_view subKey) {
  return WithStore([&](RegistryStore& store) { return store.DeleteKey(key, subKey); });
}

LONG SHDeleteKeyW(HKEY key, std::string_view subKey) {
  return WithStore([&](RegistryStore& store) { return store.DeleteTree(key, subKey); });
}

LONG SHDeleteEmptyKeyW(HKEY key, std::string_view subKey) {
  return WithStore([&](RegistryStore& store) { return store.DeleteEmptyKey(key, subKey); });
}

LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION information, BYTE* descriptor, DWORD* size) {
  return WithStore([&](RegistryStore& store) {
    return store.GetKeySecurity(key, information, descriptor, size);
  });
}

LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION information,
                       std::span<const BYTE> descriptor) {
  return WithStore(
      [&](RegistryStore& store) { return store.SetKeySecurity(key, information, descriptor); });
}

}  // namespace corvane
