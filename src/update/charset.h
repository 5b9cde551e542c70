#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A Content-Type value taken apart: type and subtype in lower case, and the charset parameter,
// unquoted and in lower case, when there is one.
struct MediaType {
  std::string type;
  std::string subtype;
  std::optional<std::string> charset;
};
std::optional<MediaType> ParseMediaType(std::string_view contentType);

// The character set by which a text body is read, from its Content-Type and, for XML types and
// HTML, from the body itself. Empty when the answer names none.
std::string TextCharset(std::optional<std::string_view> contentType, std::string_view body);

// The Windows code page that a character set name stands for, when it is one we know.
std::optional<std::uint32_t> CodePageOfCharset(std::string_view charset);

// Turns bytes in a code page into UTF-16 text; empty when the platform cannot.
using CodePageDecoder = std::function<std::optional<std::wstring>(std::uint32_t codePage, std::string_view bytes)>;

// The body's bytes as UTF-16 text: US-ASCII, UTF-8 and UTF-16 here, any other known character set
// through the platform's code pages, and byte for byte (ISO-8859-1) when the set is unknown, not
// given, or the platform cannot read it. A byte-order mark of the set read is not part of the text.
std::wstring DecodeText(std::string_view bytes, std::string_view charset, const CodePageDecoder& codePages);
