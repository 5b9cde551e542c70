#include "common/error.h"

#include "common/texts.h"

#include <cwchar>

Exception::Exception(std::wstring message, const wchar_t* typeName)
    : message_(std::move(message)), typeName_(typeName), address_(__builtin_return_address(0)) {}

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

std::wstring FormatFields(std::wstring_view pattern, std::initializer_list<std::wstring_view> arguments) {
  std::wstring out;
  auto next = arguments.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const bool field = pattern[i] == L'%' && i + 1 < pattern.size() &&
                       ((pattern[i + 1] >= L'a' && pattern[i + 1] <= L'z') ||
                        (pattern[i + 1] >= L'A' && pattern[i + 1] <= L'Z'));
    if (field && next != arguments.end()) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::wstring ApplicationErrorText(std::wstring_view typeName, std::wstring_view moduleName,
                                  unsigned long long codeOffset, std::wstring_view message) {
  wchar_t address[24];
  std::swprintf(address, sizeof(address) / sizeof(address[0]), L"%08llX", codeOffset);
  const bool hasFullStop = !message.empty() && message.back() == L'.';
  return FormatFields(texts::kApplicationErrorFormat,
                      {typeName, moduleName, address, message, hasFullStop ? L"" : L"."});
}

std::wstring AssertionText(const std::wstring& source, int line) {
  return L"Assertion failure (" + source + L", line " + std::to_wstring(line) + L")";
}

std::wstring TrimSystemMessage(std::wstring message) {
  while (!message.empty() && (message.back() <= L' ' || message.back() == L'.')) message.pop_back();
  return message;
}
