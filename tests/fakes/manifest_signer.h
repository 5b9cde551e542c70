#pragma once

// Signs manifests as the maker does, with the private halves of the build tree's throw-away key
// pairs: the one the program under test was built to trust, and another it does not know.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fakes {

enum class SigningKey { kBuiltIn, kOther };

std::string Sha256Hex(std::string_view bytes);
// The RSA PKCS#1 v1.5 SHA-256 signature of the bytes, as it is written in the manifest.
std::vector<std::uint8_t> Signature(std::string_view bytes, SigningKey key = SigningKey::kBuiltIn);

// The entries the maker publishes for an installer: the program's version, its size and hash.
std::string InstallerEntries(const std::string& version, std::string_view installer);
// The bytes followed by their signature line.
std::string Signed(const std::string& bytes, SigningKey key = SigningKey::kBuiltIn);
// A signed manifest announcing this installer.
std::string SignedManifest(const std::string& version, std::string_view installer);

}  // namespace fakes
