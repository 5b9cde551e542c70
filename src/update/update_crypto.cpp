#include "update/update_crypto.h"

#include "common/error.h"
#include "common/system_error.h"
#include "common/unique_handle.h"
#include "update/crypto_handles.h"
#include "update_key.h"

#include <algorithm>
#include <memory>

namespace {

struct LocalFreer {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};

// A provider of RSA and SHA-256 that keeps no key container.
UniqueProvider AcquireProvider() {
  UniqueProvider provider;
  if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    throw Exception(SystemMessage(GetLastError()));
  }
  return provider;
}

UniqueHash NewSha256(const UniqueProvider& provider) {
  UniqueHash hash;
  if (!CryptCreateHash(provider.get(), kSha256, 0, 0, hash.put())) throw Exception(SystemMessage(GetLastError()));
  return hash;
}

void HashBytes(const UniqueHash& hash, const void* data, std::size_t size) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  do {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
    if (!CryptHashData(hash.get(), bytes, piece, 0)) throw Exception(SystemMessage(GetLastError()));
    bytes += piece;
    size -= piece;
  } while (size > 0);
}

UniqueKey ImportPublicKey(const UniqueProvider& provider, std::string_view pem) {
  DWORD size = 0;
  if (pem.size() > MAXDWORD ||
      !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                            nullptr, nullptr)) {
    return {};
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                            nullptr, nullptr)) {
    return {};
  }
  CERT_PUBLIC_KEY_INFO* decoded = nullptr;
  DWORD decodedSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), size, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           &decoded, &decodedSize)) {
    return {};
  }
  const std::unique_ptr<CERT_PUBLIC_KEY_INFO, LocalFreer> info(decoded);
  UniqueKey key;
  if (!CryptImportPublicKeyInfo(provider.get(), X509_ASN_ENCODING, info.get(), key.put())) return {};
  return key;
}

}  // namespace

bool VerifyRsaSha256(std::string_view publicKeyPem, std::string_view data, const std::vector<std::uint8_t>& signature) {
  try {
    const UniqueProvider provider = AcquireProvider();
    const UniqueKey key = ImportPublicKey(provider, publicKeyPem);
    if (!key || signature.empty() || signature.size() > MAXDWORD) return false;
    const UniqueHash hash = NewSha256(provider);
    HashBytes(hash, data.data(), data.size());
    // CryptoAPI reads the signature as a little-endian number; PKCS#1 writes it big-endian.
    std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
    return CryptVerifySignatureW(hash.get(), reversed.data(), static_cast<DWORD>(reversed.size()), key.get(), nullptr,
                                 0) != FALSE;
  } catch (const Exception&) {
    return false;
  }
}

std::string_view BuiltInUpdateKey() { return kUpdatePublicKeyPem; }

std::optional<SignedUpdate> VerifiedUpdate(std::string_view manifestBody) {
  const std::optional<ManifestSignature> split = SplitManifestSignature(manifestBody);
  if (!split || !VerifyRsaSha256(BuiltInUpdateKey(), split->signedBytes, split->signature)) return std::nullopt;
  return ReadSignedEntries(split->signedBytes);
}

Sha256Digest Sha256OfFile(HANDLE file) {
  const UniqueProvider provider = AcquireProvider();
  const UniqueHash hash = NewSha256(provider);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) throw Exception(SystemMessage(GetLastError()));
  std::vector<BYTE> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      throw Exception(SystemMessage(GetLastError()));
    }
    if (read == 0) break;
    HashBytes(hash, buffer.data(), read);
  }
  Sha256Digest digest{};
  DWORD size = static_cast<DWORD>(digest.size());
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) || size != digest.size()) {
    throw Exception(SystemMessage(GetLastError()));
  }
  return digest;
}
