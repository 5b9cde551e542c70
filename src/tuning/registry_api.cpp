#include "tuning/registry_api.h"

namespace {

// RegDeleteKeyExW exists from Windows XP x64 and Vista on; older systems have RegDeleteKeyW only.
using RegDeleteKeyExWFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

RegDeleteKeyExWFn FindRegDeleteKeyEx() noexcept {
  HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
  if (!advapi) return nullptr;
  // Through void(*)(), which GCC accepts as a cast between unrelated function types.
  auto proc = reinterpret_cast<void (*)()>(::GetProcAddress(advapi, "RegDeleteKeyExW"));
  return reinterpret_cast<RegDeleteKeyExWFn>(proc);
}

// The advapi32 functions themselves. No view flag is ever added: the process works in the view
// the platform gives it.
class SystemRegistryApi final : public RegistryApi {
public:
  LSTATUS OpenKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override {
    return ::RegOpenKeyExW(key, subKey, 0, access, result);
  }

  LSTATUS CreateKeyEx(HKEY key, const wchar_t* subKey, REGSAM access, HKEY* result) override {
    return ::RegCreateKeyExW(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, result,
                             nullptr);
  }

  LSTATUS QueryValueEx(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
    return ::RegQueryValueExW(key, name, nullptr, type, data, size);
  }

  LSTATUS SetValueEx(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override {
    return ::RegSetValueExW(key, name, 0, type, data, size);
  }

  LSTATUS DeleteValue(HKEY key, const wchar_t* name) override { return ::RegDeleteValueW(key, name); }

  LSTATUS DeleteKey(HKEY key, const wchar_t* subKey) override {
    static const RegDeleteKeyExWFn deleteKeyEx = FindRegDeleteKeyEx();
    if (deleteKeyEx) return deleteKeyEx(key, subKey, 0, 0);
    return ::RegDeleteKeyW(key, subKey);
  }

  LSTATUS QueryInfoKey(HKEY key, DWORD* subKeys, DWORD* maxSubKeyLength) override {
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subKeys, maxSubKeyLength, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
  }

  LSTATUS EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength) override {
    return ::RegEnumKeyExW(key, index, name, nameLength, nullptr, nullptr, nullptr, nullptr);
  }

  LSTATUS CloseKey(HKEY key) override { return ::RegCloseKey(key); }
};

RegistryApi* current = nullptr;

}  // namespace

RegistryApi& RegistryApi::System() noexcept {
  static SystemRegistryApi system;
  return system;
}

RegistryApi& RegistryApi::Current() noexcept { return current ? *current : System(); }

ScopedRegistryApi::ScopedRegistryApi(RegistryApi& api) noexcept : previous_(current) { current = &api; }

ScopedRegistryApi::~ScopedRegistryApi() { current = previous_; }
