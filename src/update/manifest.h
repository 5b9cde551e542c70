#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The version manifest's lines: a line ends at CR LF, a lone LF or a lone CR; a last line without
// a break counts, a break at the very end adds no empty line, and a NUL ends the text.
std::vector<std::wstring_view> SplitManifestLines(std::wstring_view text);

using NameEquality = std::function<bool(std::wstring_view, std::wstring_view)>;

// The value of the manifest entry named `key` (a line "name=value", split at its first "=", with
// nothing trimmed), or empty when no line's name equals the key exactly. Once an exact name is
// found, the value is that of the first line whose name equals it ignoring case, as the platform
// compares text in the user's locale; an earlier line in other letter case therefore wins.
std::wstring FindManifestValue(std::wstring_view text, std::wstring_view key, const NameEquality& equalsIgnoringCase);

// ASCII letters without case: the portable stand-in for the platform's comparison.
bool EqualsIgnoringAsciiCaseW(std::wstring_view a, std::wstring_view b) noexcept;
