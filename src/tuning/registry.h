#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The registry accessor: a root key, an access mask and at most one open key, on which the value
// operations act. Value reads and writes throw an ERegistryException-typed Exception; opening,
// closing, deleting and enumerating never throw and report through their results.
class TRegistry {
public:
  TRegistry() noexcept;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  ~TRegistry();

  HKEY RootKey() const noexcept { return FRootKey; }
  // A different root closes the open key.
  void SetRootKey(HKEY root) noexcept;
  REGSAM Access() const noexcept { return FAccess; }
  void SetAccess(REGSAM access) noexcept { FAccess = access; }
  bool LazyWrite() const noexcept { return FLazyWrite; }
  HKEY CurrentKey() const noexcept { return FCurrentKey; }

  bool OpenKey(const std::wstring& key, bool canCreate) noexcept;
  void CloseKey() noexcept;
  // Opens for reading only, whatever Access says.
  bool KeyExists(const std::wstring& key) noexcept;
  bool ValueExists(const std::wstring& name) noexcept;

  std::wstring ReadString(const std::wstring& name);
  std::int32_t ReadInteger(const std::wstring& name);
  void WriteString(const std::wstring& name, const std::wstring& value);
  void WriteInteger(const std::wstring& name, std::int32_t value);
  bool DeleteValue(const std::wstring& name) noexcept;
  // Removes the key with every subkey below it.
  bool DeleteKey(const std::wstring& key) noexcept;
  void GetKeyNames(std::vector<std::wstring>& strings);

private:
  HKEY FRootKey = HKEY_CURRENT_USER;
  REGSAM FAccess = KEY_ALL_ACCESS;
  bool FLazyWrite = true;
  HKEY FCurrentKey = nullptr;
};
