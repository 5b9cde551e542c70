#include "update/charset.h"

#include "update/http_answer.h"

#include <array>
#include <initializer_list>
#include <utility>

namespace {

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Unquote(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && ((text.front() == '"' && text.back() == '"') || (text.front() == '\'' && text.back() == '\''))) {
    text = text.substr(1, text.size() - 2);
  }
  return Trim(text);
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names) {
    if (name == n) return true;
  }
  return false;
}

// The XML rule: a byte-order mark, else the declaration's encoding, else UTF-8.
std::string XmlCharset(std::string_view body) {
  if (StartsWith(body, "\xEF\xBB\xBF")) return "utf-8";
  if (StartsWith(body, "\xFF\xFE")) return "utf-16le";
  if (StartsWith(body, "\xFE\xFF")) return "utf-16be";
  if (StartsWith(body, std::string_view("<\0?\0", 4))) return "utf-16le";
  if (StartsWith(body, std::string_view("\0<\0?", 4))) return "utf-16be";
  if (StartsWith(body, "<?xml")) {
    const std::string_view declaration = body.substr(0, body.find("?>"));
    const std::size_t key = declaration.find("encoding");
    if (key != std::string_view::npos) {
      std::string_view rest = Trim(declaration.substr(key + 8));
      if (!rest.empty() && rest.front() == '=') {
        rest = Trim(rest.substr(1));
        if (!rest.empty() && (rest.front() == '"' || rest.front() == '\'')) {
          const std::size_t close = rest.find(rest.front(), 1);
          if (close != std::string_view::npos) return Lower(Trim(rest.substr(1, close - 1)));
        }
      }
    }
  }
  return "utf-8";
}

// The charset that an HTML body names in a meta element with http-equiv="Content-Type".
std::optional<std::string> MetaCharset(std::string_view body) {
  std::size_t pos = 0;
  while ((pos = body.find('<', pos)) != std::string_view::npos) {
    ++pos;
    if (body.size() - pos < 5 || !EqualsIgnoringAsciiCase(body.substr(pos, 4), "meta") ||
        !(IsSpace(body[pos + 4]) || body[pos + 4] == '/')) {
      continue;
    }
    pos += 4;
    std::optional<std::string> httpEquiv;
    std::optional<std::string> content;
    // Attributes up to the element's end: name, and "=" with a quoted or bare value.
    while (pos < body.size() && body[pos] != '>') {
      if (IsSpace(body[pos]) || body[pos] == '/') {
        ++pos;
        continue;
      }
      const std::size_t nameStart = pos;
      while (pos < body.size() && !IsSpace(body[pos]) && body[pos] != '=' && body[pos] != '>' && body[pos] != '/') {
        ++pos;
      }
      const std::string name = Lower(body.substr(nameStart, pos - nameStart));
      while (pos < body.size() && IsSpace(body[pos])) ++pos;
      std::string_view value;
      if (pos < body.size() && body[pos] == '=') {
        ++pos;
        while (pos < body.size() && IsSpace(body[pos])) ++pos;
        if (pos < body.size() && (body[pos] == '"' || body[pos] == '\'')) {
          const std::size_t close = body.find(body[pos], pos + 1);
          const std::size_t end = close == std::string_view::npos ? body.size() : close;
          value = body.substr(pos + 1, end - pos - 1);
          pos = end == body.size() ? end : end + 1;
        } else {
          const std::size_t start = pos;
          while (pos < body.size() && !IsSpace(body[pos]) && body[pos] != '>') ++pos;
          value = body.substr(start, pos - start);
        }
      }
      if (name == "http-equiv") httpEquiv = std::string(value);
      if (name == "content") content = std::string(value);
    }
    if (pos >= body.size()) break;  // an element that never closes names nothing
    if (httpEquiv && content && EqualsIgnoringAsciiCase(Trim(*httpEquiv), "content-type")) {
      if (const std::optional<MediaType> type = ParseMediaType(*content); type && type->charset) {
        return type->charset;
      }
    }
  }
  return std::nullopt;
}

void AppendUtf16(std::wstring& out, std::uint32_t codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<wchar_t>(codePoint);
  }
}

std::wstring DecodeLatin1(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring DecodeAscii(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?';
  return out;
}

// Each ill-formed sequence (stray or missing continuation bytes, overlong forms, surrogates,
// values past U+10FFFF) becomes one U+FFFD.
std::wstring DecodeUtf8(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::wstring out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    int length = 0;
    std::uint32_t codePoint = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    }
    int taken = 1;
    while (length && taken < length && i + taken < bytes.size() &&
           (static_cast<unsigned char>(bytes[i + taken]) & 0xC0) == 0x80) {
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
      ++taken;
    }
    if (length && taken == length && codePoint >= minimum && codePoint <= 0x10FFFF &&
        !(codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      AppendUtf16(out, codePoint);
    } else {
      out += L'\xFFFD';
    }
    i += static_cast<std::size_t>(taken);
  }
  return out;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring out;
  out.reserve(bytes.size() / 2 + 1);
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    out += static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  if (i < bytes.size()) out += L'\xFFFD';
  return out;
}

struct NamedCodePage {
  std::string_view name;
  std::uint32_t codePage;
};

