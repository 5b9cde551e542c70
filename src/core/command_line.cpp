#include "core/command_line.h"

#include "common/texts.h"

bool IsUninstallSwitch(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 1) return false;
  std::wstring upper = arguments.front();
  // Only a–z: other letters (ı, ß, full-width forms) never turn into the switch's letters.
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return upper == texts::kUninstallSwitch;
}
