#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_registry.h"
#include "tests/support/wine_server_lock_holder.h"

namespace corvane {
namespace {

using test::HiveText;
using test::ScratchFolder;

std::string LinkValue(std::string_view target) {
  std::string text = "\"SymbolicLinkValue\"=hex(6):";
  for (std::size_t i = 0; i < target.size(); ++i) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "%s%02x,00", i == 0 ? "" : ",",
                  static_cast<unsigned char>(target[i]));
    text += byte;
  }
  return text + "\n";
}

std::string MachineHive() {
  return HiveText("REGISTRY\\Machine",
                  "\n[Software\\\\Classes\\\\.txt] 1700000000\n@=\"txtfile\"\n"
                  "\n[Software\\\\Wine] 1700000000\n"
                  "\n[System\\\\ControlSet001\\\\Control\\\\Session Manager] 1700000000\n"
                  "\"Existing\"=\"yes\"\n"
                  "\n[System\\\\CurrentControlSet] 1700000000\n#link\n" +
                      LinkValue("\\Registry\\Machine\\System\\ControlSet001"));
}

std::string UserHive() {
  return HiveText("REGISTRY\\User\\S-1-5-21-0-0-0-1000",
                  "\n[Software\\\\Sorted] 1700000000\n"
                  "\"b\"=dword:00000002\n\"A\"=dword:00000001\n\"ab\"=\"x\"\n"
                  "\"a1\"=hex:01,02,03\n");
}

LONG SetString(HKEY key, std::string_view name, std::string_view text) {
  std::u16string units = Utf8ToUtf16(text);
  units.push_back(u'\0');
  return RegSetValueExW(key, name, REG_SZ, reinterpret_cast<const BYTE*>(units.data()),
                        static_cast<DWORD>(units.size() * 2));
}

ino_t Inode(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  RegistryStoreTest() {
    prefix_.Write("system.reg", MachineHive());
    prefix_.Write("user.reg", UserHive());
    store_ = std::make_unique<RegistryStore>(prefix_.Path());
    RegistryStore::SetCurrent(store_.get());
  }
  ~RegistryStoreTest() override { RegistryStore::SetCurrent(nullptr); }

  ScratchFolder prefix_;
  std::unique_ptr<RegistryStore> store_;
};

TEST_F(RegistryStoreTest, OpenFailsOnMissingKeysAndCreateMakesEveryMissingLevel) {
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase\\Options", &key), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "software\\CORVANE\\erase", &key), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "\\Software", &key),
            static_cast<LONG>(ERROR_BAD_PATHNAME));
  EXPECT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, std::string(256, 'k'), &key),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));
}

