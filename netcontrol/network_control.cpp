// Drops the network connection by disabling the physical adapters that are connected, and brings
// it back by enabling exactly those again. From Vista on the work goes through WMI, which does it
// out of process, so it also works from a 32-bit caller on 64-bit Windows, where SetupAPI's class
// installer refuses WOW64 callers. Older systems are 32-bit only and use SetupAPI directly.

#include "network_control.h"

#include "common/unique_handle.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <objbase.h>
#include <oleauto.h>
#include <setupapi.h>
#include <wbemidl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A call never holds its caller longer than this, whatever the system does.
constexpr DWORD kCallBoundMs = 60000;
// How long one adapter may take to reach its new state.
constexpr auto kStateChangeBound = std::chrono::seconds(15);
constexpr auto kPollInterval = std::chrono::milliseconds(250);
// ConfigManagerErrorCode of a device that is disabled.
constexpr long kDeviceDisabled = 22;

// The adapters this library has disabled and not yet enabled again, shared by overlapping calls.
std::mutex gLock;
std::vector<std::wstring> gDisabled;

template <typename T>
class ComPtr {
public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T** Put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

private:
  T* p_ = nullptr;
};

class Bstr {
public:
  explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR Get() const { return b_; }

private:
  BSTR b_;
};

class Variant {
public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  const VARIANT& Get() const { return v_; }

private:
  VARIANT v_;
};

std::wstring StringProperty(IWbemClassObject* object, const wchar_t* name) {
  Variant value;
  if (FAILED(object->Get(name, 0, value.Put(), nullptr, nullptr)) || value.Get().vt != VT_BSTR) return L"";
  return value.Get().bstrVal ? value.Get().bstrVal : L"";
}

long IntProperty(IWbemClassObject* object, const wchar_t* name, long fallback) {
  Variant value;
  if (FAILED(object->Get(name, 0, value.Put(), nullptr, nullptr))) return fallback;
  if (value.Get().vt == VT_I4) return value.Get().lVal;
  if (value.Get().vt == VT_UI4) return static_cast<long>(value.Get().ulVal);
  return fallback;
}

// COM for the calling thread, undone only when this thread started it.
class ComApartment {
public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

private:
  HRESULT hr_;
};

class Wmi {
public:
  bool Connect() {
    ComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.Put())))) {
      return false;
    }
    Bstr root(L"ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(root.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.Put()))) {
      return false;
    }
    return SUCCEEDED(CoSetProxyBlanket(services_.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                       RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE));
  }

  // Calls `visit` on each object the query yields.
  template <typename Visit>
  void Query(const std::wstring& wql, Visit visit) {
    Bstr language(L"WQL");
    Bstr text(wql);
    ComPtr<IEnumWbemClassObject> items;
    if (FAILED(services_->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                    nullptr, items.Put()))) {
      return;
    }
    for (;;) {
      ComPtr<IWbemClassObject> item;
      ULONG count = 0;
      if (items->Next(static_cast<long>(kCallBoundMs), 1, item.Put(), &count) != WBEM_S_NO_ERROR || count == 0) return;
      visit(item.Get());
    }
  }

  // Runs Disable or Enable on one adapter; true when the method reports success.
  bool Invoke(const std::wstring& deviceId, const wchar_t* method) {
    Bstr path(L"Win32_NetworkAdapter.DeviceID=\"" + deviceId + L"\"");
    Bstr name(method);
    ComPtr<IWbemClassObject> out;
    if (FAILED(services_->ExecMethod(path.Get(), name.Get(), 0, nullptr, nullptr, out.Put(), nullptr)) || !out) {
      return false;
    }
    return IntProperty(out.Get(), L"ReturnValue", -1) == 0;
  }

  long ErrorCode(const std::wstring& deviceId) {
    long code = -1;
    Query(L"SELECT ConfigManagerErrorCode FROM Win32_NetworkAdapter WHERE DeviceID = '" + deviceId + L"'",
          [&](IWbemClassObject* item) { code = IntProperty(item, L"ConfigManagerErrorCode", -1); });
    return code;
  }

  // Waits until the adapter is disabled (or no longer disabled), within the bound.
  void WaitForState(const std::wstring& deviceId, bool disabled) {
    const auto end = std::chrono::steady_clock::now() + kStateChangeBound;
    while (std::chrono::steady_clock::now() < end) {
      if ((ErrorCode(deviceId) == kDeviceDisabled) == disabled) return;
      std::this_thread::sleep_for(kPollInterval);
    }
  }

private:
  ComPtr<IWbemServices> services_;
};

