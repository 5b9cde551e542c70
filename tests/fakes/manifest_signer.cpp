#include "manifest_signer.h"

#include "common/unique_handle.h"
#include "update/crypto_handles.h"
#include "update/signed_manifest.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#ifndef LAGVANE_TEST_KEY_DIR
#error "LAGVANE_TEST_KEY_DIR names the build tree's test key pairs; the build sets it"
#endif

namespace fakes {

namespace {

std::runtime_error Failure(const char* what) {
  return std::runtime_error(std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")");
}

UniqueProvider Provider() {
  UniqueProvider provider;
  if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    throw Failure("CryptAcquireContext");
  }
  return provider;
}

UniqueHash Sha256(const UniqueProvider& provider, std::string_view bytes) {
  UniqueHash hash;
  if (!CryptCreateHash(provider.get(), kSha256, 0, 0, hash.put())) throw Failure("CryptCreateHash");
  if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0)) {
    throw Failure("CryptHashData");
  }
  return hash;
}

// The private key as CryptoAPI's PRIVATEKEYBLOB, which the build wrote beside the PEM files.
std::string KeyBlob(SigningKey key) {
  const std::string path =
      std::string(LAGVANE_TEST_KEY_DIR) + (key == SigningKey::kBuiltIn ? "/private.blob" : "/other-private.blob");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("no test key at " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  const UniqueProvider provider = Provider();
  const UniqueHash hash = Sha256(provider, bytes);
  BYTE digest[32];
  DWORD size = sizeof(digest);
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0)) throw Failure("CryptGetHashParam");
  std::string hex;
  for (BYTE b : digest) {
    hex += "0123456789abcdef"[b >> 4];
    hex += "0123456789abcdef"[b & 15];
  }
  return hex;
}

std::vector<std::uint8_t> Signature(std::string_view bytes, SigningKey key) {
  const UniqueProvider provider = Provider();
  const std::string blob = KeyBlob(key);
  UniqueKey imported;
  if (!CryptImportKey(provider.get(), reinterpret_cast<const BYTE*>(blob.data()), static_cast<DWORD>(blob.size()), 0, 0,
                      imported.put())) {
    throw Failure("CryptImportKey");
  }
  const UniqueHash hash = Sha256(provider, bytes);
  DWORD size = 0;
  if (!CryptSignHashW(hash.get(), AT_KEYEXCHANGE, nullptr, 0, nullptr, &size)) throw Failure("CryptSignHash");
  std::vector<std::uint8_t> signature(size);
  if (!CryptSignHashW(hash.get(), AT_KEYEXCHANGE, nullptr, 0, signature.data(), &size)) throw Failure("CryptSignHash");
  signature.resize(size);
  // CryptoAPI writes the number little-endian; PKCS#1 big-endian.
  return std::vector<std::uint8_t>(signature.rbegin(), signature.rend());
}

std::string InstallerEntries(const std::string& version, std::string_view installer) {
  return "LAGVANE.exe=" + version + "\r\nlagvanesetup.exe.size=" + std::to_string(installer.size()) +
         "\r\nlagvanesetup.exe.sha256=" + Sha256Hex(installer) + "\r\n";
}

std::string Signed(const std::string& bytes, SigningKey key) {
  return bytes + "signature=" + EncodeBase64(Signature(bytes, key)) + "\r\n";
}

std::string SignedManifest(const std::string& version, std::string_view installer) {
  return Signed(InstallerEntries(version, installer));
}

}  // namespace fakes
