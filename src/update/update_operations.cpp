#include "update/update_operations.h"

#include "common/error.h"
#include "common/system_error.h"
#include "common/texts.h"
#include "common/unique_handle.h"
#include "update/http_client.h"
#include "update/maker_server.h"
#include "update/manifest.h"
#include "update/update_crypto.h"

#include <windows.h>

namespace {

// Names compared as the user's locale compares them, ignoring case.
bool EqualsIgnoringCaseInLocale(std::wstring_view a, std::wstring_view b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::wstring FullPathOf(const std::wstring& fileName) {
  const DWORD size = GetFullPathNameW(fileName.c_str(), 0, nullptr, nullptr);
  if (size == 0) return fileName;
  std::wstring path(size, L'\0');
  const DWORD length = GetFullPathNameW(fileName.c_str(), size, path.data(), nullptr);
  if (length == 0 || length >= size) return fileName;
  path.resize(length);
  return path;
}

}  // namespace

bool CheckUpdateServer(const ServerAddress& server) {
  try {
    HttpGetText(server, kManifestPath, kManifestTimeouts);
    return true;
  } catch (...) {
    return false;
  }
}

std::wstring GetServerVersion(const std::wstring& key, const ServerAddress& server, std::string* rawBody) {
  try {
    return FindManifestValue(HttpGetText(server, kManifestPath, kManifestTimeouts, rawBody), key,
                             EqualsIgnoringCaseInLocale);
  } catch (...) {
    throw Exception(texts::kCannotReceiveVersion);
  }
}

bool DownloadFile(const ServerAddress& server, std::string_view pathAndQuery, const std::wstring& fileName,
                  std::optional<std::uint64_t> signedSize) {
  const HANDLE created = CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw Exception(FormatFields(texts::kCannotCreateFile, {FullPathOf(fileName), SystemMessage(error)}),
                    L"EFCreateError");
  }
  UniqueHandle file(created);
  try {
    HttpGetFile(server, pathAndQuery, file.get(), kDownloadTimeouts, signedSize);
  } catch (const BodyLengthError&) {
    // Not the installer the maker signed: nothing of it is left to be started by hand.
    file.reset();
    DeleteFileW(fileName.c_str());
    throw Exception(texts::kCannotLoadVersion);
  } catch (...) {
    throw Exception(texts::kCannotLoadVersion);
  }
  return true;
}

UniqueHandle HoldVerifiedFile(const std::wstring& fileName, std::uint64_t size, const Sha256Digest& sha256) {
  const HANDLE opened =
      CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  UniqueHandle file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
  bool matches = false;
  if (file) {
    try {
      LARGE_INTEGER length{};
      matches = GetFileSizeEx(file.get(), &length) && static_cast<std::uint64_t>(length.QuadPart) == size &&
                Sha256OfFile(file.get()) == sha256;
    } catch (const Exception&) {
    }
  }
  if (!matches) {
    file.reset();
    DeleteFileW(fileName.c_str());
    throw Exception(texts::kCannotLoadVersion);
  }
  return file;
}

std::wstring GetTempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  // Beyond the buffer the system only tells the length it needs and fills nothing.
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(buffer, length);
}

void SendStartReport(const ServerAddress& server) { HttpGetText(server, kStartReportPath, kStartReportTimeouts); }
