#include "platform/windows_version.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/registry_store.h"
#include "tests/support/temp_registry.h"

namespace corvane {
namespace {

OSVERSIONINFOW Query() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_TRUE(GetVersionExW(&info));
  return info;
}

TEST(WindowsVersion, FollowsTheVersionWineIsSetTo) {
  test::TempRegistry registry;
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
  setVersion(u"Win98");
  EXPECT_EQ(Query().dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(Query().dwMinorVersion, 10u);
  setVersion(u"something new");
  EXPECT_EQ(Query().dwMajorVersion, 10u);
  RegCloseKey(key);

  OSVERSIONINFOW wrongSize{};
  wrongSize.dwOSVersionInfoSize = 284;
  EXPECT_FALSE(GetVersionExW(&wrongSize));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
}  // namespace corvane
