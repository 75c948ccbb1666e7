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
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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
  // The last reason a hive was not saved or was loaded read-only, since the last save that
  // worked; empty when none.
  [[nodiscard]] std::string LastSaveProblem() const;
  // Also tells each new problem to `reporter` (the trace log, set at start-up); the same problem
  // is told once, not after every event that retries the save. The reporter must not use the
  // registry.
  using ProblemReporter = std::function<void(const std::string& problem)>;
  void SetProblemReporter(ProblemReporter reporter);
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
  // What identifies one version of a hive file on disk; all zero when the file is missing.
  struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0, seconds = 0, nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
  };
  // One change made through the store since the hive was last loaded or saved, kept so that it
  // can be made again on a newer version of the file.
  struct Change {
    enum class Kind { CreateKey, SetValue, DeleteValue, DeleteKey, DeleteEmptyKey, DeleteTree };
    Kind kind;
    std::vector<std::string> path;  // of the key, from the hive's root, links resolved
    std::string name;               // the value's
    DWORD type = REG_NONE;
    std::string data;
  };
  struct Hive {
    std::filesystem::path path;
    std::string defaultBranch;  // the header branch of a hive made from nothing
    std::unique_ptr<RegistryHive> data = std::make_unique<RegistryHive>();
    FileStamp stamp;              // the file as last loaded or saved
    std::vector<Change> changes;  // not yet saved; the hive is changed while there are any
    bool loaded = false;
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
  // Deleted values of one key are a gap [begin, end) in its sorted list, not erased at once:
  // erasing each would move every value after it, which made deleting n values by index cost
  // n * n. A deletion moves the gap to the value deleted (the values in between cross it, so a
  // walk moves each value once); enumeration and deletion step over it; every other call first
  // closes it in one go (SettleRemovals).
  struct PendingRemoval {
    RegistryNode* node = nullptr;
    std::size_t begin = 0;
    std::size_t end = 0;
  };

  static FileStamp StampOf(const std::filesystem::path& path);
  std::unique_ptr<RegistryHive> ReadHiveFile(Hive& hive);
  Hive& Loaded(Hive& hive);
  static void Replay(RegistryHive& hive, const Change& change);
  // Deletions of values of one key (all of the same path), in one pass.
  static void ReplayValueDeletions(RegistryHive& hive, std::span<const Change> deletions);
  void RefreshIfChanged(Hive& hive);
  [[nodiscard]] std::unique_lock<std::mutex> LockSettled();
  void SettleRemovals();
  // Where the index-th value of `node` is in its list, past a pending run of deleted values.
  [[nodiscard]] std::size_t ValuePosition(const RegistryNode& node, std::size_t index) const;
  // Where the value of that name is in the list of `node`, never inside the gap.
  [[nodiscard]] std::optional<std::size_t> LivePosition(const RegistryNode& node,
                                                        std::string_view valueName) const;
  // Widens the gap of `node` (making one if it has none) over the value at position `at`.
  void MoveGapOver(RegistryNode& node, std::size_t at);
  bool Reload(Hive& hive);
  void Record(Hive& hive, Change::Kind kind, const RegistryNode& node, std::string_view name = {},
              DWORD type = REG_NONE, std::string data = {});
  std::string UserSidLocked();
  DWORD Resolve(HKEY key, KeyRef& out);
  DWORD Locate(HKEY key, std::string_view subKey, Walk walk, KeyRef& out);
  DWORD WalkPath(KeyRef from, const std::vector<std::string>& components, Walk walk, int linkHops,
                 KeyRef& out);
  DWORD FollowLink(const RegistryNode& link, Walk walk, int linkHops, KeyRef& out);
  HKEY AddHandle(const KeyRef& key);
  void ForgetHandlesBelow(const RegistryNode& node);
  DWORD RemoveKey(const KeyRef& key, Change::Kind kind);
  void ReportProblem(std::string problem);
  std::vector<std::string> UsersRootNames();
  bool FlushLocked();

  std::filesystem::path prefix_;
  Hive machine_;
  Hive user_;
  Hive defaultUser_;
  std::map<HKEY, Handle> handles_;
  PendingRemoval pending_;
  std::string lastProblem_;
  ProblemReporter reporter_;
  mutable std::mutex mutex_;
};

}  // namespace corvane
