#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A version string's parts: separated by "." and by spaces or control characters, with the
// blanks around parts skipped, empty parts kept (between two dots, before a leading dot, after a
// final dot), and quoted parts ("...", a doubled quote standing for one) taken whole. A NUL ends
// the string.
std::vector<std::wstring> SplitVersion(std::wstring_view version);

// A part as a signed 32-bit number: decimal with an optional sign, or hexadecimal after "$", "x",
// "X", "0x" or "0X". Empty for anything else, values out of range included.
std::optional<std::int32_t> VersionPartNumber(std::wstring_view part);

// Whether the installed version needs no update: both versions have the same number of parts,
// every part is a number, and no part of the server's version is greater than the installed
// version's part at the same place. The places are compared each on its own, not by significance.
bool IsLatestVersion(std::wstring_view remote, std::wstring_view local);

// Whether the server's version is newer than the installed one in the usual order of
// significance: parts compared from the first, a missing trailing part counting as 0, so 2.0.0.0
// is newer than 1.0.0.5 and 1.0 equals 1.0.0.0. A part of either that is not a number (by
// VersionPartNumber) makes the two incomparable: never newer.
bool IsNewerVersion(std::wstring_view remote, std::wstring_view local);
