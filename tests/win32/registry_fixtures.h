#pragma once

// What the registry tests share: direct advapi32 access that does not go through the layer under
// test, snapshots that put changed keys back, and registry APIs that pass every call through to
// the system while tracing handles, recording writes or denying what a user without
// administrator rights is denied.

#include "tuning/registry_api.h"

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace regtest {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RawValue&) const = default;
};

std::vector<BYTE> DwordBytes(DWORD value);
// The text's UTF-16 bytes, with or without one terminating NUL.
std::vector<BYTE> TextBytes(const std::wstring& text, bool withNul = true);

// These go straight to advapi32 and fail the running test when the system refuses.
void SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
            const std::vector<BYTE>& data);
void SetRawDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
void CreateRawKey(HKEY root, const std::wstring& path);
std::optional<RawValue> GetRaw(HKEY root, const std::wstring& path, const std::wstring& name);
bool KeyPresent(HKEY root, const std::wstring& path);
DWORD ValueCount(HKEY root, const std::wstring& path);
// Subkey names in the system's own enumeration order.
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);
void DeleteTree(HKEY root, const std::wstring& path);

// A key with everything below it.
struct KeyTree {
  std::map<std::wstring, RawValue> values;
  std::vector<std::pair<std::wstring, KeyTree>> subkeys;
  bool operator==(const KeyTree&) const = default;
};
std::optional<KeyTree> ReadTree(HKEY root, const std::wstring& path);

// Takes a key's subtree (or its absence) and puts it back when the test ends.
class KeySnapshot {
public:
  KeySnapshot(HKEY root, std::wstring path);
  KeySnapshot(const KeySnapshot&) = delete;
  KeySnapshot& operator=(const KeySnapshot&) = delete;
  ~KeySnapshot();

private:
  HKEY root_;
  std::wstring path_;
  std::optional<KeyTree> saved_;
};

// "Software\LagvaneTests\<suite>.<test>" under the root, empty at the start and gone at the end.
class TestKey {
public:
  explicit TestKey(HKEY root = HKEY_CURRENT_USER);
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;
  ~TestKey();

  HKEY Root() const noexcept { return root_; }
  const std::wstring& Path() const noexcept { return path_; }
  std::wstring operator/(const std::wstring& sub) const { return path_ + L"\\" + sub; }

private:
  HKEY root_;
  std::wstring path_;
};

// Passes every call to the system's API and keeps, for each handle it handed out, the root and
// path it stands for; counts handles still open, closes of handles it never handed out, and
// records every value write in call order.
class TracingRegistryApi : public RegistryApi {
public:
  struct Write {
    HKEY root;
    std::wstring path;
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  struct Location {
    HKEY root = nullptr;  // null for a handle that did not come through here
    std::wstring path;
    bool operator==(const Location&) const = default;
  };

  LSTATUS OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override;
  LSTATUS CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override;
  LSTATUS QueryValueEx(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override;
  LSTATUS SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override;
  LSTATUS DeleteValue(HKEY key, const wchar_t* name) override;
  LSTATUS DeleteKey(HKEY key, const wchar_t* subKey) override;
  LSTATUS QueryInfoKey(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLength) override;
  LSTATUS EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength) override;
  LSTATUS CloseKey(HKEY key) override;

  std::size_t Outstanding() const noexcept { return open_.size(); }
  std::size_t Opened() const noexcept { return opened_; }
  std::size_t StrayCloses() const noexcept { return strayCloses_; }
  const std::vector<Write>& Writes() const noexcept { return writes_; }
  Location Where(HKEY key) const;

protected:
  LSTATUS Track(LSTATUS status, HKEY parent, const wchar_t* subKey, HKEY* result);

private:
  std::map<HKEY, Location> open_;
  std::size_t opened_ = 0;
  std::size_t strayCloses_ = 0;
  std::vector<Write> writes_;
};

// What a user without administrator rights gets under HKEY_LOCAL_MACHINE: opens for reading
// succeed, while every open or create that asks for more, every value write or delete and every
// key delete there is refused with ERROR_ACCESS_DENIED. Everything else passes through.
class DenyingRegistryApi : public TracingRegistryApi {
public:
  LSTATUS OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override;
  LSTATUS CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override;
  LSTATUS SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override;
  LSTATUS DeleteValue(HKEY key, const wchar_t* name) override;
  LSTATUS DeleteKey(HKEY key, const wchar_t* subKey) override;

  std::size_t Denied() const noexcept { return denied_; }

private:
  bool UnderMachine(HKEY key) const;
  LSTATUS Deny() noexcept;

  std::size_t denied_ = 0;
};

}  // namespace regtest
