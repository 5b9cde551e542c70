// A manifest body as received: split at its signature line, and its signed part read for the
// installer's entries.

#include "update/signed_manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Base64(const std::vector<std::uint8_t>& bytes) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  // Only the one canonical spelling of some bytes is base64.
  if (const auto decoded = DecodeBase64(body); decoded && Base64(*decoded) != body) std::abort();
  if (const std::optional<ManifestSignature> split = SplitManifestSignature(body)) {
    // The signed part is the body's start, and what follows it is exactly the signature line.
    if (split->signedBytes.data() != body.data()) std::abort();
    const std::string line = "signature=" + Base64(split->signature);
    const std::string_view rest = body.substr(split->signedBytes.size());
    if (rest != line && rest != line + "\r\n") std::abort();
    ReadSignedEntries(split->signedBytes);
  }
  ReadSignedEntries(body);
  return 0;
}
