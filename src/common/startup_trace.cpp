#include "common/startup_trace.h"

#include "common/unique_handle.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <iterator>

namespace startup_trace {
namespace {

struct Step {
  const char* name;
  LARGE_INTEGER at;
  // The commit charge and working set once the step is done, in KiB.
  unsigned long privateKiB;
  unsigned long workingSetKiB;
};

// Kept in memory while the start runs, so the marks cost no input or output of their own.
Step gSteps[32];
std::size_t gCount = 0;
// From the process's creation to the first mark: the loader, the libraries and static start-up.
double gBeforeFirstMs = -1;
bool gWritten = false;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double SinceProcessCreation() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](FILETIME time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

// One block per run: the steps in order, each "name<TAB>milliseconds<TAB>private KiB<TAB>working
// set KiB", then an empty line.
void Write() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LAGVANE_STARTUP_TRACE_FILE", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const HANDLE opened = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return;
  const UniqueHandle file(opened);
  char text[2048];
  int used = std::snprintf(text, sizeof text, "process start to entry\t%.3f\t%lu\t%lu\n", gBeforeFirstMs,
                           gSteps[0].privateKiB, gSteps[0].workingSetKiB);
  for (std::size_t i = 1; i < gCount && used > 0 && static_cast<std::size_t>(used) < sizeof text; ++i) {
    used += std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), "%s\t%.3f\t%lu\t%lu\n", gSteps[i].name,
                          Milliseconds(gSteps[i - 1].at, gSteps[i].at), gSteps[i].privateKiB, gSteps[i].workingSetKiB);
  }
  if (used > 0 && static_cast<std::size_t>(used) < sizeof text - 1) {
    text[used++] = '\n';
    DWORD written = 0;
    WriteFile(file.get(), text, static_cast<DWORD>(used), &written, nullptr);
  }
}

}  // namespace

void Mark(const char* step, bool last) noexcept {
  if (gWritten) return;
  if (gCount == 0) gBeforeFirstMs = SinceProcessCreation();
  if (gCount < std::size(gSteps)) {
    Step& mark = gSteps[gCount];
    mark.name = step;
    // Read before the time stamp: the reading's own cost counts in this step, not the next.
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
      mark.privateKiB = static_cast<unsigned long>(memory.PagefileUsage / 1024);
      mark.workingSetKiB = static_cast<unsigned long>(memory.WorkingSetSize / 1024);
    }
    QueryPerformanceCounter(&mark.at);
    ++gCount;
  }
  if (last) {
    gWritten = true;
    Write();
  }
}

}  // namespace startup_trace
