#include "common/error.h"

#include "common/texts.h"

#include <charconv>

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
  const std::wstring address = HexText(codeOffset, 8);
  const bool hasFullStop = !message.empty() && message.back() == L'.';
  return FormatFields(texts::kApplicationErrorFormat,
                      {typeName, moduleName, address, message, hasFullStop ? L"" : L"."});
}

namespace {

std::wstring NumberText(unsigned long long value, bool negative, int base, int digits) {
  char text[24];
  const char* const end = std::to_chars(text, text + sizeof text, value, base).ptr;
  std::wstring out(negative ? 1 : 0, L'-');
  for (int pad = digits - static_cast<int>(end - text); pad > 0; --pad) out += L'0';
  for (const char* c = text; c != end; ++c) out += static_cast<wchar_t>(*c >= 'a' ? *c - 'a' + 'A' : *c);
  return out;
}

}  // namespace

std::wstring DecimalText(long long value) {
  // The magnitude in unsigned arithmetic, so the most negative value has one too.
  const auto magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  return NumberText(magnitude, value < 0, 10, 1);
}

std::wstring HexText(unsigned long long value, int digits) { return NumberText(value, false, 16, digits); }

std::wstring AssertionText(const std::wstring& source, int line) {
  return L"Assertion failure (" + source + L", line " + DecimalText(line) + L")";
}

std::wstring TrimSystemMessage(std::wstring message) {
  while (!message.empty() && (message.back() <= L' ' || message.back() == L'.')) message.pop_back();
  return message;
}
