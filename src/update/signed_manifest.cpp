#include "update/signed_manifest.h"

#include "update/manifest.h"

namespace {

int Base64Value(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::wstring Widen(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}

}  // namespace

std::string EncodeBase64(const std::vector<std::uint8_t>& bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const std::uint32_t group = bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
    text += alphabet[group >> 18 & 63];
    text += alphabet[group >> 12 & 63];
    text += left > 1 ? alphabet[group >> 6 & 63] : '=';
    text += left > 2 ? alphabet[group & 63] : '=';
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const int value = Base64Value(text[i]);
    if (value < 0) return std::nullopt;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if (i % 4 == 3) {
      bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
      bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
      bytes.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
    }
  }
  // The last group: its padding stands for the bytes it lacks, and the bits it leaves are zero.
  if (padding == 2) {
    if (bits & 0xF) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
  } else if (padding == 1) {
    if (bits & 0x3) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
    bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
  }
  return bytes;
}

std::optional<ManifestSignature> SplitManifestSignature(std::string_view body) {
  std::string_view rest = body;
  if (rest.size() >= 2 && rest.substr(rest.size() - 2) == "\r\n") rest.remove_suffix(2);
  const std::size_t lineStart = rest.find_last_of("\r\n") + 1;  // npos + 1 is 0: the only line
  const std::string_view line = rest.substr(lineStart);
  if (line.substr(0, sizeof(kSignatureEntry) - 1) != kSignatureEntry) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> signature = DecodeBase64(line.substr(sizeof(kSignatureEntry) - 1));
  if (!signature) return std::nullopt;
  return ManifestSignature{body.substr(0, lineStart), std::move(*signature)};
}

std::optional<std::uint64_t> ParseDecimalSize(std::wstring_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<Sha256Digest> ParseSha256(std::wstring_view text) {
  if (text.size() != 64) return std::nullopt;
  Sha256Digest digest{};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    int value;
    if (c >= L'0' && c <= L'9') {
      value = c - L'0';
    } else if (c >= L'a' && c <= L'f') {
      value = c - L'a' + 10;
    } else {
      return std::nullopt;
    }
    digest[i / 2] = static_cast<std::uint8_t>(digest[i / 2] << 4 | value);
  }
  return digest;
}

std::optional<SignedUpdate> ReadSignedEntries(std::string_view signedBytes) {
  const std::wstring text = Widen(signedBytes);
  const std::optional<std::uint64_t> size =
      ParseDecimalSize(FindManifestValue(text, kInstallerSizeEntry, EqualsIgnoringAsciiCaseW));
  const std::optional<Sha256Digest> hash = ParseSha256(FindManifestValue(text, kInstallerHashEntry, EqualsIgnoringAsciiCaseW));
  if (!size || !hash) return std::nullopt;
  return SignedUpdate{FindManifestValue(text, L"LAGVANE.exe", EqualsIgnoringAsciiCaseW), *size, *hash};
}
