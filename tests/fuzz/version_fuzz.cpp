// Two version strings, as UTF-16 code units, split and compared.

#include "update/version.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  // A '|' separates the server's version from the installed one.
  const std::size_t bar = text.find(L'|');
  const std::wstring remote = text.substr(0, bar);
  const std::wstring local = bar == std::wstring::npos ? std::wstring() : text.substr(bar + 1);
  const auto parts = SplitVersion(remote);
  if (parts.size() > remote.size() + 1) std::abort();
  for (const std::wstring& part : parts) VersionPartNumber(part);
  // A version made only of numbers is the latest against itself.
  bool allNumbers = true;
  for (const std::wstring& part : parts) allNumbers = allNumbers && VersionPartNumber(part).has_value();
  if (allNumbers && !IsLatestVersion(remote, remote)) std::abort();
  IsLatestVersion(remote, local);
  return 0;
}
