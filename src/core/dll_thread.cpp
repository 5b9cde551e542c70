#include "core/dll_thread.h"

#include "common/error.h"
#include "network_control.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length && buffer ? std::wstring(buffer, length) : L"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text.empty() ? L"System error " + DecimalText(code) : text;
}

// A started worker: its own handle and when it started. Touched only by the window's thread,
// which starts the workers and, at the end, waits for them.
struct RunningWorker {
  UniqueHandle thread;
  DWORD started = 0;
};
std::vector<RunningWorker> gRunning;
// Each worker makes two calls, each bounded by the library; a little more covers its start.
constexpr DWORD kWorkerBoundMs = 2 * kConnectCallBoundMs + 5000;

bool Ended(const RunningWorker& worker) { return WaitForSingleObject(worker.thread.get(), 0) == WAIT_OBJECT_0; }

DWORD WINAPI ThreadProc(void*) {
  TDllThread::Execute();
  return 0;
}

}  // namespace

TDllThread::TDllThread() {
  handle_.reset(CreateThread(nullptr, 0, &ThreadProc, nullptr, CREATE_SUSPENDED, nullptr));
  if (!handle_) throw Exception(SystemText(GetLastError()), L"EThread");
}

void TDllThread::Start() {
  if (ResumeThread(handle_.get()) == static_cast<DWORD>(-1)) throw Exception(SystemText(GetLastError()), L"EThread");
  std::erase_if(gRunning, Ended);
  HANDLE copy = nullptr;
  // Without its own handle a worker is only not waited for at the end; the change goes on.
  if (DuplicateHandle(GetCurrentProcess(), handle_.get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0)) {
    try {
      gRunning.push_back({UniqueHandle(copy), GetTickCount()});
    } catch (...) {
    }
  }
}

void TDllThread::WaitForRunning() noexcept {
  for (const RunningWorker& worker : gRunning) {
    const DWORD age = GetTickCount() - worker.started;
    if (age < kWorkerBoundMs) WaitForSingleObject(worker.thread.get(), kWorkerBoundMs - age);
  }
  gRunning.clear();
}

TWaitOutcome TDllThread::WaitFor(std::uint32_t milliseconds) {
  switch (WaitForSingleObject(handle_.get(), milliseconds)) {
    case WAIT_TIMEOUT:
      return {TWaitOutcome::Kind::TimedOut, L""};
    case WAIT_FAILED:
      return {TWaitOutcome::Kind::Failed, SystemText(GetLastError())};
    default:
      return {TWaitOutcome::Kind::Ended, L""};
  }
}

void TDllThread::Execute() noexcept {
  Connect(0);
  Connect(-1);
}
