#pragma once

// Owners of CryptoAPI's handles, for the update check and for whatever signs or hashes beside it.

#include "common/unique_handle.h"

#include <windows.h>

#include <wincrypt.h>

// SHA-256 in CryptoAPI (XP SP3 on); MinGW's headers show it only to programs built for Vista on.
inline constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

inline void ReleaseProvider(HCRYPTPROV provider) noexcept { CryptReleaseContext(provider, 0); }
inline void DestroyKey(HCRYPTKEY key) noexcept { CryptDestroyKey(key); }
inline void DestroyHash(HCRYPTHASH hash) noexcept { CryptDestroyHash(hash); }
using UniqueProvider = UniqueAny<HCRYPTPROV, 0, ReleaseProvider>;
using UniqueKey = UniqueAny<HCRYPTKEY, 0, DestroyKey>;
using UniqueHash = UniqueAny<HCRYPTHASH, 0, DestroyHash>;
