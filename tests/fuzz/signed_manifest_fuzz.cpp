// A manifest body as received: split at its signature line, and its signed part read for the
// installer's entries.

#include "update/signed_manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  // Only the one canonical spelling of some bytes is base64.
  if (const auto decoded = DecodeBase64(body); decoded && EncodeBase64(*decoded) != body) std::abort();
  if (const std::optional<ManifestSignature> split = SplitManifestSignature(body)) {
    // The signed part is the body's start, and what follows it is exactly the signature line.
    if (split->signedBytes.data() != body.data()) std::abort();
    const std::string line = "signature=" + EncodeBase64(split->signature);
    const std::string_view rest = body.substr(split->signedBytes.size());
    if (rest != line && rest != line + "\r\n") std::abort();
    ReadSignedEntries(split->signedBytes);
  }
  ReadSignedEntries(body);
  return 0;
}
