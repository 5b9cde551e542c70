#include "adapter_operations.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <objbase.h>
#include <oleauto.h>
#include <setupapi.h>
#include <wbemidl.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

// How long one WMI enumeration step may take.
constexpr long kWmiStepBoundMs = 30000;
// ConfigManagerErrorCode and CM problem of a device that is disabled.
constexpr long kDeviceDisabled = 22;
// NetConnectionStatus of a connected adapter.
constexpr long kConnected = 2;

// A system library the work needs, loaded when the work starts rather than with this library:
// most loads and calls have nothing to do, and the process then never maps COM or SetupAPI.
// It is pinned, whoever loaded it, so it stays until the process ends: COM's libraries may still
// run code that the work started, and no other module's unloading can take it away.
HMODULE SystemLibrary(const wchar_t* name) {
  HMODULE library = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, name, &library)) return library;
  // By its full path: the folder the caller was started from never supplies it.
  wchar_t path[MAX_PATH];
  const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  if (folder == 0 || folder + 1 + lstrlenW(name) >= MAX_PATH) return nullptr;
  path[folder] = L'\\';
  lstrcpyW(path + folder + 1, name);
  if (!LoadLibraryW(path)) return nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, path, &library) ? library : nullptr;
}

template <typename Function>
Function* Find(HMODULE library, const char* name) {
  return library ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

// Each member is the system function of its name, or null when the library or the function is
// missing; the operations then fail as the call itself would.
#define SYSTEM_FUNCTION(library, name) decltype(&::name) name = Find<decltype(::name)>(library, #name)

struct Com {
  const HMODULE ole32 = SystemLibrary(L"ole32.dll");
  const HMODULE oleaut32 = SystemLibrary(L"oleaut32.dll");
  SYSTEM_FUNCTION(ole32, CoInitializeEx);
  SYSTEM_FUNCTION(ole32, CoUninitialize);
  SYSTEM_FUNCTION(ole32, CoCreateInstance);
  SYSTEM_FUNCTION(ole32, CoSetProxyBlanket);
  SYSTEM_FUNCTION(oleaut32, SysAllocStringLen);
  SYSTEM_FUNCTION(oleaut32, SysFreeString);
  SYSTEM_FUNCTION(oleaut32, VariantInit);
  SYSTEM_FUNCTION(oleaut32, VariantClear);

  bool Complete() const {
    return CoInitializeEx && CoUninitialize && CoCreateInstance && CoSetProxyBlanket && SysAllocStringLen &&
           SysFreeString && VariantInit && VariantClear;
  }
};

struct SetupApi {
  const HMODULE setupapi = SystemLibrary(L"setupapi.dll");
  SYSTEM_FUNCTION(setupapi, SetupDiGetClassDevsW);
  SYSTEM_FUNCTION(setupapi, SetupDiDestroyDeviceInfoList);
  SYSTEM_FUNCTION(setupapi, SetupDiEnumDeviceInfo);
  SYSTEM_FUNCTION(setupapi, SetupDiGetDeviceInstanceIdW);
  SYSTEM_FUNCTION(setupapi, SetupDiGetDeviceRegistryPropertyW);
  SYSTEM_FUNCTION(setupapi, SetupDiSetClassInstallParamsW);
  SYSTEM_FUNCTION(setupapi, SetupDiCallClassInstaller);
  SYSTEM_FUNCTION(setupapi, SetupDiGetDeviceInstallParamsW);
  SYSTEM_FUNCTION(setupapi, CM_Get_DevNode_Status);

  bool Complete() const {
    return SetupDiGetClassDevsW && SetupDiDestroyDeviceInfoList && SetupDiEnumDeviceInfo &&
           SetupDiGetDeviceInstanceIdW && SetupDiGetDeviceRegistryPropertyW && SetupDiSetClassInstallParamsW &&
           SetupDiCallClassInstaller && SetupDiGetDeviceInstallParamsW && CM_Get_DevNode_Status;
  }
};

#undef SYSTEM_FUNCTION

bool SameId(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

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
  Bstr(const Com& com, const std::wstring& text)
      : com_(com), b_(com.SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { com_.SysFreeString(b_); }
  BSTR Get() const { return b_; }

private:
  const Com& com_;
  BSTR b_;
};

class Variant {
public:
  explicit Variant(const Com& com) : com_(com) { com_.VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { com_.VariantClear(&v_); }
  VARIANT* Put() {
    com_.VariantClear(&v_);
    return &v_;
  }
  const VARIANT& Get() const { return v_; }

private:
  const Com& com_;
  VARIANT v_;
};

// A property that this system's provider does not have reads as empty, or as the fallback.
std::wstring StringProperty(const Com& com, IWbemClassObject* object, const wchar_t* name) {
  Variant value(com);
  if (FAILED(object->Get(name, 0, value.Put(), nullptr, nullptr)) || value.Get().vt != VT_BSTR) return L"";
  return value.Get().bstrVal ? value.Get().bstrVal : L"";
}

long IntProperty(const Com& com, IWbemClassObject* object, const wchar_t* name, long fallback) {
  Variant value(com);
  if (FAILED(object->Get(name, 0, value.Put(), nullptr, nullptr))) return fallback;
  switch (value.Get().vt) {
    case VT_I4:
      return value.Get().lVal;
    case VT_UI4:
      return static_cast<long>(value.Get().ulVal);
    case VT_I2:
      return value.Get().iVal;
    case VT_UI2:
      return value.Get().uiVal;
    default:
      return fallback;
  }
}

bool IsDigits(const std::wstring& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

class WmiAdapters : public IAdapterOperations {
public:
  std::vector<std::wstring> ListDroppable() override {
    std::vector<std::wstring> ids;
    for (const Row& row : Rows()) {
      if (IsDroppableAdapter(row.facts)) ids.push_back(row.facts.deviceId);
    }
    return ids;
  }
  bool Disable(const std::wstring& deviceId) override { return Invoke(deviceId, L"Disable"); }
  bool Enable(const std::wstring& deviceId) override { return Invoke(deviceId, L"Enable"); }
  TAdapterState State(const std::wstring& deviceId) override {
    const std::vector<Row> rows = Rows();
    const auto it = Find(rows, deviceId);
    if (it == rows.end()) return TAdapterState::Absent;
    return it->errorCode == kDeviceDisabled ? TAdapterState::Disabled : TAdapterState::Enabled;
  }

private:
  struct Row {
    std::wstring index;  // WMI's DeviceID, an index that only names the adapter for a method call
    TAdapterFacts facts;
    long errorCode = -1;
  };

  static std::vector<Row>::const_iterator Find(const std::vector<Row>& rows, const std::wstring& deviceId) {
    return std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return SameId(row.facts.deviceId, deviceId); });
  }

  // Connected once, on first use, so a call with nothing to do never starts WMI.
  bool Connected() {
    if (services_) return true;
    if (triedToConnect_) return false;
    triedToConnect_ = true;
    if (!com_.Complete()) return false;
    ComPtr<IWbemLocator> locator;
    if (FAILED(com_.CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                reinterpret_cast<void**>(locator.Put())))) {
      return false;
    }
    Bstr root(com_, L"ROOT\\CIMV2");
    if (FAILED(locator->ConnectServer(root.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.Put())) ||
        FAILED(com_.CoSetProxyBlanket(services_.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
      services_.Put();  // released: no half-set-up connection is used
      return false;
    }
    return true;
  }

  // Every adapter with its facts, read whole and matched here, so no device id from the record
  // ever becomes part of a query.
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    if (!Connected()) return rows;
    Bstr language(com_, L"WQL");
    Bstr text(com_, L"SELECT * FROM Win32_NetworkAdapter");
    ComPtr<IEnumWbemClassObject> items;
    if (FAILED(services_->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                    nullptr, items.Put()))) {
      return rows;
    }
    for (;;) {
      ComPtr<IWbemClassObject> item;
      ULONG count = 0;
      if (items->Next(kWmiStepBoundMs, 1, item.Put(), &count) != WBEM_S_NO_ERROR || count == 0) break;
      Row row;
      row.index = StringProperty(com_, item.Get(), L"DeviceID");
      row.facts.deviceId = StringProperty(com_, item.Get(), L"PNPDeviceID");
      row.facts.description = StringProperty(com_, item.Get(), L"Name");
      row.facts.connectionName = StringProperty(com_, item.Get(), L"NetConnectionID");
      row.facts.connected = IntProperty(com_, item.Get(), L"NetConnectionStatus", -1) == kConnected;
      row.errorCode = IntProperty(com_, item.Get(), L"ConfigManagerErrorCode", -1);
      if (IsDigits(row.index) && !row.facts.deviceId.empty()) rows.push_back(std::move(row));
    }
    return rows;
  }

  // Runs Disable or Enable on one adapter; true when the method reports success.
  bool Invoke(const std::wstring& deviceId, const wchar_t* method) {
    const std::vector<Row> rows = Rows();
    const auto it = Find(rows, deviceId);
    if (it == rows.end()) return false;
    Bstr path(com_, L"Win32_NetworkAdapter.DeviceID=\"" + it->index + L"\"");
    Bstr name(com_, method);
    ComPtr<IWbemClassObject> out;
    if (FAILED(services_->ExecMethod(path.Get(), name.Get(), 0, nullptr, nullptr, out.Put(), nullptr)) || !out) {
      return false;
    }
    return IntProperty(com_, out.Get(), L"ReturnValue", -1) == 0;
  }

  const Com com_;
  ComPtr<IWbemServices> services_;
  bool triedToConnect_ = false;
};

// The present devices of the network class, looked at afresh by every operation.
class NetDevices {
public:
  explicit NetDevices(const SetupApi& api)
      : api_(api),
        set_(api.Complete() ? api.SetupDiGetClassDevsW(&GUID_DEVCLASS_NET, nullptr, nullptr, DIGCF_PRESENT)
                            : INVALID_HANDLE_VALUE) {}
  NetDevices(const NetDevices&) = delete;
  NetDevices& operator=(const NetDevices&) = delete;
  ~NetDevices() {
    if (set_ != INVALID_HANDLE_VALUE) api_.SetupDiDestroyDeviceInfoList(set_);
  }

  // Calls `visit` with each device until it returns true; true when one did.
  template <typename Visit>
  bool Any(Visit visit) {
    if (set_ == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD i = 0; api_.SetupDiEnumDeviceInfo(set_, i, &data); ++i) {
      if (visit(data)) return true;
    }
    return false;
  }

  std::wstring InstanceId(SP_DEVINFO_DATA& data) const {
    wchar_t id[512] = {};
    if (!api_.SetupDiGetDeviceInstanceIdW(set_, &data, id, static_cast<DWORD>(std::size(id)), nullptr)) return L"";
    return id;
  }

  TAdapterFacts Facts(SP_DEVINFO_DATA& data) const {
    TAdapterFacts facts;
    facts.deviceId = InstanceId(data);
    facts.description = Property(data, SPDRP_FRIENDLYNAME);
    if (facts.description.empty()) facts.description = Property(data, SPDRP_DEVICEDESC);
    facts.connected = Problem(data) == 0;
    return facts;
  }

  // -1 when the device is not started, its CM problem (0 for none) when it is.
  long Problem(const SP_DEVINFO_DATA& data) const {
    ULONG status = 0;
    ULONG problem = 0;
    if (api_.CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0) != CR_SUCCESS) return -1;
    if (status & DN_HAS_PROBLEM) return static_cast<long>(problem);
    return (status & DN_STARTED) ? 0 : -1;
  }

  // True only when the class installer made the change now, with no restart pending.
  bool Change(SP_DEVINFO_DATA& data, DWORD state) {
    SP_PROPCHANGE_PARAMS params{};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = state;
    params.Scope = DICS_FLAG_GLOBAL;
    if (!api_.SetupDiSetClassInstallParamsW(set_, &data, &params.ClassInstallHeader, sizeof(params)) ||
        !api_.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set_, &data)) {
      return false;
    }
    SP_DEVINSTALL_PARAMS_W install{};
    install.cbSize = sizeof(install);
    return api_.SetupDiGetDeviceInstallParamsW(set_, &data, &install) &&
           !(install.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT));
  }