TEST_F(RegistryStoreTest, QueryAnswersSizesAndMoreDataLikeWindows) {
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Sorted", &key), 0);
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(key, "ab", &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 4u);  // "x" and its NUL in UTF-16
  BYTE buffer[8] = {};
  size = 3;
  EXPECT_EQ(RegQueryValueExW(key, "ab", &type, buffer, &size), static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer[0], 0);  // nothing copied on a short buffer
  size = 4;
  ASSERT_EQ(RegQueryValueExW(key, "AB", &type, buffer, &size), 0);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(RegQueryValueExW(key, "b", &type, buffer, nullptr),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, EnumerationFollowsWineOrderAndNameCapacities) {
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Sorted", &key), 0);
  std::vector<std::string> names;
  std::string name;
  for (DWORD index = 0;; ++index) {
    DWORD chars = 16;
    const LONG result = RegEnumValueW(key, index, &name, &chars, nullptr, nullptr, nullptr);
    if (result == static_cast<LONG>(ERROR_NO_MORE_ITEMS)) break;
    ASSERT_EQ(result, 0);
    EXPECT_EQ(chars, Utf8ToUtf16(name).size());
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "a1", "ab", "b"}));

  DWORD chars = 2;  // "ab" needs 3 with its NUL
  EXPECT_EQ(RegEnumValueW(key, 2, &name, &chars, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_MORE_DATA));
  chars = 3;
  BYTE data[2];
  DWORD size = sizeof data;
  EXPECT_EQ(RegEnumValueW(key, 1, &name, &chars, nullptr, data, &size),
            static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 3u);

  for (const char* sub : {"beta", "Alpha", "alpha2", "Gamma"}) {
    HKEY created = 0;
    ASSERT_EQ(RegCreateKeyW(key, sub, &created), 0);
    RegCloseKey(created);
  }
  names.clear();
  for (DWORD index = 0; RegEnumKeyW(key, index, &name, 256) == 0; ++index) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha2", "beta", "Gamma"}));
  EXPECT_EQ(RegEnumKeyW(key, 0, &name, 5), static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(RegEnumKeyW(key, 0, &name, 6), 0);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, CurrentControlSetLeadsToControlSet001) {
  HKEY key = 0;
  ASSERT_EQ(
      RegOpenKeyW(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", &key),
      0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, "Existing", nullptr, nullptr, &size), 0);
  ASSERT_EQ(SetString(key, "PendingFileRenameOperations", "x"), 0);
  RegCloseKey(key);
  ASSERT_EQ(
      RegOpenKeyW(HKEY_LOCAL_MACHINE, "System\\ControlSet001\\Control\\Session Manager", &key), 0);
  EXPECT_EQ(RegQueryValueExW(key, "PendingFileRenameOperations", nullptr, nullptr, &size), 0);
  RegCloseKey(key);

  // Deleting the link deletes the link, never what it points at.
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet"), 0);
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "System\\ControlSet001\\Control", &key), 0);
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, RootsMapOntoTheirHives) {
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_CLASSES_ROOT, ".txt", &key), 0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, "", nullptr, nullptr, &size), 0);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyW(HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software\\Sorted", &key), 0);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyW(HKEY_USERS, ".Default\\Software\\Made", &key), 0);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Made", &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  std::vector<std::string> users;
  std::string name;
  for (DWORD index = 0; RegEnumKeyW(HKEY_USERS, index, &name, 256) == 0; ++index) {
    users.push_back(name);
  }
  EXPECT_EQ(users, (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_CONFIG, "Software", &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCreateKeyW(HKEY_USERS, "S-1-5-18\\Software", &key),
            static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegOpenKeyW(0x1234, "", &key), static_cast<LONG>(ERROR_INVALID_HANDLE));
  ASSERT_EQ(store_->Flush(), true);
  EXPECT_NE(ScratchFolder::Read(prefix_ / "userdef.reg").find("[Software\\\\Made]"),
            std::string::npos);
}

TEST_F(RegistryStoreTest, KeyDeletionRulesAndHandlesOfDeletedKeys) {
  HKEY top = 0;
  HKEY child = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Doomed", &top), 0);
  ASSERT_EQ(RegCreateKeyW(top, "Child\\Grandchild", &child), 0);
  ASSERT_EQ(SetString(top, "v", "1"), 0);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, "Software\\Doomed"),
            static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SHDeleteEmptyKeyW(top, "Child"), static_cast<LONG>(ERROR_KEY_HAS_CHILDREN));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, ""), static_cast<LONG>(ERROR_ACCESS_DENIED));

  ASSERT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, "Software\\Doomed"), 0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(top, "v", nullptr, nullptr, &size),
            static_cast<LONG>(ERROR_KEY_DELETED));
  EXPECT_EQ(SetString(child, "w", "2"), static_cast<LONG>(ERROR_KEY_DELETED));
  HKEY again = 0;
  EXPECT_EQ(RegCreateKeyW(top, "New", &again), static_cast<LONG>(ERROR_KEY_DELETED));
  EXPECT_EQ(RegCloseKey(top), 0);
  EXPECT_EQ(RegCloseKey(child), 0);
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Doomed", &again),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Empty", &top), 0);
  EXPECT_EQ(SHDeleteEmptyKeyW(HKEY_CURRENT_USER, "Software\\Empty"), 0);
  EXPECT_EQ(RegDeleteValueW(top, "v"), static_cast<LONG>(ERROR_KEY_DELETED));
  RegCloseKey(top);
}

