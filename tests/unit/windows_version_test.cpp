#include "tuning/windows_version.h"

#include <gtest/gtest.h>

TEST(ClassifyWindowsVersion, TellsTheKnownVersionsApartAndEverythingElseIsUnknown) {
  using enum TWinVersion;
  const struct {
    OsVersionFields fields;
    TWinVersion expected;
  } cases[] = {
      {{1, 4, 0, L'\0'}, wvWin95},
      {{1, 4, 10, L'A'}, wvWin98SE},
      {{1, 4, 10, L'B'}, wvWin98},
      {{1, 4, 10, L'\0'}, wvWin98},
      {{1, 4, 90, L'\0'}, wvWinME},
      {{1, 4, 3, L'\0'}, wvUnknown},
      {{1, 5, 0, L'\0'}, wvUnknown},
      {{2, 3, 51, L'\0'}, wvWinNT4},
      {{2, 4, 0, L'\0'}, wvWinNT4},
      {{2, 5, 0, L'\0'}, wvWin2000},
      {{2, 5, 1, L'\0'}, wvWinXP},
      {{2, 5, 2, L'\0'}, wvUnknown},  // Server 2003, XP x64
      {{2, 6, 0, L'\0'}, wvWinVista},
      {{2, 6, 1, L'\0'}, wvWin7},
      {{2, 6, 2, L'\0'}, wvUnknown},  // 8 and later, as they report themselves to this program
      {{2, 10, 0, L'\0'}, wvUnknown},
      {{0, 3, 10, L'\0'}, wvUnknown},  // Win32s
      {{3, 6, 1, L'\0'}, wvUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyWindowsVersion(c.fields), c.expected)
        << "platform " << c.fields.platformId << ", " << c.fields.majorVersion << "." << c.fields.minorVersion;
  }
}