private:
  std::wstring Property(SP_DEVINFO_DATA& data, DWORD property) const {
    wchar_t text[256] = {};
    if (!api_.SetupDiGetDeviceRegistryPropertyW(set_, &data, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof(text) - sizeof(wchar_t), nullptr)) {
      return L"";
    }
    return text;
  }

  const SetupApi& api_;
  HDEVINFO set_;
};

class SetupApiAdapters : public IAdapterOperations {
public:
  std::vector<std::wstring> ListDroppable() override {
    std::vector<std::wstring> ids;
    NetDevices devices(api_);
    devices.Any([&](SP_DEVINFO_DATA& data) {
      const TAdapterFacts facts = devices.Facts(data);
      if (IsDroppableAdapter(facts)) ids.push_back(facts.deviceId);
      return false;
    });
    return ids;
  }
  bool Disable(const std::wstring& deviceId) override {
    NetDevices devices(api_);
    return devices.Any([&](SP_DEVINFO_DATA& data) {
      if (!SameId(devices.InstanceId(data), deviceId)) return false;
      if (devices.Change(data, DICS_DISABLE)) return true;
      // A disable that waits for a restart would take the adapter down at the next boot, after
      // the record has let it go: it is undone, so the adapter stays as it was.
      devices.Change(data, DICS_ENABLE);
      return false;
    });
  }
  bool Enable(const std::wstring& deviceId) override {
    NetDevices devices(api_);
    return devices.Any([&](SP_DEVINFO_DATA& data) {
      return SameId(devices.InstanceId(data), deviceId) && devices.Change(data, DICS_ENABLE);
    });
  }
  TAdapterState State(const std::wstring& deviceId) override {
    TAdapterState state = TAdapterState::Absent;
    NetDevices devices(api_);
    devices.Any([&](SP_DEVINFO_DATA& data) {
      if (!SameId(devices.InstanceId(data), deviceId)) return false;
      state = devices.Problem(data) == kDeviceDisabled ? TAdapterState::Disabled : TAdapterState::Enabled;
      return true;
    });
    return state;
  }

private:
  const SetupApi api_;
};

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

}  // namespace

std::unique_ptr<IAdapterOperations> MakeSystemAdapterOperations() {
  if (VistaOrLater()) return std::make_unique<WmiAdapters>();
  return std::make_unique<SetupApiAdapters>();
}

TComApartment::TComApartment() {
  const Com com;
  hr_ = com.Complete() ? com.CoInitializeEx(nullptr, COINIT_MULTITHREADED) : E_FAIL;
}

TComApartment::~TComApartment() {
  if (SUCCEEDED(hr_)) Com().CoUninitialize();
}
