// Loads the NetworkControl.dll beside it as the program does at its start and calls Connect(-1),
// which returns once the load's repair has run. Its exit code says which of the libraries that
// only the adapters' work needs the process holds then: 1 ole32, 2 oleaut32, 4 setupapi; 8 when
// one was loaded before the library, so that the answer would mean nothing; 16 when the library
// did not load; 32 when the load and the call started more threads than the call's own worker.
// It prints the commit charge before loading, after loading and after the call.

#include "network_control.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>

namespace {

volatile LONG gThreadsStarted = 0;

// Every thread that starts in the process comes by here, however short its life.
void NTAPI CountThreadStart(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_ATTACH) InterlockedIncrement(&gThreadsStarted);
}

constexpr const wchar_t* kWorkLibraries[] = {L"ole32.dll", L"oleaut32.dll", L"setupapi.dll"};

int LoadedWorkLibraries() {
  int loaded = 0;
  for (int i = 0; i < 3; ++i) {
    if (GetModuleHandleW(kWorkLibraries[i])) loaded |= 1 << i;
  }
  return loaded;
}

void PrintCommitCharge(const char* when) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    std::printf("private bytes %s: %lu KiB\n", when, static_cast<unsigned long>(counters.PagefileUsage / 1024));
  }
}

}  // namespace

// The program's TLS callbacks sit between mingw's markers in .CRT$XLA and .CRT$XLZ.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK kCountThreadStart =
    CountThreadStart;

int main() {
  if (LoadedWorkLibraries() != 0) return 8;
  PrintCommitCharge("before loading");
  const LONG threadsBefore = gThreadsStarted;
  const HMODULE library = LoadLibraryW(L"NetworkControl.dll");
  if (!library) return 16;
  PrintCommitCharge("after loading");
  const auto connect =
      reinterpret_cast<decltype(&Connect)>(reinterpret_cast<void*>(GetProcAddress(library, "Connect")));
  if (!connect || connect(-1) != 1) return 16;
  PrintCommitCharge("after Connect(-1)");
  const LONG threads = gThreadsStarted - threadsBefore;
  std::printf("threads started: %ld\n", threads);
  return LoadedWorkLibraries() | (threads > 1 ? 32 : 0);
}
