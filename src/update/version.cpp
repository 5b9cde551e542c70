#include "update/version.h"

#include <algorithm>

namespace {

// Codes 1 to 32: skipped around parts. A NUL has been cut off before any of this runs.
bool IsBlank(wchar_t c) noexcept { return c >= 1 && c <= 32; }
bool IsControlOrSpace(wchar_t c) noexcept { return static_cast<std::uint32_t>(c) <= 32; }

int HexDigit(wchar_t c) noexcept {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::wstring> SplitVersion(std::wstring_view version) {
  const std::wstring_view text = version.substr(0, version.find(L'\0'));
  std::vector<std::wstring> parts;
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
  };
  skipBlanks();
  while (pos < text.size()) {
    std::wstring part;
    if (text[pos] == L'"') {
      // To the closing quote, or to the end when there is none; "" inside stands for one quote.
      ++pos;
      while (pos < text.size()) {
        if (text[pos] == L'"') {
          if (pos + 1 < text.size() && text[pos + 1] == L'"') {
            part += L'"';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        part += text[pos++];
      }
    } else {
      while (pos < text.size() && text[pos] != L'.' && !IsControlOrSpace(text[pos])) part += text[pos++];
    }
    parts.push_back(std::move(part));
    skipBlanks();
    if (pos < text.size() && text[pos] == L'.') {
      if (pos + 1 == text.size()) parts.emplace_back();
      ++pos;
      skipBlanks();
    }
  }
  return parts;
}

std::optional<std::int32_t> VersionPartNumber(std::wstring_view part) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < part.size() && (part[pos] == L'+' || part[pos] == L'-')) negative = part[pos++] == L'-';
  int base = 10;
  if (pos < part.size() && (part[pos] == L'$' || part[pos] == L'x' || part[pos] == L'X')) {
    base = 16;
    ++pos;
  } else if (part.size() - pos >= 2 && part[pos] == L'0' && (part[pos + 1] == L'x' || part[pos + 1] == L'X')) {
    base = 16;
    pos += 2;
  }
  if (pos == part.size()) return std::nullopt;
  // The magnitude may reach 2^31 only for the negative limit.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t value = 0;
  for (; pos < part.size(); ++pos) {
    const int digit = HexDigit(part[pos]);
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

bool IsLatestVersion(std::wstring_view remote, std::wstring_view local) {
  const std::vector<std::wstring> remoteParts = SplitVersion(remote);
  const std::vector<std::wstring> localParts = SplitVersion(local);
  if (remoteParts.size() != localParts.size()) return false;
  for (std::size_t i = 0; i < remoteParts.size(); ++i) {
    const std::optional<std::int32_t> remoteNumber = VersionPartNumber(remoteParts[i]);
    const std::optional<std::int32_t> localNumber = VersionPartNumber(localParts[i]);
    if (!remoteNumber || !localNumber || *remoteNumber > *localNumber) return false;
  }
  return true;
}

bool IsNewerVersion(std::wstring_view remote, std::wstring_view local) {
  const std::vector<std::wstring> remoteParts = SplitVersion(remote);
  const std::vector<std::wstring> localParts = SplitVersion(local);
  const auto numbers = [](const std::vector<std::wstring>& parts, std::size_t count) {
    std::vector<std::int32_t> values(count, 0);
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const std::optional<std::int32_t> number = VersionPartNumber(parts[i]);
      if (!number) return std::optional<std::vector<std::int32_t>>();
      values[i] = *number;
    }
    return std::optional<std::vector<std::int32_t>>(std::move(values));
  };
  const std::size_t count = std::max(remoteParts.size(), localParts.size());
  const auto remoteNumbers = numbers(remoteParts, count);
  const auto localNumbers = numbers(localParts, count);
  return remoteNumbers && localNumbers && *remoteNumbers > *localNumbers;
}
