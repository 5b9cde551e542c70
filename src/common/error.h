#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

// An error as it travels through the program: a message for the user, the name of its type and
// the code address that raised it (the last-chance box names both). Never thrown across a
// window procedure.
class Exception : public std::exception {
public:
  // Out of line, so that it can note its caller: the address of the code that raises the error.
  explicit Exception(std::wstring message, const wchar_t* typeName = L"Exception");

  const std::wstring& Message() const noexcept { return message_; }
  const wchar_t* TypeName() const noexcept { return typeName_; }
  const void* Address() const noexcept { return address_; }
  const char* what() const noexcept override { return "LAGVANE error"; }

private:
  std::wstring message_;
  const wchar_t* typeName_;
  const void* address_;
};

// The error box's text: the message, with a full stop added when its last character sorts above
// '.' (so "x)" or "값" gain one, while "x." or "x!" stay as they are).
std::wstring ErrorBoxText(const std::wstring& message);

// Replaces every "%s" in a message pattern with the argument.
std::wstring FormatText(const std::wstring& pattern, const std::wstring& argument);

// Replaces the fields of a pattern ("%s", "%d", "%p": a '%' and a letter) in order with the
// arguments, which the caller has already written out. Fields beyond the arguments stay as they are.
std::wstring FormatFields(std::wstring_view pattern, std::initializer_list<std::wstring_view> arguments);

// The last-chance box's text for an error that escaped before the message loop: its type, the
// program's file name, the raising code's offset in the program, and the message, which gains a
// full stop when it has none.
std::wstring ApplicationErrorText(std::wstring_view typeName, std::wstring_view moduleName,
                                  unsigned long long codeOffset, std::wstring_view message);

// A number written out in decimal, and in upper-case hexadecimal with at least `digits` digits.
// Used in place of the wide printf family, whose formatter weighs more than all the program's
// own text handling.
std::wstring DecimalText(long long value);
std::wstring HexText(unsigned long long value, int digits);

// The text of a failed assertion: "Assertion failure (source, line N)".
std::wstring AssertionText(const std::wstring& source, int line);

// A system message as the user sees it: without the trailing line breaks, blanks, control
// characters and full stops that the system's message table puts at its end.
std::wstring TrimSystemMessage(std::wstring message);
