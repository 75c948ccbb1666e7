#include "app/registry_key.h"

#include <gtest/gtest.h>

#include "tests/support/temp_registry.h"

namespace corvane {
namespace {

constexpr std::string_view kSettings = "Software\\Corvane\\Erase";

class RegistryKeyTest : public ::testing::Test {
 protected:
  test::TempRegistry registry_{
      "\n[Software\\\\Corvane\\\\Erase] 1700000000\n"
      "\"StatisticsEnabled\"=dword:00000000\n"
      "\"Long\"=hex(4):01,00,00,00,02\n"
      "\"Short\"=hex(4):07,01\n"
      "\"Path\"=str(2):\"%USERPROFILE%\\\\Cookies\"\n"
      "\"Run\"=\"weekly\"\n"
      "\"Counter\"=dword:00414243\n"
      "\"Unterminated\"=hex(1):61,00,62,00\n"};

  // The raw type and bytes of a value, as another program would see them.
  std::pair<DWORD, std::string> Raw(std::string_view name) {
    HKEY key = 0;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, kSettings, &key) != 0) return {};
    std::string data(64, '\0');
    DWORD type = 0;
    auto size = static_cast<DWORD>(data.size());
    const LONG result =
        RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (result != 0) return {};
    data.resize(size);
    return {type, data};
  }
};

TEST_F(RegistryKeyTest, MissingKeyAndMissingValueAreToldApart) {
  RegistryDword noKey(HKEY_LOCAL_MACHINE, "Software\\Nobody", "Run", 5);
  noKey.SetReadOnly(true);
  EXPECT_EQ(noKey.Status(), RegistryStatus::KeyFailed);
  EXPECT_EQ(noKey.value, 5u);
  RegistryString noValue(HKEY_LOCAL_MACHINE, kSettings, "Affiliate", "none");
  noValue.SetReadOnly(true);
  EXPECT_EQ(noValue.Status(), RegistryStatus::ReadFailed);
  EXPECT_EQ(noValue.value, "none");
  EXPECT_EQ(noValue.type, REG_SZ);
}

TEST_F(RegistryKeyTest, DwordReadsOnlyDataThatFitsFourBytes) {
  RegistryDword present(HKEY_LOCAL_MACHINE, kSettings, "StatisticsEnabled", 1);
  present.SetReadOnly(true);
  EXPECT_EQ(present.Status(), RegistryStatus::Ok);
  EXPECT_EQ(present.value, 0u);
  RegistryDword longer(HKEY_LOCAL_MACHINE, kSettings, "Long", 9);
  longer.SetReadOnly(true);
  EXPECT_EQ(longer.Status(), RegistryStatus::ReadFailed);
  EXPECT_EQ(longer.value, 9u);
  RegistryDword shorter(HKEY_LOCAL_MACHINE, kSettings, "Short", 9);
  shorter.SetReadOnly(true);
  EXPECT_EQ(shorter.value, 0x0107u);  // zero-extended, never leftovers
}

TEST_F(RegistryKeyTest, StringKeepsItsTypeWhenWrittenBack) {
  {
    RegistryString path(HKEY_LOCAL_MACHINE, kSettings, "Path", "");
    EXPECT_EQ(path.Status(), RegistryStatus::Ok);
    EXPECT_EQ(path.type, REG_EXPAND_SZ);
    EXPECT_EQ(path.value, "%USERPROFILE%\\Cookies");
    path.value = "%APPDATA%\\x";
  }
  const auto [type, data] = Raw("Path");
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(data.size(), (11 + 1) * 2u);  // the NUL is stored
  EXPECT_EQ(data.substr(data.size() - 2), std::string(2, '\0'));

  RegistryString unterminated(HKEY_LOCAL_MACHINE, kSettings, "Unterminated", "");
  unterminated.SetReadOnly(true);
  EXPECT_EQ(unterminated.value, "ab");
}

TEST_F(RegistryKeyTest, StringOverANonTextValueReadsAsTheDefault) {
  {
    RegistryString counter(HKEY_LOCAL_MACHINE, kSettings, "Counter", "d");
    EXPECT_EQ(counter.Status(), RegistryStatus::ReadFailed);
    EXPECT_EQ(counter.value, "d");
    EXPECT_EQ(counter.type, REG_SZ);
    counter.SetReadOnly(true);
  }
  EXPECT_EQ(Raw("Counter").first, REG_DWORD);
}

TEST_F(RegistryKeyTest, ReadOnlyObjectsLeaveTheRegistryAlone) {
  {
    RegistryString run(HKEY_LOCAL_MACHINE, kSettings, "Run", "manually");
    run.SetReadOnly(true);
    run.value = "monthly";
    RegistryDword missing(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase\\Plugins", "X", 1);
    missing.SetReadOnly(true);
  }
  EXPECT_EQ(Raw("Run").second, std::string("w\0e\0e\0k\0l\0y\0\0\0", 14));
  HKEY key = 0;
  EXPECT_NE(RegOpenKeyW(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase\\Plugins", &key), 0);
  EXPECT_FALSE(registry_.Store().HasUnsavedChanges());
}

TEST_F(RegistryKeyTest, WritableObjectsCreateKeyAndValueWithTheirDefault) {
  {
    RegistryDword selected(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase\\Plugins", "BrowserCache",
                           1);
    EXPECT_EQ(selected.Status(), RegistryStatus::KeyFailed);
  }
  RegistryDword again(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Erase\\Plugins", "BrowserCache", 0);
  again.SetReadOnly(true);
  EXPECT_EQ(again.Status(), RegistryStatus::Ok);
  EXPECT_EQ(again.value, 1u);

  RegistryString value(HKEY_LOCAL_MACHINE, kSettings, "Run", "");
  value.value = "dialy";
  value.Write();
  EXPECT_EQ(value.Status(), RegistryStatus::Ok);
  value.value = "changed in memory";
  value.Read();
  EXPECT_EQ(value.value, "dialy");
  value.SetReadOnly(true);
}

TEST_F(RegistryKeyTest, WriteFailureIsStatusFourAndOpenKeyGivesAHandle) {
  RegistryDword selected(HKEY_LOCAL_MACHINE, kSettings, "StatisticsEnabled", 1);
  ASSERT_TRUE(selected.OpenKey());
  EXPECT_NE(selected.Handle(), 0u);
  selected.CloseKey();
  EXPECT_EQ(selected.Handle(), 0u);

  RegistryDword root(HKEY_CURRENT_CONFIG, "Software", "X", 0);
  root.Write();
  EXPECT_EQ(root.Status(), RegistryStatus::KeyFailed);
  RegistryDword users(HKEY_USERS, "", "X", 0);
  users.Write();
  EXPECT_EQ(users.Status(), RegistryStatus::WriteFailed);
  root.SetReadOnly(true);
  users.SetReadOnly(true);
  selected.SetReadOnly(true);
}

}  // namespace
}  // namespace corvane
