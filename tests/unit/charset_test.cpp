#include "update/charset.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TextCharset, FollowsTheContentTypeTheBodyAndTheTextDefaults) {
  const struct {
    std::optional<std::string_view> contentType;
    std::string_view body;
    std::string charset;
  } cases[] = {
      {std::nullopt, "LAGVANE.exe=1.0.0.2", ""},
      {"application/octet-stream", "LAGVANE.exe=1.0.0.2", ""},
      {"not a media type", "", ""},
      {"text/plain; charset=utf-8", "", "utf-8"},
      {"Text/Plain;Charset=\"UTF-8\"", "", "utf-8"},
      {"text/plain; format=flowed; charset=euc-kr; charset=utf-8", "", "euc-kr"},
      {"application/json; charset=utf-8", "", "utf-8"},
      {"text/plain", "", "iso-8859-1"},
      {"text/plain; charset=", "", "iso-8859-1"},
      {"text/xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>", "us-ascii"},
      {"text/xml-external-parsed-entity", "", "us-ascii"},
      {"text/svg+xml", "", "us-ascii"},
      {"text/xml; charset=utf-8", "", "utf-8"},
      // XML types outside "text" read the body, whatever the parameter says.
      {"application/xml; charset=iso-8859-1", "<?xml version=\"1.0\" encoding=\"EUC-KR\"?><a/>", "euc-kr"},
      {"application/xml", "<?xml version='1.0' encoding = 'windows-1252' ?>", "windows-1252"},
      {"application/xml", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"euc-kr\"?>", "utf-8"},
      {"application/xml-dtd", "\xFF\xFE<\0", "utf-16le"},
      {"application/xml-external-parsed-entity", "\xFE\xFF\0<", "utf-16be"},
      {"application/atom+xml", "<feed/>", "utf-8"},
      {"image/svg+xml", std::string_view("<\0?\0x\0", 6), "utf-16le"},
      {"application/xml", "<?xml version=\"1.0\"?><a encoding=\"x\"/>", "utf-8"},
      // HTML may name its set in the body; the header's parameter comes first.
      {"text/html", "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=euc-kr\">", "euc-kr"},
      {"text/html", "<meta content='text/html;charset=UTF-8' http-equiv='content-type'/>", "utf-8"},
      {"text/html", "<meta http-equiv=Content-Type content=text/html;charset=ks_c_5601-1987>", "ks_c_5601-1987"},
      {"text/html; charset=utf-8", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\">", "utf-8"},
      {"text/html", "<meta http-equiv=\"refresh\" content=\"text/html; charset=euc-kr\">", "iso-8859-1"},
      {"text/html", "<metadata http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\">", "iso-8859-1"},
      {"text/html", "<meta charset=\"euc-kr\">", "iso-8859-1"},
      {"text/html", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc", "iso-8859-1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextCharset(c.contentType, c.body), c.charset)
        << (c.contentType ? *c.contentType : "(none)") << " / " << c.body;
  }
}

TEST(DecodeText, ReadsAsciiUtf8AndUtf16HereAndFallsBackToOneCharacterPerByte) {
  const struct {
    std::string_view bytes;
    std::string_view charset;
    std::wstring text;
  } cases[] = {
      {"LAGVANE.exe=1.0.0.2\r\n", "", L"LAGVANE.exe=1.0.0.2\r\n"},
      {"caf\xE9", "", L"caf\u00E9"},
      {"caf\xE9", "iso-8859-1", L"caf\u00E9"},
      {"caf\xE9", "x-no-such-set", L"caf\u00E9"},
      {"caf\xE9", "us-ascii", L"caf?"},
      {"\xEB\x9D\xBC\xEA\xB7\xB8\xEB\xB2\xA0\xEC\x9D\xB8", "utf-8", L"라그베인"},
      {"\xEF\xBB\xBF" "a=1", "UTF-8", L"a=1"},
      {"\xF0\x9F\x98\x80", "utf-8", L"\xD83D\xDE00"},
      {"a\xC3", "utf-8", L"a\xFFFD"},
      {"\xC0\xAF", "utf-8", L"\xFFFD\xFFFD"},
      {"\xED\xA0\x80", "utf-8", L"\xFFFD"},
      {"\xF4\x90\x80\x80", "utf-8", L"\xFFFD"},
      {"\xE2\x82x", "utf-8", L"\xFFFDx"},
      {std::string_view("a\0=\0""1\0", 6), "utf-16le", L"a=1"},
      {std::string_view("\xFF\xFE" "a\0", 4), "utf-16", L"a"},
      {std::string_view("\xFE\xFF\0a", 4), "utf-16", L"a"},
      {std::string_view("\0a\0", 3), "utf-16be", L"a\xFFFD"},
      // A manifest stored as UTF-16 but not declared so is not its text.
      {std::string_view("\xFF\xFE" "a\0", 4), "", std::wstring(L"\u00FF\u00FE" L"a\0", 4)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeText(c.bytes, c.charset, nullptr), c.text) << c.charset << ": " << c.bytes;
  }
}

TEST(DecodeText, HandsOtherKnownSetsToThePlatformsCodePages) {
  std::vector<std::pair<std::uint32_t, std::string>> calls;
  const CodePageDecoder platform = [&](std::uint32_t codePage, std::string_view bytes) -> std::optional<std::wstring> {
    calls.emplace_back(codePage, std::string(bytes));
    if (codePage == 1) return std::nullopt;
    return L"decoded";
  };
  EXPECT_EQ(DecodeText("\xB6\xF3", "EUC-KR", platform), L"decoded");
  EXPECT_EQ(DecodeText("x", "ks_c_5601-1987", platform), L"decoded");
  EXPECT_EQ(DecodeText("x", "windows-1252", platform), L"decoded");
  EXPECT_EQ(DecodeText("x", "cp437", platform), L"decoded");
  // The platform cannot: one character per byte.
  EXPECT_EQ(DecodeText("\xE9", "cp1", platform), L"\u00E9");
  // Sets read here and unknown sets never reach the platform.
  DecodeText("x", "utf-8", platform);
  DecodeText("x", "iso-8859-1", platform);
  DecodeText("x", "no-such-set", platform);
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {949, "\xB6\xF3"}, {949, "x"}, {1252, "x"}, {437, "x"}, {1, "\xE9"}};
  EXPECT_EQ(calls, expected);
}

TEST(CodePageOfCharset, KnowsTheNamesTheWebUses) {
  EXPECT_EQ(CodePageOfCharset("euc-kr"), 949u);
  EXPECT_EQ(CodePageOfCharset(" Shift_JIS "), 932u);
  EXPECT_EQ(CodePageOfCharset("windows-1251"), 1251u);
  EXPECT_EQ(CodePageOfCharset("iso-8859-15"), 28605u);
  EXPECT_EQ(CodePageOfCharset("koi8-r"), 20866u);
  EXPECT_EQ(CodePageOfCharset("windows-"), std::nullopt);
  EXPECT_EQ(CodePageOfCharset("cp123456"), std::nullopt);
  EXPECT_EQ(CodePageOfCharset("klingon"), std::nullopt);
}
