// Loads the NetworkControl.dll beside it as the program does at its start and calls Connect(-1),
// which returns once the load's repair has run. Its exit code says which of the libraries that
// only the adapters' work needs the process holds then: 1 ole32, 2 oleaut32, 4 setupapi; 8 when
// one was loaded before the library, so that the answer would mean nothing; 16 when the library
// did not load. It prints the commit charge before loading, after loading and after the call.

#include "network_control.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>

namespace {

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

int main() {
  if (LoadedWorkLibraries() != 0) return 8;
  PrintCommitCharge("before loading");
  const HMODULE library = LoadLibraryW(L"NetworkControl.dll");
  if (!library) return 16;
  PrintCommitCharge("after loading");
  const auto connect =
      reinterpret_cast<decltype(&Connect)>(reinterpret_cast<void*>(GetProcAddress(library, "Connect")));
  if (!connect || connect(-1) != 1) return 16;
  PrintCommitCharge("after Connect(-1)");
  return LoadedWorkLibraries();
}
