#include "tuning/windows_version.h"

namespace {
constexpr unsigned long kPlatformWindows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr unsigned long kPlatformNt = 2;       // VER_PLATFORM_WIN32_NT
}  // namespace

TWinVersion ClassifyWindowsVersion(const OsVersionFields& v) noexcept {
  if (v.platformId == kPlatformWindows && v.majorVersion == 4) {
    switch (v.minorVersion) {
      case 0: return TWinVersion::wvWin95;
      case 10: return v.csdVersionSecond == L'A' ? TWinVersion::wvWin98SE : TWinVersion::wvWin98;
      case 90: return TWinVersion::wvWinME;
      default: return TWinVersion::wvUnknown;
    }
  }
  if (v.platformId == kPlatformNt) {
    if (v.majorVersion <= 4) return TWinVersion::wvWinNT4;
    if (v.majorVersion == 5 && v.minorVersion == 0) return TWinVersion::wvWin2000;
    if (v.majorVersion == 5 && v.minorVersion == 1) return TWinVersion::wvWinXP;
    if (v.majorVersion == 6 && v.minorVersion == 0) return TWinVersion::wvWinVista;
    if (v.majorVersion == 6 && v.minorVersion == 1) return TWinVersion::wvWin7;
  }
  return TWinVersion::wvUnknown;
}
