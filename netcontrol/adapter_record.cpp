#include "adapter_record.h"

#include "common/unique_handle.h"

#include <windows.h>

#include <sddl.h>

namespace {

// One read stops here, so a record grown past all reason cannot hold a call for long.
constexpr DWORD kMostEntries = 256;
// Device instance ids are at most 200 characters; a longer value name is no device id.
constexpr DWORD kLongestId = 512;
// SYSTEM and Administrators may change the key, everyone else may only read it, whatever the
// access list of HKLM\SOFTWARE says on this machine.
constexpr wchar_t kKeyAccess[] = L"D:P(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)(A;OICI;KR;;;WD)";

bool RunningUnderWow64() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  // Loaded at run time: systems before XP SP2 do not have it, and are 32-bit only.
  const auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

unsigned long TRegistryAdapterRecord::View() {
  // Asked every time rather than kept: a few calls cost less than the locking of a static.
  return sizeof(void*) == 8 || RunningUnderWow64() ? KEY_WOW64_64KEY : 0;
}

std::vector<std::wstring> TRegistryAdapterRecord::Read() {
  std::vector<std::wstring> ids;
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, KEY_QUERY_VALUE | View(), key.put()) != ERROR_SUCCESS) {
    return ids;
  }
  for (DWORD i = 0; i < kMostEntries; ++i) {
    wchar_t name[kLongestId + 1] = {};
    DWORD length = kLongestId + 1;
    const LONG status = RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (length > 0) ids.emplace_back(name, length);
  }
  return ids;
}

bool TRegistryAdapterRecord::HoldsEntries() {
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, KEY_QUERY_VALUE | View(), key.put()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD values = 0;
  // A key that cannot be asked is treated as holding something: the repair then reads it properly.
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    return true;
  }
  return values > 0;
}

bool TRegistryAdapterRecord::Add(const std::wstring& deviceId) {
  if (deviceId.empty() || deviceId.size() > kLongestId) return false;
  UniqueHKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | WRITE_DAC | View(), nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // Set on every entry, whoever made the key. Should it fail, the entry is still written: an
  // adapter brought back matters more than a stricter key.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kKeyAccess, SDDL_REVISION_1, &descriptor, nullptr)) {
    RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
  }
  const DWORD dropped = 1;
  if (RegSetValueExW(key.get(), deviceId.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dropped),
                     sizeof(dropped)) != ERROR_SUCCESS) {
    return false;
  }
  // On disk before the adapter goes down, so a power cut cannot lose it either.
  RegFlushKey(key.get());
  return true;
}

void TRegistryAdapterRecord::Remove(const std::wstring& deviceId) {
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterRecordKey, 0, KEY_SET_VALUE | View(), key.put()) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueW(key.get(), deviceId.c_str());
}
