#pragma once

#include <windows.h>

// The registry functions that the registry layer calls, behind one seam so that tests can run
// the real layer against the real registry while denying what a user without administrator
// rights would be denied, or while counting handles. Production code always uses the system's.
class RegistryApi {
public:
  virtual ~RegistryApi() = default;

  virtual LSTATUS OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) = 0;
  virtual LSTATUS CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) = 0;
  virtual LSTATUS QueryValueEx(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) = 0;
  virtual LSTATUS SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) = 0;
  virtual LSTATUS DeleteValue(HKEY key, const wchar_t* name) = 0;
  // RegDeleteKeyExW where the platform has it, otherwise RegDeleteKeyW.
  virtual LSTATUS DeleteKey(HKEY key, const wchar_t* subKey) = 0;
  virtual LSTATUS QueryInfoKey(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLength) = 0;
  virtual LSTATUS EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength) = 0;
  virtual LSTATUS CloseKey(HKEY key) = 0;

  // The API in force for this process.
  static RegistryApi& Current() noexcept;
  // The advapi32 functions themselves.
  static RegistryApi& System() noexcept;
};

// Puts another API in force for a scope; tests only.
class ScopedRegistryApi {
public:
  explicit ScopedRegistryApi(RegistryApi& api) noexcept;
  ScopedRegistryApi(const ScopedRegistryApi&) = delete;
  ScopedRegistryApi& operator=(const ScopedRegistryApi&) = delete;
  ~ScopedRegistryApi();

private:
  RegistryApi* previous_;
};
