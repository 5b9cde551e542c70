// A stand-in for NetworkControl.dll in the end-to-end tests: it changes nothing and records
// every call (argument, calling thread, time) as one line in the file that
// LAGVANE_CONNECT_LOG names. LAGVANE_CONNECT_DELAY_MS makes each call take that long.

#include "network_control.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex gLogLock;

DWORD EnvironmentNumber(const wchar_t* name) {
  wchar_t text[32] = {};
  const DWORD length = GetEnvironmentVariableW(name, text, 32);
  return length > 0 && length < 32 ? static_cast<DWORD>(std::wcstoul(text, nullptr, 10)) : 0;
}

void Record(const char* what, int argument) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::lock_guard<std::mutex> lock(gLogLock);
  FILE* file = _wfopen(path, L"a");
  if (!file) return;
  std::fprintf(file, "%s %d %lu %lu\n", what, argument, GetCurrentThreadId(), GetTickCount());
  std::fclose(file);
}

}  // namespace

extern "C" int __cdecl Connect(int aConnect) {
  Record("begin", aConnect);
  if (const DWORD delay = EnvironmentNumber(L"LAGVANE_CONNECT_DELAY_MS")) Sleep(delay);
  Record("end", aConnect);
  return 1;
}
