#include "registry_fixtures.h"

#include "common/unique_handle.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace regtest {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

UniqueHKey OpenRaw(HKEY root, const std::wstring& path, REGSAM access) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueHKey();
  return UniqueHKey(key);
}

UniqueHKey CreateRaw(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  const LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create " << Narrow(path) << ": error " << status;
    return UniqueHKey();
  }
  return UniqueHKey(key);
}

std::optional<KeyTree> ReadTree(HKEY key) {
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return std::nullopt;
  KeyTree tree;
  std::vector<wchar_t> name(std::max(maxValueName, maxSubKey) + 1);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    RawValue value;
    value.data.resize(maxData);
    DWORD size = maxData;
    if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
      continue;
    value.data.resize(size);
    tree.values.emplace(std::wstring(name.data(), nameLength), std::move(value));
  }
  for (DWORD i = 0; i < subKeys; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (::RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      continue;
    std::wstring subName(name.data(), nameLength);
    UniqueHKey sub = OpenRaw(key, subName, KEY_READ);
    if (!sub) continue;
    if (auto subTree = ReadTree(sub.get())) tree.subkeys.emplace_back(subName, std::move(*subTree));
  }
  return tree;
}

void WriteTree(HKEY root, const std::wstring& path, const KeyTree& tree) {
  UniqueHKey key = CreateRaw(root, path);
  if (!key) return;
  for (const auto& [name, value] : tree.values)
    ::RegSetValueExW(key.get(), name.c_str(), 0, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size()));
  for (const auto& [name, sub] : tree.subkeys) WriteTree(key.get(), name, sub);
}

bool IsPredefined(HKEY key) {
  return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT || key == HKEY_USERS;
}

}  // namespace

std::vector<BYTE> DwordBytes(DWORD value) {
  std::vector<BYTE> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

std::vector<BYTE> TextBytes(const std::wstring& text, bool withNul) {
  const std::size_t count = (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t);
  std::vector<BYTE> bytes(count);
  std::memcpy(bytes.data(), text.c_str(), count);
  return bytes;
}

void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& data) {
  UniqueHKey key = CreateRaw(root, path);
  if (!key) return;
  const LSTATUS status =
      ::RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot set " << Narrow(path) << "\\" << Narrow(name);
}

void SetRawDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
  SetRaw(root, path, name, REG_DWORD, DwordBytes(value));
}

void CreateRawKey(HKEY root, const std::wstring& path) { CreateRaw(root, path); }

std::optional<RawValue> GetRaw(HKEY root, const std::wstring& path, const std::wstring& name) {
  UniqueHKey key = OpenRaw(root, path, KEY_READ);
  if (!key) return std::nullopt;
  RawValue value;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

bool KeyPresent(HKEY root, const std::wstring& path) { return static_cast<bool>(OpenRaw(root, path, KEY_READ)); }

DWORD ValueCount(HKEY root, const std::wstring& path) {
  UniqueHKey key = OpenRaw(root, path, KEY_READ);
  DWORD values = 0;
  if (!key || ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    ADD_FAILURE() << "cannot count the values of " << Narrow(path);
  return values;
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  UniqueHKey key = OpenRaw(root, path, KEY_READ);
  if (!key) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

void DeleteTree(HKEY root, const std::wstring& path) {
  const DWORD status = ::SHDeleteKeyW(root, path.c_str());
  EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
      << "cannot delete " << Narrow(path) << ": error " << status;
}

std::optional<KeyTree> ReadTree(HKEY root, const std::wstring& path) {
  UniqueHKey key = OpenRaw(root, path, KEY_READ);
  if (!key) return std::nullopt;
  return ReadTree(key.get());
}

KeySnapshot::KeySnapshot(HKEY root, std::wstring path)
    : root_(root), path_(std::move(path)), saved_(ReadTree(root_, path_)) {}

KeySnapshot::~KeySnapshot() {
  DeleteTree(root_, path_);
  if (saved_) WriteTree(root_, path_, *saved_);
}

TestKey::TestKey(HKEY root) : root_(root) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  path_ = L"Software\\LagvaneTests\\";
  for (char c : name) path_ += c == '/' ? L'_' : static_cast<wchar_t>(c);
  DeleteTree(root_, path_);
  CreateRawKey(root_, path_);
}

TestKey::~TestKey() {
  DeleteTree(root_, path_);
  // The shared parent goes with its last test key; RegDeleteKeyW refuses while others remain.
  ::RegDeleteKeyW(root_, L"Software\\LagvaneTests");
}

TracingRegistryApi::Location TracingRegistryApi::Where(HKEY key) const {
  if (IsPredefined(key)) return {key, L""};
  auto found = open_.find(key);
  return found == open_.end() ? Location{} : found->second;
}

LSTATUS TracingRegistryApi::Track(LSTATUS status, HKEY parent, const wchar_t* subKey, HKEY* result) {
  if (status != ERROR_SUCCESS || !result || !*result) return status;
  Location where = Where(parent);
  const std::wstring sub = subKey ? subKey : L"";
  if (!sub.empty()) where.path = where.path.empty() ? sub : where.path + L"\\" + sub;
  EXPECT_EQ(open_.count(*result), 0u) << "a handle handed out twice";
  open_[*result] = where;
  ++opened_;
  return status;
}

LSTATUS TracingRegistryApi::OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) {
  return Track(System().OpenKeyEx(key, subKey, access, result), key, subKey, result);
}

LSTATUS TracingRegistryApi::CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) {
  return Track(System().CreateKeyEx(key, subKey, access, result), key, subKey, result);
}

