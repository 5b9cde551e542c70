// Drops the network connection by disabling the physical adapters that are connected, and brings
// it back by enabling them again. What it disables is recorded first where the process's end,
// a crash or a reboot cannot lose it, and every load of the library and every Connect(-1)
// enable again what that record still holds.

#include "network_control.h"

#include "adapter_keeper.h"
#include "adapter_operations.h"
#include "adapter_record.h"
#include "common/unique_handle.h"

#include <windows.h>

namespace {

// Serialises the bookkeeping of overlapping calls and of the repair after loading.
CRITICAL_SECTION gLock;
// Set once the repair that every load starts has run, so that no call comes before it.
HANDLE gRepaired = nullptr;

class LockHeld {
public:
  LockHeld() { EnterCriticalSection(&gLock); }
  LockHeld(const LockHeld&) = delete;
  LockHeld& operator=(const LockHeld&) = delete;
  ~LockHeld() { LeaveCriticalSection(&gLock); }
};

// The record is shared by every process that loads the library: a program that has just ended
// may still be restoring while the next one starts. Without this, one process could see an
// adapter still up and let go of the entry that another has just made before disabling it.
// Should the mutex be missing or held past the bound, the work goes on: an adapter brought back
// matters more than the order.
class RecordMutexHeld {
public:
  RecordMutexHeld() : mutex_(CreateMutexW(nullptr, FALSE, kRecordMutexName)) {
    if (mutex_) {
      const DWORD waited = WaitForSingleObject(mutex_.get(), kConnectCallBoundMs);
      owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
  }
  RecordMutexHeld(const RecordMutexHeld&) = delete;
  RecordMutexHeld& operator=(const RecordMutexHeld&) = delete;
  ~RecordMutexHeld() {
    if (owned_) ReleaseMutex(mutex_.get());
  }

private:
  UniqueHandle mutex_;
  bool owned_ = false;
};

// Reports nothing: the caller does not read a result, and the record keeps what is left.
void Keep(bool connect) noexcept {
  LockHeld lock;
  RecordMutexHeld processes;
  TRegistryAdapterRecord record;
  // Most starts find nothing to repair: they then leave COM and the adapters alone.
  if (connect && record.Read().empty()) return;
  TComApartment apartment;
  const std::unique_ptr<IAdapterOperations> adapters = MakeSystemAdapterOperations();
  TAdapterKeeper keeper(*adapters, record, [](std::uint32_t milliseconds) { Sleep(milliseconds); });
  connect ? keeper.Restore() : keeper.Drop();
}

HMODULE Self() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&Keep), &self);
  return self;
}

// A reference to the library for a thread of its own, so a caller that gives up waiting and
// unloads it cannot pull the code from under the thread.
bool HoldLibrary() {
  HMODULE self = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Keep), &self);
}

DWORD WINAPI RepairThread(void*) {
  Keep(true);
  SetEvent(gRepaired);
  FreeLibraryAndExitThread(Self(), 0);
}

DWORD WINAPI WorkThread(void* parameter) {
  WaitForSingleObject(gRepaired, kConnectCallBoundMs);
  Keep(reinterpret_cast<INT_PTR>(parameter) != 0);
  FreeLibraryAndExitThread(Self(), 0);
}

// Starts the repair of what an earlier process left disabled. The thread runs once the loader
// has let go, so WMI and the mutex are never used under the loader lock. Almost every load finds
// the record empty, and then starts no thread at all: a thread is cheap on Windows, but under Wine
// its first one costs a process about 1 MiB for good. The peek is a registry read in DllMain,
// which is safe here because advapi32 is one of the library's own imports, so the loader has
// initialised it first.
void StartRepair() {
  gRepaired = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!gRepaired) return;
  if (!TRegistryAdapterRecord::HoldsEntries() || !HoldLibrary()) {
    SetEvent(gRepaired);
    return;
  }
  UniqueHandle thread(CreateThread(nullptr, 0, &RepairThread, nullptr, 0, nullptr));
  if (!thread) {
    FreeLibrary(Self());
    SetEvent(gRepaired);
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      InitializeCriticalSection(&gLock);
      StartRepair();
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded (not the process ending): every thread of ours has let the library go.
      if (!reserved) {
        if (gRepaired) CloseHandle(gRepaired);
        DeleteCriticalSection(&gLock);
      }
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" int __cdecl Connect(int aConnect) {
  if (!HoldLibrary()) return 0;
  UniqueHandle thread(CreateThread(nullptr, 0, &WorkThread,
                                   reinterpret_cast<void*>(static_cast<INT_PTR>(aConnect != 0)), 0, nullptr));
  if (!thread) {
    FreeLibrary(Self());
    return 0;
  }
  return WaitForSingleObject(thread.get(), kConnectCallBoundMs) == WAIT_OBJECT_0 ? 1 : 0;
}