TEST_F(RegistryStoreTest, TwoThreadsWritingAtOnceLoseNothing) {
  constexpr int kValues = 300;
  auto writer = [](std::string prefix) {
    for (int i = 0; i < kValues; ++i) {
      HKEY key = 0;
      if (RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Threads", &key) != 0) return;
      const DWORD value = static_cast<DWORD>(i);
      (void)RegSetValueExW(key, prefix + std::to_string(i), REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), 4);
      RegCloseKey(key);
    }
  };
  std::thread first(writer, "first");
  std::thread second(writer, "second");
  first.join();
  second.join();
  ASSERT_TRUE(store_->Flush());
  RegistryStore reread(prefix_.Path());
  RegistryStore::SetCurrent(&reread);
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Threads", &key), 0);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(values, static_cast<DWORD>(2 * kValues));
  RegCloseKey(key);
  RegistryStore::SetCurrent(store_.get());
}

// The names of a key's values in enumeration order, read by index as Windows callers do.
std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  std::string name;
  for (DWORD index = 0;; ++index) {
    DWORD chars = 64;
    if (RegEnumValueW(key, index, &name, &chars, nullptr, nullptr, nullptr) != 0) break;
    names.push_back(name);
  }
  return names;
}

TEST_F(RegistryStoreTest, DeletionsByIndexInterleavedWithEveryOtherCallMatchAModel) {
  // Deletions at the enumeration position, before it, after it and elsewhere, mixed with reads,
  // writes and saves, against a sorted list of the names that should be there.
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Many", &key), 0);
  std::vector<std::string> model;
  char name[16];
  for (int i = 0; i < 400; ++i) {
    std::snprintf(name, sizeof name, "V%04d", i);
    ASSERT_EQ(SetString(key, name, "x"), 0);
    model.push_back(name);
  }
  std::mt19937 random(20261209);
  int position = 0;
  for (int step = 0; step < 3000 && !model.empty(); ++step) {
    const unsigned choice = random() % 16;
    if (choice < 10) {
      // Mostly where the last deletion was, or right before it, as walks by index do.
      if (choice >= 7) position = static_cast<int>(random() % model.size());
      if (choice == 6 && position > 0) --position;
      position = std::min(position, static_cast<int>(model.size()) - 1);
      std::string at;
      DWORD chars = 64;
      ASSERT_EQ(
          RegEnumValueW(key, static_cast<DWORD>(position), &at, &chars, nullptr, nullptr, nullptr),
          0);
      ASSERT_EQ(at, model[static_cast<std::size_t>(position)]);
      ASSERT_EQ(RegDeleteValueW(key, at), 0);
      ASSERT_EQ(RegDeleteValueW(key, at), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
      model.erase(model.begin() + position);
    } else if (choice < 12) {
      std::snprintf(name, sizeof name, "V%04d", static_cast<int>(random() % 400));
      DWORD size = 0;
      const bool present = std::binary_search(model.begin(), model.end(), std::string(name));
      ASSERT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, &size) == 0, present) << name;
    } else if (choice < 14) {
      std::snprintf(name, sizeof name, "V%04d", static_cast<int>(random() % 400));
      ASSERT_EQ(SetString(key, name, "again"), 0);
      if (!std::binary_search(model.begin(), model.end(), std::string(name))) {
        model.insert(std::lower_bound(model.begin(), model.end(), std::string(name)), name);
      }
    } else if (choice == 14) {
      DWORD values = 0;
      ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr),
                0);
      ASSERT_EQ(values, model.size());
    } else {
      ASSERT_EQ(ValueNames(key), model);
      if (step % 5 == 0) {
        ASSERT_TRUE(store_->Flush());
      }
    }
  }
  EXPECT_EQ(ValueNames(key), model);
  RegCloseKey(key);

  // Wine saves the file meanwhile: our deletions go onto its version, in one pass.
  ASSERT_TRUE(store_->Flush());
  const std::string saved = ScratchFolder::Read(prefix_ / "user.reg");
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Many", &key), 0);
  for (std::size_t i = 0; i < model.size(); i += 2) ASSERT_EQ(RegDeleteValueW(key, model[i]), 0);
  RegCloseKey(key);
  prefix_.Write("user.reg", saved + "\n[Software\\\\ByWine] 1700000001\n\"w\"=\"1\"\n");
  ASSERT_TRUE(store_->Flush());
  RegistryStore reread(prefix_.Path());
  RegistryStore::SetCurrent(&reread);
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Many", &key), 0);
  std::vector<std::string> left;
  for (std::size_t i = 1; i < model.size(); i += 2) left.push_back(model[i]);
  EXPECT_EQ(ValueNames(key), left);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\ByWine", &key), 0);
  RegCloseKey(key);
  RegistryStore::SetCurrent(store_.get());
}

