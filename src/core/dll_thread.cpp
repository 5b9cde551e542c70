#include "core/dll_thread.h"

#include "common/error.h"
#include "network_control.h"

#include <windows.h>

#include <string>

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
