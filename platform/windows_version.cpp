#include "platform/windows_version.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {

namespace {

struct KnownVersion {
  std::string_view name;  // as winecfg writes it
  DWORD major;
  DWORD minor;
  DWORD build;
  DWORD platform;
  std::u16string_view servicePack;
};

constexpr std::array kVersions{
    KnownVersion{"win10", 10, 0, 19043, VER_PLATFORM_WIN32_NT, u""},
    KnownVersion{"win81", 6, 3, 9600, VER_PLATFORM_WIN32_NT, u""},
    KnownVersion{"win8", 6, 2, 9200, VER_PLATFORM_WIN32_NT, u""},
    KnownVersion{"win2008r2", 6, 1, 7601, VER_PLATFORM_WIN32_NT, u"Service Pack 1"},
    KnownVersion{"win7", 6, 1, 7601, VER_PLATFORM_WIN32_NT, u"Service Pack 1"},
    KnownVersion{"win2008", 6, 0, 6002, VER_PLATFORM_WIN32_NT, u"Service Pack 2"},
    KnownVersion{"vista", 6, 0, 6002, VER_PLATFORM_WIN32_NT, u"Service Pack 2"},
    KnownVersion{"win2003", 5, 2, 3790, VER_PLATFORM_WIN32_NT, u"Service Pack 2"},
    KnownVersion{"winxp64", 5, 2, 3790, VER_PLATFORM_WIN32_NT, u"Service Pack 2"},
    KnownVersion{"winxp", 5, 1, 2600, VER_PLATFORM_WIN32_NT, u"Service Pack 3"},
    KnownVersion{"win2k", 5, 0, 2195, VER_PLATFORM_WIN32_NT, u"Service Pack 4"},
    KnownVersion{"nt40", 4, 0, 1381, VER_PLATFORM_WIN32_NT, u"Service Pack 6a"},
    KnownVersion{"nt351", 3, 51, 1057, VER_PLATFORM_WIN32_NT, u"Service Pack 5"},
    KnownVersion{"winme", 4, 90, 0x045A0BB8, VER_PLATFORM_WIN32_WINDOWS, u" "},
    KnownVersion{"win98", 4, 10, 0x040A08AE, VER_PLATFORM_WIN32_WINDOWS, u" A "},
    KnownVersion{"win95", 4, 0, 0x040003B6, VER_PLATFORM_WIN32_WINDOWS, u""},
    KnownVersion{"win31", 3, 10, 0, VER_PLATFORM_WIN32s, u"Win32s 1.3"},
};

// The "Version" value of HKCU "Software\Wine"; empty when it is missing or not a string.
std::string ConfiguredVersion() {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, "Software\\Wine", &key) != ERROR_SUCCESS) return {};
  std::string bytes(256, '\0');
  DWORD type = REG_NONE;
  auto size = static_cast<DWORD>(bytes.size());
  const LONG result =
      RegQueryValueExW(key, "Version", &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  bytes.resize(size);
  return Utf16LeBytesToUtf8(bytes);
}

}  // namespace

bool GetVersionExW(OSVERSIONINFOW* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  const std::string configured = ConfiguredVersion();
  const KnownVersion* chosen = &kVersions.front();
  for (const KnownVersion& known : kVersions) {
    if (EqualsNoCase(configured, known.name)) chosen = &known;
  }
  info->dwMajorVersion = chosen->major;
  info->dwMinorVersion = chosen->minor;
  info->dwBuildNumber = chosen->build;
  info->dwPlatformId = chosen->platform;
  std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), u'\0');
  std::copy(chosen->servicePack.begin(), chosen->servicePack.end(), info->szCSDVersion);
  return true;
}

}  // namespace corvane