LSTATUS TracingRegistryApi::QueryValueEx(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
  return System().QueryValueEx(key, name, type, data, size);
}

LSTATUS TracingRegistryApi::SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
  const Location where = Where(key);
  writes_.push_back({where.root, where.path, name ? name : L"", type, std::vector<BYTE>(data, data + size)});
  return System().SetValueEx(key, name, type, data, size);
}

LSTATUS TracingRegistryApi::DeleteValue(HKEY key, const wchar_t* name) { return System().DeleteValue(key, name); }

LSTATUS TracingRegistryApi::DeleteKey(HKEY key, const wchar_t* subKey) { return System().DeleteKey(key, subKey); }

LSTATUS TracingRegistryApi::QueryInfoKey(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLength) {
  return System().QueryInfoKey(key, subKeys, maxSubKeyLength);
}

LSTATUS TracingRegistryApi::EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength) {
  return System().EnumKeyEx(key, index, name, nameLength);
}

LSTATUS TracingRegistryApi::CloseKey(HKEY key) {
  if (open_.erase(key) == 0) ++strayCloses_;
  return System().CloseKey(key);
}

bool DenyingRegistryApi::UnderMachine(HKEY key) const { return Where(key).root == HKEY_LOCAL_MACHINE; }

LSTATUS DenyingRegistryApi::Deny() noexcept {
  ++denied_;
  return ERROR_ACCESS_DENIED;
}

LSTATUS DenyingRegistryApi::OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) {
  if (UnderMachine(key) && (access & ~KEY_READ) != 0) return Deny();
  return TracingRegistryApi::OpenKeyEx(key, subKey, access, result);
}

LSTATUS DenyingRegistryApi::CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) {
  if (UnderMachine(key)) return Deny();
  return TracingRegistryApi::CreateKeyEx(key, subKey, access, result);
}

LSTATUS DenyingRegistryApi::SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
  if (UnderMachine(key)) return Deny();
  return TracingRegistryApi::SetValueEx(key, name, type, data, size);
}

LSTATUS DenyingRegistryApi::DeleteValue(HKEY key, const wchar_t* name) {
  if (UnderMachine(key)) return Deny();
  return TracingRegistryApi::DeleteValue(key, name);
}

LSTATUS DenyingRegistryApi::DeleteKey(HKEY key, const wchar_t* subKey) {
  if (UnderMachine(key)) return Deny();
  return TracingRegistryApi::DeleteKey(key, subKey);
}

}  // namespace regtest
