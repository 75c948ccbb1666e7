#pragma once
// GetVersionExW for the prefix: the Windows version Wine pretends to be, from HKCU "Software\Wine"
// value "Version" (what winecfg writes). Without that value the prefix is Windows 10, Wine's
// default.

#include <cstdint>

#include "platform/last_error.h"

namespace corvane {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Laid out as Windows lays it out: 276 bytes.
struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char16_t szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOW) == 276);

// Fills the structure; false with ERROR_INSUFFICIENT_BUFFER when dwOSVersionInfoSize is not the
// structure's size.
[[nodiscard]] bool GetVersionExW(OSVERSIONINFOW* info);

}  // namespace corvane
