#pragma once

#include "update/signed_manifest.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The checks of what the maker's server sends, through the system's CryptoAPI.

// Whether `signature` is an RSA PKCS#1 v1.5 SHA-256 signature of `data` by the key of a PEM
// "PUBLIC KEY". False for anything malformed, a key the system cannot read included.
bool VerifyRsaSha256(std::string_view publicKeyPem, std::string_view data, const std::vector<std::uint8_t>& signature);

// The public key the program was built with, whose private half signs version.dat.
std::string_view BuiltInUpdateKey();

// What a manifest body, as received, tells of the update when its last line signs it with the
// built-in key and the signed part names the installer's size and hash; empty otherwise.
std::optional<SignedUpdate> VerifiedUpdate(std::string_view manifestBody);

// The SHA-256 of a file's whole content, read from its start through the handle. Throws with the
// system's message when the file cannot be read.
Sha256Digest Sha256OfFile(HANDLE file);