TEST_F(RegistryStoreTest, SavesOnlyWhenSomethingChanged) {
  const std::filesystem::path system = prefix_.Path() / "system.reg";
  const ino_t before = Inode(system);
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", &key), 0);
  std::u16string same = u"txtfile";
  same.push_back(u'\0');
  ASSERT_EQ(RegSetValueExW(key, "", REG_SZ, reinterpret_cast<const BYTE*>(same.data()),
                           static_cast<DWORD>(same.size() * 2)),
            0);
  EXPECT_FALSE(store_->HasUnsavedChanges());
  ASSERT_TRUE(store_->Flush());
  EXPECT_EQ(Inode(system), before);  // an atomic save would have replaced the file

  ASSERT_EQ(SetString(key, "", "changed"), 0);
  EXPECT_TRUE(store_->HasUnsavedChanges());
  ASSERT_TRUE(store_->Flush());
  EXPECT_NE(Inode(system), before);
  EXPECT_NE(ScratchFolder::Read(prefix_ / "system.reg").find("@=\"changed\""), std::string::npos);
  EXPECT_FALSE(store_->HasUnsavedChanges());
  EXPECT_FALSE(std::filesystem::exists(prefix_.Path() / "userdef.reg"));
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, ChangesGoOntoWhatWineSavedMeanwhile) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key), 0);
  ASSERT_EQ(SetString(key, "Run", "weekly"), 0);
  ASSERT_EQ(RegDeleteValueW(key, "Run"), 0);
  ASSERT_EQ(SetString(key, "Last", "now"), 0);
  RegCloseKey(key);
  // Wine saves its own change after we read the file.
  prefix_.Write("system.reg", MachineHive() + "\n[Software\\\\ByWine] 1700000001\n\"w\"=\"1\"\n");
  ASSERT_TRUE(store_->Flush());
  const std::string saved = ScratchFolder::Read(prefix_ / "system.reg");
  EXPECT_NE(saved.find("[Software\\\\ByWine]"), std::string::npos);
  EXPECT_NE(saved.find("\"Last\"=\"now\""), std::string::npos);
  EXPECT_EQ(saved.find("\"Run\""), std::string::npos);

  // A version that cannot be read completely is never written over.
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key), 0);
  ASSERT_EQ(SetString(key, "Last", "later"), 0);
  const std::string damaged = MachineHive() + "\n[Broken\n";
  prefix_.Write("system.reg", damaged);
  EXPECT_FALSE(store_->Flush());
  EXPECT_EQ(ScratchFolder::Read(prefix_ / "system.reg"), damaged);
  EXPECT_TRUE(store_->HasUnsavedChanges());
  RegCloseKey(key);
}

TEST_F(RegistryStoreTest, UnchangedHivesFollowTheFileAndHandlesFollowTheirKeys) {
  HKEY kept = 0;
  HKEY gone = 0;
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Sorted", &kept), 0);
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Soon Gone", &gone), 0);
  ASSERT_TRUE(store_->Flush());
  prefix_.Write("user.reg", UserHive() + "\"new\"=dword:00000007\n");
  prefix_.Write("system.reg", MachineHive() + "\n");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(kept, "new", nullptr, nullptr, &size), 0);
  EXPECT_EQ(RegQueryValueExW(gone, "x", nullptr, nullptr, &size),
            static_cast<LONG>(ERROR_KEY_DELETED));
  RegCloseKey(kept);
  RegCloseKey(gone);
}

