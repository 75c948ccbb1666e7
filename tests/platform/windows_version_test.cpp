#include "platform/windows_version.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/registry_store.h"
#include "tests/support/temp_prefix.h"

namespace corvane {
namespace {

OSVERSIONINFOW Query() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_TRUE(GetVersionExW(&info));
  return info;
}

TEST(WindowsVersion, FollowsTheVersionWineIsSetTo) {
  test::TempPrefix prefix;
  prefix.Write("system.reg", test::HiveText("REGISTRY\\Machine", ""));
  prefix.Write("user.reg", test::HiveText("REGISTRY\\User\\S-1-5-21-0-0-0-1000", ""));
  RegistryStore store(prefix.Path());
  RegistryStore::SetCurrent(&store);

  EXPECT_EQ(Query().dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(Query().dwMajorVersion, 10u);

  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, "Software\\Wine", &key), 0);
  auto setVersion = [&](std::u16string_view name) {
    std::u16string units(name);
    units.push_back(u'\0');
    ASSERT_EQ(RegSetValueExW(key, "Version", REG_SZ, reinterpret_cast<const BYTE*>(units.data()),
                             static_cast<DWORD>(units.size() * 2)),
              0);
  };
  setVersion(u"win98");
  EXPECT_EQ(Query().dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(Query().dwMinorVersion, 10u);
  setVersion(u"WinME");
  EXPECT_EQ(Query().dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  setVersion(u"winxp");
  EXPECT_EQ(Query().dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(Query().dwMinorVersion, 1u);
  setVersion(u"something new");
  EXPECT_EQ(Query().dwMajorVersion, 10u);
  RegCloseKey(key);

  OSVERSIONINFOW wrongSize{};
  wrongSize.dwOSVersionInfoSize = 284;
  EXPECT_FALSE(GetVersionExW(&wrongSize));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  RegistryStore::SetCurrent(nullptr);
}

}  // namespace
}  // namespace corvane
