#pragma once
// The registry of one Wine prefix: its three hive files, loaded on first use and saved only when
// changed, and the table of open key handles. The registry calls of registry.h go to Current().
//
// Saving never loses data: a hive is written atomically and only when it changed; never while a
// wineserver runs for the prefix (the change stays in memory, still unsaved, and the reason is
// reported); and a hive that did not load completely is read-only: writes to it fail with
// ERROR_ACCESS_DENIED and it is never saved, so what we did not understand is never replaced.
//
// Every call locks one mutex, so the registry may be used from several threads at once.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_hive.h"

namespace corvane {

class RegistryStore {
 public:
  // The store of the prefix folder; nothing is read until a key is used.
  explicit RegistryStore(std::filesystem::path prefix);
  // Saves what is still unsaved (as Flush does) and invalidates the store's handles.
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The store the registry calls use: set at start-up (tests set their own). May be null, in
  // which case every call fails with ERROR_INVALID_HANDLE.
  [[nodiscard]] static RegistryStore* Current();
  static void SetCurrent(RegistryStore* store);

  [[nodiscard]] const std::filesystem::path& Prefix() const { return prefix_; }

  // Saves every changed hive. False when a changed hive stayed unsaved; LastSaveProblem says why.
  // Called after every handled event, after each phase of a run and at exit.
  [[nodiscard]] bool Flush();
  // The last reason a hive was not saved or was loaded read-only; empty when none.
  [[nodiscard]] std::string LastSaveProblem() const;
  // True while some loaded hive has changes not yet on disk.
  [[nodiscard]] bool HasUnsavedChanges() const;
  // The user's SID as text, from user.reg's header ("S-1-5-21-0-0-0-1000"); empty if unknown.
  [[nodiscard]] std::string UserSid();

  // The registry calls; registry.h documents them.
  [[nodiscard]] LONG OpenKey(HKEY key, std::string_view subKey, HKEY* result);
  [[nodiscard]] LONG CreateKey(HKEY key, std::string_view subKey, HKEY* result);
  LONG CloseKey(HKEY key);
  [[nodiscard]] LONG QueryValue(HKEY key, std::string_view valueName, DWORD* type, BYTE* data,
                                DWORD* dataSize);
  [[nodiscard]] LONG SetValue(HKEY key, std::string_view valueName, DWORD type, const BYTE* data,
                              DWORD size);
  [[nodiscard]] LONG DeleteValue(HKEY key, std::string_view valueName);
  [[nodiscard]] LONG EnumValue(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                               DWORD* type, BYTE* data, DWORD* dataSize);
  [[nodiscard]] LONG EnumKey(HKEY key, DWORD index, std::string* name, DWORD* nameChars,
                             std::string* className, DWORD* classChars,
                             std::uint64_t* lastWriteTime);
  [[nodiscard]] LONG QueryInfoKey(HKEY key, std::string* className, DWORD* classChars,
                                  DWORD* subKeys, DWORD* maxSubKeyLength, DWORD* maxClassLength,
                                  DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                                  DWORD* securityDescriptorSize, std::uint64_t* lastWriteTime);
  [[nodiscard]] LONG DeleteKey(HKEY key, std::string_view subKey);
  [[nodiscard]] LONG DeleteTree(HKEY key, std::string_view subKey);
  [[nodiscard]] LONG DeleteEmptyKey(HKEY key, std::string_view subKey);
  [[nodiscard]] LONG GetKeySecurity(HKEY key, SECURITY_INFORMATION information, BYTE* descriptor,
                                    DWORD* size);
  [[nodiscard]] LONG SetKeySecurity(HKEY key, SECURITY_INFORMATION information,
                                    std::span<const BYTE> descriptor);

 private:
  struct Hive {
    std::filesystem::path path;
    std::string defaultBranch;  // the header branch of a hive made from nothing
    RegistryHive data;
    bool loaded = false;
    bool dirty = false;
  };
  // Where a key lives. The users root (HKEY_USERS itself) is in no hive.
  struct KeyRef {
    Hive* hive = nullptr;
    RegistryNode* node = nullptr;
    [[nodiscard]] bool IsUsersRoot() const { return node == nullptr; }
  };
  struct Handle {
    KeyRef key;
    bool deleted = false;
  };
  enum class Walk { Open, Create, KeepLastLink };

  Hive& Loaded(Hive& hive);
  std::string UserSidLocked();
  DWORD Resolve(HKEY key, KeyRef& out);
  DWORD Locate(HKEY key, std::string_view subKey, Walk walk, KeyRef& out);
  DWORD WalkPath(KeyRef from, const std::vector<std::string>& components, Walk walk, int linkHops,
                 KeyRef& out);
  DWORD FollowLink(const RegistryNode& link, Walk walk, int linkHops, KeyRef& out);
  HKEY AddHandle(const KeyRef& key);
  void Changed(Hive& hive, RegistryNode& node);
  void ForgetHandlesBelow(const RegistryNode& node);
  DWORD RemoveKey(const KeyRef& key);
  void ReportProblem(std::string problem);
  std::vector<std::string> UsersRootNames();
  bool FlushLocked();

  std::filesystem::path prefix_;
  Hive machine_;
  Hive user_;
  Hive defaultUser_;
  std::map<HKEY, Handle> handles_;
  std::string lastProblem_;
  mutable std::mutex mutex_;
};

}  // namespace corvane
