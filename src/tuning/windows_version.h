#pragma once

// The Windows versions the program tells apart. Callers compare by value: above wvWinXP means
// Vista or 7.
enum class TWinVersion : int {
  wvUnknown = 0,
  wvWin95 = 1,
  wvWin98 = 2,
  wvWin98SE = 3,
  wvWinNT4 = 4,
  wvWinME = 5,
  wvWin2000 = 6,
  wvWinXP = 7,
  wvWinVista = 8,
  wvWin7 = 9,
};

// The fields of the platform's version record that decide the answer.
struct OsVersionFields {
  unsigned long platformId = 0;
  unsigned long majorVersion = 0;
  unsigned long minorVersion = 0;
  // The second character of the service-pack text: 'A' marks Windows 98 Second Edition.
  wchar_t csdVersionSecond = L'\0';
};

TWinVersion ClassifyWindowsVersion(const OsVersionFields& version) noexcept;

// Reads the running system's version (the plain version record, as the program has always
// asked for it) and classifies it; wvUnknown when it cannot be read.
TWinVersion GetWindowsVersion() noexcept;
