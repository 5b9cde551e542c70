// A manifest's text, as UTF-16 code units, looked up for the program's entry.

#include "update/manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  const std::wstring value = FindManifestValue(text, L"LAGVANE.exe", EqualsIgnoringAsciiCaseW);
  // A value is always a piece of one line of the text.
  if (!value.empty() && text.find(value) == std::wstring::npos) std::abort();
  for (std::wstring_view line : SplitManifestLines(text)) {
    if (line.find_first_of(L"\r\n") != std::wstring_view::npos) std::abort();
  }
  return 0;
}
