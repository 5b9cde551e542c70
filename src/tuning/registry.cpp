#include "tuning/registry.h"

#include "common/error.h"
#include "common/texts.h"
#include "tuning/registry_api.h"

#include <algorithm>

namespace {

// STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS: enough to learn that a key is
// there, and granted to every user on the machine-wide keys.
constexpr REGSAM kKeyExistsAccess = 0x20009;

// A key handle opened through the registry seam and closed through the same seam.
class ApiKey {
public:
  ApiKey(RegistryApi& api, HKEY key) noexcept : api_(api), key_(key) {}
  ApiKey(const ApiKey&) = delete;
  ApiKey& operator=(const ApiKey&) = delete;
  ~ApiKey() { api_.CloseKey(key_); }
  HKEY get() const noexcept { return key_; }

private:
  RegistryApi& api_;
  HKEY key_;
};

[[noreturn]] void ThrowRegistryError(const wchar_t* pattern, const std::wstring& name) {
  throw Exception(FormatText(pattern, name), L"ERegistryException");
}

// Removes `key` below `parent` with everything in it, deepest keys first. Subkeys go from the last
// index down, so the indices still to visit stay valid while keys disappear.
bool DeleteKeyTree(RegistryApi& api, HKEY parent, const wchar_t* key, REGSAM access) {
  HKEY opened = nullptr;
  if (api.OpenKeyEx(parent, key, access, &opened) == ERROR_SUCCESS) {
    ApiKey handle(api, opened);
    DWORD subKeys = 0;
    DWORD maxLength = 0;
    if (api.QueryInfoKey(handle.get(), &subKeys, &maxLength) == ERROR_SUCCESS) {
      std::vector<wchar_t> name(std::size_t{maxLength} + 1);
      for (DWORD i = subKeys; i-- > 0;) {
        DWORD length = maxLength + 1;
        if (api.EnumKeyEx(handle.get(), i, name.data(), &length) == ERROR_SUCCESS)
          DeleteKeyTree(api, handle.get(), name.data(), access);
      }
    }
  }
  return api.DeleteKey(parent, key) == ERROR_SUCCESS;
}

}  // namespace

TRegistry::TRegistry() noexcept = default;

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) noexcept {
  if (root == FRootKey) return;
  FRootKey = root;
  CloseKey();
}

bool TRegistry::OpenKey(const std::wstring& key, bool canCreate) noexcept {
  RegistryApi& api = RegistryApi::Current();
  HKEY opened = nullptr;
  const LSTATUS status = canCreate && !key.empty()
                             ? api.CreateKeyEx(FRootKey, key.c_str(), FAccess, &opened)
                             : api.OpenKeyEx(FRootKey, key.c_str(), FAccess, &opened);
  if (status != ERROR_SUCCESS) return false;
  CloseKey();
  FCurrentKey = opened;
  return true;
}

void TRegistry::CloseKey() noexcept {
  // LazyWrite is always on, so the key is closed without a flush.
  if (!FCurrentKey) return;
  RegistryApi::Current().CloseKey(FCurrentKey);
  FCurrentKey = nullptr;
}

bool TRegistry::KeyExists(const std::wstring& key) noexcept {
  RegistryApi& api = RegistryApi::Current();
  HKEY opened = nullptr;
  if (api.OpenKeyEx(FRootKey, key.c_str(), kKeyExistsAccess, &opened) != ERROR_SUCCESS) return false;
  api.CloseKey(opened);
  return true;
}

bool TRegistry::ValueExists(const std::wstring& name) noexcept {
  if (!FCurrentKey) return false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  return RegistryApi::Current().QueryValueEx(FCurrentKey, name.c_str(), &type, nullptr, &size) == ERROR_SUCCESS;
}

std::wstring TRegistry::ReadString(const std::wstring& name) {
  RegistryApi& api = RegistryApi::Current();
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (!FCurrentKey || api.QueryValueEx(FCurrentKey, name.c_str(), &type, nullptr, &size) != ERROR_SUCCESS ||
      size == 0)
    return {};

  // Whole characters for every byte announced, so an odd size cannot make the system write past
  // the buffer; the text is then taken by the size actually returned, never by a terminator that
  // the data may lack.
  std::vector<wchar_t> buffer((std::size_t{size} + 1) / sizeof(wchar_t));
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (api.QueryValueEx(FCurrentKey, name.c_str(), &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
      ERROR_SUCCESS)
    ThrowRegistryError(texts::kRegGetDataFailed, name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) ThrowRegistryError(texts::kRegInvalidDataType, name);

  const auto begin = buffer.begin();
  const auto end = begin + std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size());
  return std::wstring(begin, std::find(begin, end, L'\0'));
}

std::int32_t TRegistry::ReadInteger(const std::wstring& name) {
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (!FCurrentKey || RegistryApi::Current().QueryValueEx(FCurrentKey, name.c_str(), &type,
                                                          reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
    ThrowRegistryError(texts::kRegGetDataFailed, name);
  if (type != REG_DWORD) ThrowRegistryError(texts::kRegInvalidDataType, name);
  return static_cast<std::int32_t>(data);
}

void TRegistry::WriteString(const std::wstring& name, const std::wstring& value) {
  // The byte count, terminator included, has to fit the API's 32-bit size.
  constexpr std::size_t kMaxLength = MAXDWORD / sizeof(wchar_t) - 1;
  if (!FCurrentKey || value.size() > kMaxLength ||
      RegistryApi::Current().SetValueEx(FCurrentKey, name.c_str(), REG_SZ,
                                        reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    ThrowRegistryError(texts::kRegSetDataFailed, name);
}

void TRegistry::WriteInteger(const std::wstring& name, std::int32_t value) {
  const DWORD data = static_cast<DWORD>(value);
  if (!FCurrentKey || RegistryApi::Current().SetValueEx(FCurrentKey, name.c_str(), REG_DWORD,
                                                        reinterpret_cast<const BYTE*>(&data),
                                                        sizeof(data)) != ERROR_SUCCESS)
    ThrowRegistryError(texts::kRegSetDataFailed, name);
}

bool TRegistry::DeleteValue(const std::wstring& name) noexcept {
  return FCurrentKey && RegistryApi::Current().DeleteValue(FCurrentKey, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::wstring& key) noexcept {
  // An empty path would name the root itself and empty it whole.
  if (key.empty()) return false;
  try {
    return DeleteKeyTree(RegistryApi::Current(), FRootKey, key.c_str(), FAccess);
  } catch (...) {
    // Only the name buffers can fail to allocate; the key then stays.
    return false;
  }
}

void TRegistry::GetKeyNames(std::vector<std::wstring>& strings) {
  strings.clear();
  RegistryApi& api = RegistryApi::Current();
  DWORD subKeys = 0;
  DWORD maxLength = 0;
  if (!FCurrentKey || api.QueryInfoKey(FCurrentKey, &subKeys, &maxLength) != ERROR_SUCCESS) return;
  std::vector<wchar_t> name(std::size_t{maxLength} + 1);
  for (DWORD i = 0; i < subKeys; ++i) {
    DWORD length = maxLength + 1;
    // An index that fails (the key changed meanwhile) is skipped rather than listed as an empty
    // or stale name, which a caller would append to its path.
    if (api.EnumKeyEx(FCurrentKey, i, name.data(), &length) == ERROR_SUCCESS)
      strings.emplace_back(name.data(), std::min<std::size_t>(length, maxLength));
  }
}
