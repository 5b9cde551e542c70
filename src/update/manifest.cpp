#include "update/manifest.h"

namespace {

bool NameOf(std::wstring_view line, std::wstring_view& name) {
  const std::size_t equals = line.find(L'=');
  if (equals == std::wstring_view::npos) return false;
  name = line.substr(0, equals);
  return true;
}

}  // namespace

std::vector<std::wstring_view> SplitManifestLines(std::wstring_view text) {
  text = text.substr(0, text.find(L'\0'));
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != L'\r' && text[end] != L'\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end < text.size()) end += text.substr(end, 2) == L"\r\n" ? 2 : 1;
    start = end;
  }
  return lines;
}

std::wstring FindManifestValue(std::wstring_view text, std::wstring_view key, const NameEquality& equalsIgnoringCase) {
  const std::vector<std::wstring_view> lines = SplitManifestLines(text);
  for (std::wstring_view line : lines) {
    std::wstring_view name;
    if (!NameOf(line, name) || name != key) continue;
    for (std::wstring_view candidate : lines) {
      std::wstring_view candidateName;
      if (NameOf(candidate, candidateName) && equalsIgnoringCase(candidateName, name)) {
        return std::wstring(candidate.substr(candidateName.size() + 1));
      }
    }
    break;
  }
  return {};
}

bool EqualsIgnoringAsciiCaseW(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) return false;
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
