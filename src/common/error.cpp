#include "common/error.h"

std::wstring ErrorBoxText(const std::wstring& message) {
  if (!message.empty() && static_cast<unsigned>(message.back()) > u'.') return message + L".";
  return message;
}

std::wstring FormatText(const std::wstring& pattern, const std::wstring& argument) {
  std::wstring out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] == L's') {
      out += argument;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::wstring AssertionText(const std::wstring& source, int line) {
  return L"Assertion failure (" + source + L", line " + std::to_wstring(line) + L")";
}

std::wstring TrimSystemMessage(std::wstring message) {
  while (!message.empty() && (message.back() <= L' ' || message.back() == L'.')) message.pop_back();
  return message;
}
