#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The maker signs version.dat: after the program's own entry it carries the installer's size and
// SHA-256, and as its last line "signature=" with an RSA PKCS#1 v1.5 SHA-256 signature, in
// standard base64 with padding, over every byte before that line exactly as sent.

inline constexpr char kSignatureEntry[] = "signature=";
inline constexpr wchar_t kInstallerSizeEntry[] = L"lagvanesetup.exe.size";
inline constexpr wchar_t kInstallerHashEntry[] = L"lagvanesetup.exe.sha256";

using Sha256Digest = std::array<std::uint8_t, 32>;

struct ManifestSignature {
  // Every byte of the body before the signature line: what the signature covers.
  std::string_view signedBytes;
  std::vector<std::uint8_t> signature;
};

// The signature line of a manifest body as received: it must be the last line, begin at the
// start of a line, hold valid base64 and be followed by nothing but an optional final CR LF.
std::optional<ManifestSignature> SplitManifestSignature(std::string_view body);

// Standard base64 (A-Z a-z 0-9 + /) with its padding, nothing else: no blanks, no line breaks,
// no bits left over in the last character. Empty for anything else.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);
// The same form written: what a signer puts on the signature line.
std::string EncodeBase64(const std::vector<std::uint8_t>& bytes);

// A size written in decimal digits only, within 64 bits.
std::optional<std::uint64_t> ParseDecimalSize(std::wstring_view text);
// Exactly 64 lower-case hexadecimal digits.
std::optional<Sha256Digest> ParseSha256(std::wstring_view text);

struct SignedUpdate {
  std::wstring version;  // the program's entry, empty when there is none
  std::uint64_t installerSize;
  Sha256Digest installerSha256;
};

// The entries of the signed part of a manifest (taken byte for byte, as the maker writes ASCII).
// Empty when the installer's size or hash is missing or malformed.
std::optional<SignedUpdate> ReadSignedEntries(std::string_view signedBytes);
