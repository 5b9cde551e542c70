// The checks of the signed manifest and of the downloaded file, through the system's CryptoAPI,
// with manifests signed by the build tree's test keys.

#include "common/unique_handle.h"
#include "driver.h"
#include "manifest_signer.h"
#include "update/update_crypto.h"
#include "version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using fakes::SigningKey;

namespace {

const std::string kEntries = fakes::InstallerEntries("1.0.0.3", "MZ installer");

std::string Altered(std::string bytes, std::size_t at) {
  bytes[at] ^= 0x01;
  return bytes;
}

}  // namespace

TEST(VerifiedUpdate, TakesOnlyAManifestSignedByTheBuiltInKeyAndNamingTheInstaller) {
  const std::string valid = fakes::Signed(kEntries);
  const std::vector<std::uint8_t> signatureBytes = fakes::Signature(kEntries);
  const std::string signature = "signature=" + EncodeBase64(signatureBytes) + "\r\n";
  const struct {
    const char* what;
    std::string body;
    bool taken;
  } cases[] = {
      {"signed", valid, true},
      {"without its final line break", valid.substr(0, valid.size() - 2), true},
      {"unsigned", kEntries, false},
      {"another key's", fakes::Signed(kEntries, SigningKey::kOther), false},
      {"a byte of the entries changed", Altered(valid, 15), false},
      {"a line end changed", kEntries.substr(0, kEntries.size() - 2) + "\n" + signature, false},
      {"a byte of the signature changed", Altered(valid, kEntries.size() + 12), false},
      {"the signature cut short",
       kEntries + "signature=" + EncodeBase64({signatureBytes.begin() + 3, signatureBytes.end()}) + "\r\n", false},
      {"malformed base64", kEntries + signature.substr(0, 10) + signature.substr(11), false},
      {"a line after the signature", valid + "Other=1\r\n", false},
      {"an empty line after the signature", valid + "\r\n", false},
      {"signed but without the size", fakes::Signed("LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.sha256=" +
                                                    fakes::Sha256Hex("MZ") + "\r\n"),
       false},
      {"signed but without the hash", fakes::Signed("LAGVANE.exe=1.0.0.3\r\nlagvanesetup.exe.size=2\r\n"), false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    const std::optional<SignedUpdate> update = VerifiedUpdate(c.body);
    EXPECT_EQ(update.has_value(), c.taken) << c.what;
    if (!update) continue;
    EXPECT_EQ(update->version, L"1.0.0.3");
    EXPECT_EQ(update->installerSize, 12u);
    const std::string hash = fakes::Sha256Hex("MZ installer");
    EXPECT_EQ(ParseSha256(std::wstring(hash.begin(), hash.end())), update->installerSha256);
  }
}

TEST(VerifyRsaSha256, NeedsTheKeyThatSignedAndRefusesAKeyItCannotRead) {
  const std::vector<std::uint8_t> signature = fakes::Signature("data");
  EXPECT_TRUE(VerifyRsaSha256(BuiltInUpdateKey(), "data", signature));
  EXPECT_FALSE(VerifyRsaSha256(BuiltInUpdateKey(), "Data", signature));
  EXPECT_FALSE(VerifyRsaSha256(BuiltInUpdateKey(), "data", {}));
  for (const char* key : {"", "-----BEGIN PUBLIC KEY-----\nAAEC\n-----END PUBLIC KEY-----\n", "not a key"}) {
    EXPECT_FALSE(VerifyRsaSha256(key, "data", signature)) << key;
  }
}

TEST(Sha256OfFile, HashesTheWholeFileFromItsStart) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "lagvane-hash-test.bin";
  std::string content(200000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 % 251);
  for (const std::string& bytes : {std::string(), std::string("abc"), content}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    DWORD read = 0;
    char first;
    ReadFile(file.get(), &first, 1, &read, nullptr);  // moved on: the hash still starts at the start
    const Sha256Digest digest = Sha256OfFile(file.get());
    const std::string hex = fakes::Sha256Hex(bytes);
    EXPECT_EQ(ParseSha256(std::wstring(hex.begin(), hex.end())), digest) << bytes.size();
  }
  EXPECT_EQ(fakes::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::filesystem::remove(path);
}

// The manifest the build wrote with the signing tool (openssl, as scripts/release signs) is taken
// by the program's own check, and names the installer beside it.
TEST(VerifiedUpdate, TakesTheBuildsManifestSignedByTheSigningTool) {
  const auto bytesOf = [](const std::wstring& name) {
    std::ifstream in(std::filesystem::path(driver::BinDir() + L"\\" + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string manifest = bytesOf(L"version.dat");
  const std::string installer = bytesOf(L"lagvanesetup.exe");
  ASSERT_FALSE(installer.empty());
  const std::optional<SignedUpdate> update = VerifiedUpdate(manifest);
  ASSERT_TRUE(update.has_value()) << manifest;
  EXPECT_EQ(update->version, L"" LAGVANE_VERSION_TEXT);
  EXPECT_EQ(update->installerSize, installer.size());
  const std::string hash = fakes::Sha256Hex(installer);
  EXPECT_EQ(ParseSha256(std::wstring(hash.begin(), hash.end())), update->installerSha256);
  EXPECT_EQ(manifest.rfind("LAGVANE.exe=" LAGVANE_VERSION_TEXT "\r\nlagvanesetup.exe.size=", 0), 0u);
}
