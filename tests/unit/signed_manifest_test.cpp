#include "update/signed_manifest.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(DecodeBase64, TakesOnlyTheStandardAlphabetWithItsPadding) {
  const struct {
    std::string_view text;
    std::optional<Bytes> bytes;
  } cases[] = {
      {"AAEC", Bytes{0, 1, 2}},
      {"/+/+", Bytes{0xFF, 0xEF, 0xFE}},
      {"AA==", Bytes{0}},
      {"AAE=", Bytes{0, 1}},
      {"TWFu", Bytes{'M', 'a', 'n'}},
      {"TWFuTQ==", Bytes{'M', 'a', 'n', 'M'}},
      {"", std::nullopt},
      {"AA", std::nullopt},             // padding left out
      {"AAE", std::nullopt},
      {"AAECA", std::nullopt},
      {"A===", std::nullopt},
      {"====", std::nullopt},
      {"AA=A", std::nullopt},           // padding inside
      {"AA==AAAA", std::nullopt},
      {"AB==", std::nullopt},           // bits left over after the padding's place
      {"AAF=", std::nullopt},
      {"-_-_", std::nullopt},           // the URL alphabet
      {"AA EC", std::nullopt},
      {"AAEC\r\n", std::nullopt},
      {"AA\r\nEC", std::nullopt},
      {"AAE\0", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeBase64(c.text), c.bytes) << testing::PrintToString(std::string(c.text));
  }
}

TEST(SplitManifestSignature, TakesTheLastLineAndSignsEveryByteBeforeIt) {
  const struct {
    std::string_view body;
    std::optional<std::string_view> signedBytes;
  } cases[] = {
      {"LAGVANE.exe=1.0.0.3\r\nsignature=AAEC\r\n", "LAGVANE.exe=1.0.0.3\r\n"},
      {"LAGVANE.exe=1.0.0.3\r\nsignature=AAEC", "LAGVANE.exe=1.0.0.3\r\n"},
      {"a=1\nb=2\rsignature=AAEC", "a=1\nb=2\r"},
      {"signature=AAEC", ""},
      {"a=1\r\nsignature=AAEC\r\nsignature=AAEC\r\n", "a=1\r\nsignature=AAEC\r\n"},
      {"a = 1 \r\n\r\n\r\nsignature=AAEC\r\n", "a = 1 \r\n\r\n\r\n"},
      // Nothing but one final CR LF may follow the signature.
      {"a=1\r\nsignature=AAEC\r\n\r\n", std::nullopt},
      {"a=1\r\nsignature=AAEC\n", std::nullopt},
      {"a=1\r\nsignature=AAEC\r", std::nullopt},
      {"a=1\r\nsignature=AAEC \r\n", std::nullopt},
      {"a=1\r\nsignature=AAEC\r\nb=2\r\n", std::nullopt},
      {"signature=AAEC\r\na=1\r\n", std::nullopt},
      // The line must be the signature and nothing else.
      {"a=1\r\n signature=AAEC", std::nullopt},
      {"a=1\r\nSignature=AAEC", std::nullopt},
      {"a=1\r\nsignature =AAEC", std::nullopt},
      {"a=1\r\nxsignature=AAEC", std::nullopt},
      {"a=1signature=AAEC", std::nullopt},
      {"a=1\r\nsignature=", std::nullopt},
      {"a=1\r\nsignature=AAE", std::nullopt},
      {"a=1\r\nsignature=AA EC", std::nullopt},
      {"a=1\r\n", std::nullopt},
      {"", std::nullopt},
      {"\r\n", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<ManifestSignature> split = SplitManifestSignature(c.body);
    ASSERT_EQ(split.has_value(), c.signedBytes.has_value()) << testing::PrintToString(std::string(c.body));
    if (!split) continue;
    EXPECT_EQ(split->signedBytes, *c.signedBytes) << testing::PrintToString(std::string(c.body));
    EXPECT_EQ(split->signedBytes.data(), c.body.data()) << "a view of the body as received";
    EXPECT_EQ(split->signature, (Bytes{0, 1, 2}));
  }
}

TEST(ParseDecimalSize, TakesDigitsOnlyWithin64Bits) {
  const struct {
    std::wstring_view text;
    std::optional<std::uint64_t> size;
  } cases[] = {
      {L"424309", 424309},
      {L"0", 0},
      {L"007", 7},
      {L"18446744073709551615", UINT64_MAX},
      {L"18446744073709551616", std::nullopt},
      {L"99999999999999999999", std::nullopt},
      {L"000000000000000000001", std::nullopt},
      {L"", std::nullopt},
      {L"+1", std::nullopt},
      {L"-1", std::nullopt},
      {L" 1", std::nullopt},
      {L"1 ", std::nullopt},
      {L"0x10", std::nullopt},
      {L"1e3", std::nullopt},
      {L"\uFF11", std::nullopt},  // a full-width digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDecimalSize(c.text), c.size) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(ParseSha256, TakesSixtyFourLowerCaseHexDigits) {
  const std::wstring valid = L"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  Sha256Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(ParseSha256(valid), digest);
  Sha256Digest ones;
  ones.fill(0xFF);
  EXPECT_EQ(ParseSha256(std::wstring(64, L'f')), ones);
  for (const std::wstring& wrong : {valid.substr(0, 63), valid + L"0", std::wstring(L"00010203040506070809" L"0A") + valid.substr(22),
                                    L"g" + valid.substr(1), L" " + valid.substr(1), std::wstring()}) {
    EXPECT_EQ(ParseSha256(wrong), std::nullopt) << testing::PrintToString(wrong);
  }
}

TEST(ReadSignedEntries, NeedsTheInstallersSizeAndHashAndTakesTheProgramsVersion) {
  const std::string hash = "lagvanesetup.exe.sha256=" + std::string(64, 'a') + "\r\n";
  const struct {
    std::string signedBytes;
    std::optional<std::wstring> version;  // empty: refused
  } cases[] = {
      {"LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size=424309\r\n" + hash, L"1.0.0.3"},
      {"lagvanesetup.exe.size=1\r\n" + hash + "Other=2\r\nLAGVANE.exe=2.0\r\n", L"2.0"},
      {"lagvanesetup.exe.size=1\r\n" + hash, L""},
      {"LAGVANE.exe=1.0.0.3\r\n" + hash, std::nullopt},
      {"LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size=424309\r\n", std::nullopt},
      {"LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size=42 4309\r\n" + hash, std::nullopt},
      {"LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size=424309\r\nlagvanesetup.exe.sha256=" + std::string(64, 'A') + "\r\n",
       std::nullopt},
      {"LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size =424309\r\n" + hash, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<SignedUpdate> update = ReadSignedEntries(c.signedBytes);
    ASSERT_EQ(update.has_value(), c.version.has_value()) << testing::PrintToString(c.signedBytes);
    if (!update) continue;
    EXPECT_EQ(update->version, *c.version);
    EXPECT_EQ(update->installerSha256[31], 0xAA);
  }
  EXPECT_EQ(ReadSignedEntries("lagvanesetup.exe.size=424309\r\n" + hash)->installerSize, 424309u);
}
