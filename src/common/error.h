#pragma once

#include <exception>
#include <string>

// An error as it travels through the program: a message for the user and the name of its
// type (the last-chance box names it). Never thrown across a window procedure.
class Exception : public std::exception {
public:
  explicit Exception(std::wstring message, const wchar_t* typeName = L"Exception")
      : message_(std::move(message)), typeName_(typeName) {}

  const std::wstring& Message() const noexcept { return message_; }
  const wchar_t* TypeName() const noexcept { return typeName_; }
  const char* what() const noexcept override { return "LAGVANE error"; }

private:
  std::wstring message_;
  const wchar_t* typeName_;
};

// The error box's text: the message, with a full stop added when its last character sorts above
// '.' (so "x)" or "값" gain one, while "x." or "x!" stay as they are).
std::wstring ErrorBoxText(const std::wstring& message);

// Replaces every "%s" in a message pattern with the argument.
std::wstring FormatText(const std::wstring& pattern, const std::wstring& argument);

// The text of a failed assertion: "Assertion failure (source, line N)".
std::wstring AssertionText(const std::wstring& source, int line);

// A system message as the user sees it: without the trailing line breaks, blanks, control
// characters and full stops that the system's message table puts at its end.
std::wstring TrimSystemMessage(std::wstring message);