// The names under which the character sets with Windows code pages are announced on the web.
constexpr std::array kCodePages = {
    NamedCodePage{"euc-kr", 949},        NamedCodePage{"ks_c_5601-1987", 949},
    NamedCodePage{"ks_c_5601", 949},     NamedCodePage{"korean", 949},
    NamedCodePage{"csksc56011987", 949}, NamedCodePage{"uhc", 949},
    NamedCodePage{"shift_jis", 932},     NamedCodePage{"shift-jis", 932},
    NamedCodePage{"sjis", 932},          NamedCodePage{"x-sjis", 932},
    NamedCodePage{"euc-jp", 20932},      NamedCodePage{"gb2312", 936},
    NamedCodePage{"gbk", 936},           NamedCodePage{"euc-cn", 936},
    NamedCodePage{"gb18030", 54936},     NamedCodePage{"big5", 950},
    NamedCodePage{"koi8-r", 20866},      NamedCodePage{"koi8-u", 21866},
    NamedCodePage{"tis-620", 874},       NamedCodePage{"macintosh", 10000},
    NamedCodePage{"iso-8859-2", 28592},  NamedCodePage{"iso-8859-3", 28593},
    NamedCodePage{"iso-8859-4", 28594},  NamedCodePage{"iso-8859-5", 28595},
    NamedCodePage{"iso-8859-6", 28596},  NamedCodePage{"iso-8859-7", 28597},
    NamedCodePage{"iso-8859-8", 28598},  NamedCodePage{"iso-8859-9", 28599},
    NamedCodePage{"iso-8859-13", 28603}, NamedCodePage{"iso-8859-15", 28605},
};

// "windows-1252", "cp949", "ibm437", "x-cp1250": the code page's number in the name itself.
std::optional<std::uint32_t> NumberedCodePage(std::string_view name) {
  for (std::string_view prefix : {"windows-", "x-cp", "cp", "ibm"}) {
    if (!StartsWith(name, prefix)) continue;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<MediaType> ParseMediaType(std::string_view contentType) {
  std::string_view rest = contentType;
  const std::size_t semicolon = rest.find(';');
  const std::string_view essence = Trim(rest.substr(0, semicolon));
  const std::size_t slash = essence.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  MediaType type{Lower(Trim(essence.substr(0, slash))), Lower(Trim(essence.substr(slash + 1))), std::nullopt};
  if (type.type.empty() || type.subtype.empty()) return std::nullopt;
  rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
  while (!rest.empty()) {
    // A parameter runs to the next ';' outside quotes.
    std::size_t end = 0;
    bool quoted = false;
    while (end < rest.size() && (quoted || rest[end] != ';')) {
      if (rest[end] == '"') quoted = !quoted;
      ++end;
    }
    const std::string_view parameter = rest.substr(0, end);
    rest = end < rest.size() ? rest.substr(end + 1) : std::string_view();
    const std::size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    if (EqualsIgnoringAsciiCase(Trim(parameter.substr(0, equals)), "charset") && !type.charset) {
      const std::string value = Lower(Unquote(parameter.substr(equals + 1)));
      if (!value.empty()) type.charset = value;
    }
  }
  return type;
}

std::string TextCharset(std::optional<std::string_view> contentType, std::string_view body) {
  if (!contentType) return {};
  const std::optional<MediaType> type = ParseMediaType(*contentType);
  if (!type) return {};
  const bool xmlSubtype = type->subtype == "xml" || type->subtype == "xml-external-parsed-entity" ||
                          EndsWith(type->subtype, "+xml");
  if ((type->type == "application" && (xmlSubtype || type->subtype == "xml-dtd")) ||
      (type->type != "text" && EndsWith(type->subtype, "+xml"))) {
    return XmlCharset(body);
  }
  if (type->charset) return *type->charset;
  if (type->type != "text") return {};
  if (type->subtype == "html") {
    if (std::optional<std::string> meta = MetaCharset(body)) return *meta;
  }
  return xmlSubtype ? "us-ascii" : "iso-8859-1";
}

std::optional<std::uint32_t> CodePageOfCharset(std::string_view charset) {
  const std::string name = Lower(Trim(charset));
  for (const NamedCodePage& entry : kCodePages) {
    if (entry.name == name) return entry.codePage;
  }
  return NumberedCodePage(name);
}

std::wstring DecodeText(std::string_view bytes, std::string_view charset, const CodePageDecoder& codePages) {
  const std::string name = Lower(Trim(charset));
  if (IsOneOf(name, {"us-ascii", "ascii", "us", "ansi_x3.4-1968", "iso646-us", "iso-ir-6", "csascii"})) {
    return DecodeAscii(bytes);
  }
  if (IsOneOf(name, {"utf-8", "utf8"})) return DecodeUtf8(bytes);
  if (IsOneOf(name, {"utf-16", "utf-16le", "utf-16be", "unicode", "unicodefffe"})) {
    bool bigEndian = name == "utf-16be" || name == "unicodefffe";
    if (name == "utf-16" && StartsWith(bytes, "\xFE\xFF")) bigEndian = true;
    if (StartsWith(bytes, bigEndian ? "\xFE\xFF" : "\xFF\xFE")) bytes.remove_prefix(2);
    return DecodeUtf16(bytes, bigEndian);
  }
  if (!IsOneOf(name, {"iso-8859-1", "latin1", "l1", "iso_8859-1", "iso-ir-100", "cp819", "ibm819",
                      "csisolatin1", ""})) {
    if (const std::optional<std::uint32_t> codePage = CodePageOfCharset(name); codePage && codePages) {
      if (std::optional<std::wstring> text = codePages(*codePage, bytes)) return std::move(*text);
    }
  }
  return DecodeLatin1(bytes);
}
