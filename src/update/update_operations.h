#pragma once

#include "common/unique_handle.h"
#include "update/http_request.h"
#include "update/signed_manifest.h"

#include <cstdint>
#include <optional>

#include <string>
#include <string_view>

// The transfers of the update and the start report, each on a connection of its own.

// Whether the version manifest can be fetched; every failure is false, silently.
bool CheckUpdateServer(const ServerAddress& server);

// The manifest's value for `key` (empty when no entry has that name). Any failure, of the
// transfer or of the work on its text, is thrown as "버전 정보를 받을 수가 없습니다.". The body's
// bytes as received, before their decoding, go to `rawBody` when one is given.
std::wstring GetServerVersion(const std::wstring& key, const ServerAddress& server, std::string* rawBody = nullptr);

// Creates the file first (replacing one that exists, shared with no one), then fills it with the
// body of the GET. A file that cannot be created throws "Cannot create file" with its full path
// and the system's message, before any request; a failed transfer throws "버전 정보를 불러올 수
// 없습니다." and leaves the file as far as it got. The file is closed on every path. True or throws.
// With a signed size, an answer of another length is refused (announced, or arriving) and its
// file deleted; no more than that size is ever written.
bool DownloadFile(const ServerAddress& server, std::string_view pathAndQuery, const std::wstring& fileName,
                  std::optional<std::uint64_t> signedSize = std::nullopt);

// Opens a downloaded file for reading, shared for reading only, so that while the handle is held
// no other process can write, replace or delete it (the loader can still open it to run it), and
// checks its size and SHA-256 against the signed ones. A file that fails, or cannot be opened so,
// is deleted, and "버전 정보를 불러올 수 없습니다." is thrown.
UniqueHandle HoldVerifiedFile(const std::wstring& fileName, std::uint64_t size, const Sha256Digest& sha256);

// The user's temporary folder as the system gives it (normally with a closing backslash), or
// empty when the system gives none within 260 characters.
std::wstring GetTempDirectory();

// Reports the start to the maker's server and ignores the answer; its failure is thrown as is.
void SendStartReport(const ServerAddress& server);
