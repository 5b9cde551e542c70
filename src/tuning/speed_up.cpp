#include "tuning/speed_up.h"

#include "common/error.h"
#include "common/system_error.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr wchar_t kMsmqParameters[] = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
constexpr wchar_t kTcpNoDelay[] = L"TCPNoDelay";
constexpr wchar_t kInterfaces[] = L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
constexpr wchar_t kTcpAckFrequency[] = L"TcpAckFrequency";

constexpr wchar_t kDnscacheParameters[] = L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters";
struct DnsValue {
  const wchar_t* name;
  std::int32_t data;
};
// The spellings are the ones the DNS client service reads, typos included.
constexpr DnsValue kDnsValues[] = {
    {L"CachehHashTableBucketSize", 1},
    {L"CachehHashTableSize", 384},
    {L"MaxCacheEntryTtlLimit", 64000},
    {L"MaxSOACacheEntryTtlLimit", 301},
};

constexpr wchar_t kDialogComments[] = L"SOFTWARE\\Microsoft\\PCHealth\\Clients\\Dialog Comments";
constexpr wchar_t kUploadUrlName[] = L"Upload URL";
constexpr wchar_t kUploadUrl[] = L"http://www.lagvane.co.kr/emiupload/uploadserver.dll";
constexpr wchar_t kUploadProviderName[] = L"Upload provider";
constexpr wchar_t kUploadProvider[] = L"EMI";
constexpr wchar_t kEnableName[] = L"Enable";

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"LAGVANE";

std::unique_ptr<TSpeedUp> instance;

}  // namespace

void TSpeedUp::CreateInstance() {
  // A second call keeps the instance, since callers may already hold it.
  if (!instance) instance = std::make_unique<TSpeedUp>();
}

TSpeedUp& TSpeedUp::GetInstance() {
  if (!instance) CreateInstance();
  return *instance;
}

void TSpeedUp::ReleaseInstance() noexcept { instance.reset(); }

bool TSpeedUp::CheckGamePing() noexcept {
  return Exists(HKEY_LOCAL_MACHINE, kMsmqParameters, kTcpNoDelay) &&
         ReadInteger(HKEY_LOCAL_MACHINE, kMsmqParameters, kTcpNoDelay) == 1;
}

void TSpeedUp::DoPageLoadingUp() noexcept {
  WriteString(HKEY_LOCAL_MACHINE, kDialogComments, kUploadUrlName, kUploadUrl);
  WriteString(HKEY_LOCAL_MACHINE, kDialogComments, kUploadProviderName, kUploadProvider);
  WriteInteger(HKEY_LOCAL_MACHINE, kDialogComments, kEnableName, 0);
}

void TSpeedUp::DelPageLoadingUp() noexcept { DeleteKey(HKEY_LOCAL_MACHINE, kDialogComments); }

// Reads the key only, so it answers right for users who may not change it.
bool TSpeedUp::CheckPageLoadingUp() noexcept { return Exists(HKEY_LOCAL_MACHINE, kDialogComments); }

bool TSpeedUp::DoBrowserSpeedUp() noexcept {
  std::size_t written = 0;
  for (const DnsValue& value : kDnsValues) {
    if (!WriteInteger(HKEY_LOCAL_MACHINE, kDnscacheParameters, value.name, value.data)) break;
    ++written;
  }
  if (written == std::size(kDnsValues)) return true;
  for (std::size_t i = 0; i < written; ++i) Delete(HKEY_LOCAL_MACHINE, kDnscacheParameters, kDnsValues[i].name);
  return false;
}

void TSpeedUp::DelBrowserSpeedUp() noexcept {
  for (const DnsValue& value : kDnsValues) Delete(HKEY_LOCAL_MACHINE, kDnscacheParameters, value.name);
}

bool TSpeedUp::CheckBrowserSpeedUp() noexcept {
  return Exists(HKEY_LOCAL_MACHINE, kDnscacheParameters, kDnsValues[0].name);
}

// Stored bare, without quotes or arguments.
void TSpeedUp::DoWindowStart() { WriteString(HKEY_CURRENT_USER, kRunKey, kRunValue, GetExeName()); }

void TSpeedUp::DelWindowStart() noexcept { Delete(HKEY_CURRENT_USER, kRunKey, kRunValue); }

bool TSpeedUp::CheckWindowStart() noexcept { return Exists(HKEY_CURRENT_USER, kRunKey, kRunValue); }

std::wstring GetExeName() {
  // The buffer doubles until the whole name fits, up to the 32 767 characters of a long path.
  // It starts small so that the growing runs for ordinary paths too, not only in deep folders.
  constexpr DWORD kLongestPath = 32768;
  std::wstring path(64, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0) throw Exception(SystemMessage(::GetLastError()));
    // A name that filled the whole buffer may have been cut short.
    if (length < size) {
      path.resize(length);
      return path;
    }
    if (size >= kLongestPath) throw Exception(SystemMessage(ERROR_INSUFFICIENT_BUFFER));
    path.resize(std::min<DWORD>(size * 2, kLongestPath));
  }
}

bool SwitchGameSet(TRegSet& instance, TStateMode state) noexcept {
  const bool on = state == TStateMode::smON;
  // What switching on has written so far, for taking it back when a later write fails.
  std::vector<std::wstring> written;
  bool complete = true;
  try {
    if (on) {
      complete = instance.WriteInteger(HKEY_LOCAL_MACHINE, kMsmqParameters, kTcpNoDelay, 1);
      if (complete) written.emplace_back(kMsmqParameters);
    } else {
      instance.Delete(HKEY_LOCAL_MACHINE, kMsmqParameters, kTcpNoDelay);
    }
    // Enumerated anew each time, so switching off also reaches interfaces added since.
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    reg.OpenKey(kInterfaces, false);
    std::vector<std::wstring> names;
    reg.GetKeyNames(names);
    for (const std::wstring& name : names) {
      if (on && !complete) break;
      const std::wstring key = std::wstring(kInterfaces) + L"\\" + name;
      if (!on) {
        instance.Delete(HKEY_LOCAL_MACHINE, key, kTcpAckFrequency);
      } else if (instance.WriteInteger(HKEY_LOCAL_MACHINE, key, kTcpAckFrequency, 1)) {
        written.push_back(key);
      } else {
        complete = false;
      }
    }
  } catch (...) {
    // Only the lists of names can fail to allocate; a switch-on then counts as failed.
    complete = !on;
  }
  if (!on || complete) return true;
  for (const std::wstring& key : written)
    instance.Delete(HKEY_LOCAL_MACHINE, key, key == kMsmqParameters ? kTcpNoDelay : kTcpAckFrequency);
  return false;
}