bool IsDigits(const std::wstring& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

void DropWithWmi() {
  ComApartment apartment;
  Wmi wmi;
  if (!wmi.Connect()) return;
  std::vector<std::wstring> connected;
  // NetConnectionStatus 2: connected.
  wmi.Query(L"SELECT DeviceID FROM Win32_NetworkAdapter WHERE PhysicalAdapter = TRUE AND NetConnectionStatus = 2",
            [&](IWbemClassObject* item) {
              const std::wstring id = StringProperty(item, L"DeviceID");
              if (IsDigits(id)) connected.push_back(id);
            });
  for (const std::wstring& id : connected) {
    if (!wmi.Invoke(id, L"Disable")) continue;
    if (std::find(gDisabled.begin(), gDisabled.end(), id) == gDisabled.end()) gDisabled.push_back(id);
    wmi.WaitForState(id, true);
  }
}

void RestoreWithWmi() {
  ComApartment apartment;
  Wmi wmi;
  if (!wmi.Connect()) return;
  std::vector<std::wstring> remaining;
  for (const std::wstring& id : gDisabled) {
    if (wmi.Invoke(id, L"Enable")) {
      wmi.WaitForState(id, false);
    } else {
      remaining.push_back(id);  // tried again by the next Connect(-1)
    }
  }
  gDisabled = std::move(remaining);
}

// The devices of the network class, for the SetupAPI path.
class NetDevices {
public:
  NetDevices() : set_(SetupDiGetClassDevsW(&GUID_DEVCLASS_NET, nullptr, nullptr, DIGCF_PRESENT)) {}
  NetDevices(const NetDevices&) = delete;
  NetDevices& operator=(const NetDevices&) = delete;
  ~NetDevices() {
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  }

  template <typename Visit>
  void ForEach(Visit visit) {
    if (set_ == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set_, i, &data); ++i) visit(data);
  }

  std::wstring InstanceId(SP_DEVINFO_DATA& data) const {
    wchar_t id[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set_, &data, id, static_cast<DWORD>(std::size(id)), nullptr)) return L"";
    return id;
  }

  // Adapters on a hardware bus, not the system's virtual ones.
  bool Physical(SP_DEVINFO_DATA& data) const {
    wchar_t bus[64] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set_, &data, SPDRP_ENUMERATOR_NAME, nullptr, reinterpret_cast<BYTE*>(bus),
                                           sizeof(bus) - sizeof(wchar_t), nullptr)) {
      return false;
    }
    const std::wstring name = bus;
    return name == L"PCI" || name == L"USB" || name == L"PCMCIA";
  }

  static bool Running(const SP_DEVINFO_DATA& data) {
    ULONG status = 0;
    ULONG problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0) == CR_SUCCESS && (status & DN_STARTED) &&
           !(status & DN_HAS_PROBLEM);
  }

  bool Change(SP_DEVINFO_DATA& data, DWORD state) {
    SP_PROPCHANGE_PARAMS params{};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = state;
    params.Scope = DICS_FLAG_GLOBAL;
    return SetupDiSetClassInstallParamsW(set_, &data, &params.ClassInstallHeader, sizeof(params)) &&
           SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set_, &data);
  }

private:
  HDEVINFO set_;
};

void DropWithSetupApi() {
  NetDevices devices;
  devices.ForEach([&](SP_DEVINFO_DATA& data) {
    if (!devices.Physical(data) || !NetDevices::Running(data)) return;
    const std::wstring id = devices.InstanceId(data);
    if (id.empty() || !devices.Change(data, DICS_DISABLE)) return;
    if (std::find(gDisabled.begin(), gDisabled.end(), id) == gDisabled.end()) gDisabled.push_back(id);
  });
}

void RestoreWithSetupApi() {
  NetDevices devices;
  devices.ForEach([&](SP_DEVINFO_DATA& data) {
    const auto it = std::find(gDisabled.begin(), gDisabled.end(), devices.InstanceId(data));
    if (it != gDisabled.end() && devices.Change(data, DICS_ENABLE)) gDisabled.erase(it);
  });
}

bool VistaOrLater() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  // Deprecated but exact up to Windows 7, the newest system this library tells apart.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL ok = GetVersionExW(&info);
#pragma GCC diagnostic pop
  return ok && info.dwMajorVersion >= 6;
}

void Work(bool connect) {
  std::lock_guard<std::mutex> lock(gLock);
  if (VistaOrLater()) {
    connect ? RestoreWithWmi() : DropWithWmi();
  } else {
    connect ? RestoreWithSetupApi() : DropWithSetupApi();
  }
}

// Holds its own reference to the library, so a caller that gives up waiting and unloads it
// cannot pull the code from under a call that is still running.
DWORD WINAPI WorkThread(void* parameter) {
  const bool connect = reinterpret_cast<INT_PTR>(parameter) != 0;
  try {
    Work(connect);
  } catch (...) {
    // Reports nothing: the caller does not read a result.
  }
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&WorkThread), &self);
  FreeLibraryAndExitThread(self, 0);
}

}  // namespace

extern "C" int __cdecl Connect(int aConnect) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkThread), &self)) {
    return 0;
  }
  UniqueHandle thread(CreateThread(nullptr, 0, &WorkThread,
                                   reinterpret_cast<void*>(static_cast<INT_PTR>(aConnect != 0)), 0, nullptr));
  if (!thread) {
    FreeLibrary(self);
    return 0;
  }
  return WaitForSingleObject(thread.get(), kCallBoundMs) == WAIT_OBJECT_0 ? 1 : 0;
}
