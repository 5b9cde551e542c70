#include "tuning/msmq_setup.h"

#include "common/error.h"
#include "common/system_error.h"
#include "common/texts.h"
#include "common/unique_handle.h"
#include "tuning/registry.h"
#include "tuning/windows_version.h"
#include "ui/application.h"

#include <windows.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kAssertSource[] = L"ZKLib\\ZKUtils";
constexpr int kIsMSMQInstalledAssertLine = 245;
constexpr int kSetupMSMQAssertLine = 275;

constexpr wchar_t kMsmqParameters[] = L"SOFTWARE\\Microsoft\\MSMQ\\Parameters";
constexpr wchar_t kWorkgroup[] = L"Workgroup";
constexpr wchar_t kOcSetup[] = L"ocsetup";
constexpr wchar_t kInstallParameters[] = L"MSMQ-Container;MSMQ-Server";
constexpr wchar_t kUninstallParameters[] = L"MSMQ-Container;MSMQ-Server /uninstall /quiet /norestart";

// The longest the user-interface thread goes without handling its messages while it waits.
constexpr DWORD kWaitSliceMs = 50;

[[noreturn]] void AssertionFailed(int line) {
  throw Exception(AssertionText(kAssertSource, line), L"EAssertionFailed");
}

// Why a shell start failed. The shell's own error box may have cleared the thread's last error
// by the time the call returns, which would tell the user "Success"; the code that the shell
// leaves in hInstApp then says what went wrong.
DWORD StartError(DWORD lastError, HINSTANCE instApp) {
  if (lastError != ERROR_SUCCESS) return lastError;
  switch (reinterpret_cast<INT_PTR>(instApp)) {
    case SE_ERR_FNF: return ERROR_FILE_NOT_FOUND;
    case SE_ERR_PNF: return ERROR_PATH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED: return ERROR_ACCESS_DENIED;
    case SE_ERR_OOM: return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE: return ERROR_NO_ASSOCIATION;
    case 0: return ERROR_BAD_FORMAT;  // "out of memory or resources", or a damaged program
    default: return ERROR_CANCELLED;   // the remaining codes are DDE failures
  }
}

}  // namespace

TWinVersion GetWindowsVersion() noexcept {
  // The plain record: with no supported systems named in the manifest, Windows 8 and later
  // report 6.2 here and are not taken for a version the program knows.
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return TWinVersion::wvUnknown;
  return ClassifyWindowsVersion({info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                                 info.szCSDVersion[1]});
}

bool IsMSMQInstalled(TMSMQMethod method) {
  switch (method) {
    case TMSMQMethod::mmOCSetup: {
      TRegistry reg;
      reg.SetRootKey(HKEY_LOCAL_MACHINE);
      if (!reg.OpenKey(kMsmqParameters, false) || !reg.ValueExists(kWorkgroup)) return false;
      return reg.ReadInteger(kWorkgroup) == 1;
    }
    case TMSMQMethod::mmUnsupported:
      AssertionFailed(kIsMSMQInstalledAssertLine);
  }
  return false;
}

void SetupMSMQ(TMSMQMethod method, bool install, const TNotifyCallback& beforeExecute,
               const TNotifyCallback& afterExecute) {
  switch (method) {
    case TMSMQMethod::mmOCSetup:
      ExecuteAndWait(kOcSetup, install ? kInstallParameters : kUninstallParameters, beforeExecute,
                     afterExecute);
      return;
    case TMSMQMethod::mmUnsupported:
      AssertionFailed(kSetupMSMQAssertLine);
  }
}

void ExecuteAndWait(const std::wstring& fileName, const std::wstring& parameters,
                    const TNotifyCallback& beforeExecute, const TNotifyCallback& afterExecute) {
  if (beforeExecute) beforeExecute();

  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // SEE_MASK_NOASYNC: the call returns only once the start has completed.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.hwnd = GetActiveWindow();
  info.lpVerb = L"open";
  info.lpFile = fileName.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const std::wstring text = SystemMessage(StartError(GetLastError(), info.hInstApp));
    MessageBoxW(GetActiveWindow(), text.c_str(), TApplication::Instance().Title().c_str(), MB_OK);
    return;
  }

  // Some starts hand back no process (a document opened in a running program): nothing to wait for.
  UniqueHandle process(info.hProcess);
  TApplication& app = TApplication::Instance();
  while (process) {
    const DWORD result = WaitForSingleObject(process.get(), kWaitSliceMs);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) break;
    app.ProcessMessages();
  }
  process.reset();

  if (afterExecute) afterExecute();
}