TEST_F(RegistryStoreTest, NothingIsWrittenWhileAWineserverRuns) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key), 0);
  ASSERT_EQ(SetString(key, "Run", "weekly"), 0);
  RegCloseKey(key);
  const std::string original = ScratchFolder::Read(prefix_ / "system.reg");
  {
    test::WineServerLockHolder server(prefix_.Path());
    EXPECT_FALSE(store_->Flush());
    EXPECT_NE(store_->LastSaveProblem().find("wineserver"), std::string::npos);
    EXPECT_TRUE(store_->HasUnsavedChanges());
    EXPECT_EQ(ScratchFolder::Read(prefix_ / "system.reg"), original);
  }
  EXPECT_TRUE(store_->Flush());
  EXPECT_EQ(store_->LastSaveProblem(), "");
  EXPECT_NE(ScratchFolder::Read(prefix_ / "system.reg").find("\"Run\"=\"weekly\""),
            std::string::npos);
}

TEST(RegistryStoreDamagedHive, IsReadOnlyAndNeverSaved) {
  ScratchFolder prefix;
  const std::string damaged = MachineHive() + "\n[Software\\\\Broken\n\"lost\"=dword:1\n";
  prefix.Write("system.reg", damaged);
  prefix.Write("user.reg", UserHive());
  {
    RegistryStore store(prefix.Path());
    RegistryStore::SetCurrent(&store);
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", &key), 0);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, "", nullptr, nullptr, &size), 0);
    EXPECT_EQ(SetString(key, "", "changed"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteValueW(key, ""), static_cast<LONG>(ERROR_ACCESS_DENIED));
    HKEY created = 0;
    EXPECT_EQ(RegCreateKeyW(key, "New", &created), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SHDeleteKeyW(HKEY_LOCAL_MACHINE, "Software\\Classes"),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    RegCloseKey(key);
    // The other hives stay writable.
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Fine", &created), 0);
    RegCloseKey(created);
    EXPECT_NE(store.LastSaveProblem().find("system.reg"), std::string::npos);
    EXPECT_TRUE(store.Flush());
    RegistryStore::SetCurrent(nullptr);
  }
  EXPECT_EQ(ScratchFolder::Read(prefix / "system.reg"), damaged);
  EXPECT_NE(ScratchFolder::Read(prefix / "user.reg").find("[Software\\\\Fine]"), std::string::npos);
}

// The hives a real wineboot made: the store reads them as Wine laid them out and, after a change,
// writes back everything it did not change as it was.
TEST(RegistryStoreWinebootHives, ChangesLeaveTheRestOfTheFileAsItWas) {
  ScratchFolder prefix;
  const std::string fixtures = std::string(CORVANE_FIXTURES_DIR) + "/wine/";
  for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
    prefix.Write(hive, ScratchFolder::Read(fixtures + hive));
  }
  const std::string original = ScratchFolder::Read(prefix / "system.reg");
  RegistryStore store(prefix.Path());
  RegistryStore::SetCurrent(&store);
  EXPECT_EQ(store.UserSid(), "S-1-5-21-0-0-0-1000");
  HKEY key = 0;
  ASSERT_EQ(
      RegOpenKeyW(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", &key),
      0);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyW(HKEY_CLASSES_ROOT, "Wow6432Node\\Protocols", &key), 0);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyW(HKEY_USERS, ".Default\\Software\\Microsoft", &key), 0);
  RegCloseKey(key);

  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase", &key), 0);
  ASSERT_EQ(SetString(key, "Run", "weekly"), 0);
  RegCloseKey(key);
  ASSERT_TRUE(store.Flush());
  RegistryStore::SetCurrent(nullptr);

  std::string saved = ScratchFolder::Read(prefix / "system.reg");
  const std::size_t start = saved.find("\n[Software\\\\Corvane\\\\Erase]");
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = saved.find("\n\n[", start + 1);
  ASSERT_NE(end, std::string::npos);
  EXPECT_NE(saved.substr(start, end - start).find("\"Run\"=\"weekly\""), std::string::npos);
  saved.erase(start, end + 1 - start);
  EXPECT_EQ(saved, original);
}

}  // namespace
}  // namespace corvane
